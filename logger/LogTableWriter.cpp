#include "logger/LogTableWriter.h"

#include "logger/LogTableModel.h"
#include <QSaveFile>

namespace {
constexpr qsizetype cFlushBytes = 1 << 20;
const QString cLineEnd = QStringLiteral("\r\n");

void Put(QSaveFile& pFile, QString& pText, bool pForce) {
  if (!pForce && pText.size() < cFlushBytes) return;
  // The system's 8-bit code page, no byte-order mark.
  const QByteArray bytes = pText.toLocal8Bit();
  // Every write is checked: a write that breaks off (disk full) must never be committed.
  if (pFile.write(bytes) != bytes.size())
    throw eLogFile(QStringLiteral("Datei \"%1\" kann nicht geschrieben werden: %2")
                       .arg(pFile.fileName(), pFile.errorString()));
  pText.clear();
}

void EndLine(QString& pLine) {
  // Every field is followed by the separator; the last one of a line is dropped.
  if (!pLine.isEmpty()) pLine.chop(1);
}
} // namespace

void tLogTableWriter::Write(const QString& pFileName, const tLogTableModel& pTable,
                            int pDeviceCount, QChar pSeparator, const QString& pTagLabel) {
  QSaveFile file(pFileName);
  // Unbuffered: a buffered write that fails only while the file is flushed inside commit()
  // would not stop the commit, and a truncated file would replace the old one.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    throw eLogFile(QStringLiteral("Datei \"%1\" kann nicht erstellt werden: %2")
                       .arg(pFileName, file.errorString()));
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
    Put(file, text, false);
  }
  Put(file, text, true);
  if (!file.commit())
    throw eLogFile(QStringLiteral("Datei \"%1\" kann nicht geschrieben werden: %2")
                       .arg(pFileName, file.errorString()));
}
