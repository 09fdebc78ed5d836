#pragma once
// The one way a text file is saved: written beside the target and renamed into place only
// when complete, so a failed or interrupted save leaves any old file as it was. Text goes
// out in the system's 8-bit code page, without a byte-order mark.
#include "core/Error.h"

#include <QSaveFile>
#include <QString>

// A file of the program's logs (the log table, a line's traffic) that cannot be written.
CORVANE_DECLARE_ERROR(eLogFile)

class tSafeTextFile {
public:
  // Raises eLogFile naming the file when it cannot be created.
  explicit tSafeTextFile(const QString& pFileName);
  tSafeTextFile(const tSafeTextFile&) = delete;
  tSafeTextFile& operator=(const tSafeTextFile&) = delete;

  // Writes pText and empties it once it has grown large, or at once with pForce; callers
  // gather lines in it. Raises eLogFile when a write fails.
  void Put(QString& pText, bool pForce = false);
  // Writes what is left of pText and renames the file into place.
  void Commit(QString& pText);

private:
  QSaveFile mFile;
};
