#pragma once
// Writes the log table as a text file with separators. The file is written beside the target
// and renamed into place only when complete, so a failed or interrupted save leaves any old
// file as it was.
#include "core/SafeTextFile.h"
#include <QString>

class tLogTableModel;

class tLogTableWriter {
public:
  // pDeviceCount: the devices of the run that take part in it, in the table's row order.
  // pTagLabel: the label before each tag in the device line. Raises eLogFile naming the file.
  static void Write(const QString& pFileName, const tLogTableModel& pTable, int pDeviceCount,
                    QChar pSeparator, const QString& pTagLabel);
};
