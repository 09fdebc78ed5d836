#pragma once
// Saves the lines of a traffic view as a text file, one line per frame in the format of
// tTrafficReader::FileLine after a short header, through the program's safe save.
#include "core/SafeTextFile.h"

#include <QString>

class tTrafficModel;

class tTrafficWriter {
public:
  // The first line of every file: format and version.
  static const char* const cFormatLine;

  // The rows pModel shows, in their order; pTitle names the instrument in the header.
  // Raises eLogFile naming the file.
  static void Write(const QString& pFileName, const tTrafficModel& pModel, const QString& pTitle);
};
