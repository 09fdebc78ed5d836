#pragma once
// The options Corvane reads itself: --help and --version. Both answer on the terminal and
// end the program before Qt's application object exists, so they need no display. Every
// other argument is left to Qt, as before.
#include "core/Types.h"

#include <QString>

class tCommandLine {
public:
  enum class tAction { Run, Help, Version };

  // The first of -h/--help/-? or -v/--version decides; "--" ends the options.
  static tAction ActionOf(int argc, const char* const* argv);

  // German where the system's language is German (as the window's first start chooses),
  // English otherwise.
  static tLanguage SystemLanguage();

  static QString HelpText(tLanguage pLanguage);
  // "Corvane <four-part version>", the pre-release mark, then the copyright line.
  static QString VersionText(tLanguage pLanguage);

  // Writes the text for pAction to stdout; the program's exit code.
  static int Answer(tAction pAction);
};
