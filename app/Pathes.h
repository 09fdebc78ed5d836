#pragma once
// The per-program folder in which the program keeps its settings file, error log and
// stack-trace files: <data location>/<company folder>/<program base name>. On Linux the data
// location is the XDG data home ($XDG_DATA_HOME, by default ~/.local/share), since there is
// no per-computer folder that every user may write.
#include "core/Error.h"

#include <QString>

CORVANE_DECLARE_ERROR(ePathes)

class tPathes {
public:
  tPathes();

  // Stores the trimmed name and forgets the computed folder. Blanks only mean no company level.
  void SetCompanyFolder(const QString& pName);
  const QString& CompanyFolder() const { return FCompanyFolder; }

  // The per-program folder without a trailing separator, created on first use. The path is
  // cached before creation is tried, so later calls return it without touching the disk,
  // even after a failed creation or when the folder was deleted meanwhile.
  QString ProgramDataFolder();

  // Creates pPath with every missing parent; ePathes "Leerer Verzeichnis-String" for an empty
  // path, "Kann <path> nicht anlegen" when it cannot be created.
  static void EnsureFolder(const QString& pPath);

  // The program's name, trimmed: the application name where the program set one ("Corvane"),
  // else the file name of the running program without folder and extension.
  static QString ProgramBaseName();

private:
  QString FCompanyFolder;
  QString mProgramDataFolder;
};

// The program's one folder object, made on first use (during module initialisation).
tPathes& Pathes();
