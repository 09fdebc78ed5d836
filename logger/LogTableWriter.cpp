#include "logger/LogTableWriter.h"

#include "logger/LogTableModel.h"

namespace {
const QString cLineEnd = QStringLiteral("\r\n");

void EndLine(QString& pLine) {
  // Every field is followed by the separator; the last one of a line is dropped.
  if (!pLine.isEmpty()) pLine.chop(1);
}
} // namespace

void tLogTableWriter::Write(const QString& pFileName, const tLogTableModel& pTable,
                            int pDeviceCount, QChar pSeparator, const QString& pTagLabel) {
  tSafeTextFile file(pFileName);
  const int n = std::max(pDeviceCount, 1);
  QString text;
  QString line;
  for (int i = 1; i <= pDeviceCount; ++i)
    line +=
        pTagLabel + pSeparator + pTable.Cell(tLogTableModel::ColTag, i) + pSeparator + pSeparator;
  EndLine(line);
  text += line + cLineEnd;
  line.clear();
  for (int i = 1; i <= pDeviceCount; ++i)
    for (int c = 0; c < 3; ++c)
      line += pTable.Cell(c, 0) + pSeparator;
  EndLine(line);
  text += line + cLineEnd;

  const int rows = pTable.EntryCount();
  for (int first = 1; first <= rows; first += n) {
    for (int r = first; r < first + n && r <= rows; ++r)
      pTable.AppendValueTexts(r, text, pSeparator);
    EndLine(text);
    text += cLineEnd;
    file.Put(text);
  }
  file.Commit(text);
}
