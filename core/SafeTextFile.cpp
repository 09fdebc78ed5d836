#include "core/SafeTextFile.h"

namespace {
constexpr qsizetype cFlushChars = 1 << 20;
} // namespace

tSafeTextFile::tSafeTextFile(const QString& pFileName) : mFile(pFileName) {
  // Unbuffered: a buffered write that fails only while the file is flushed inside commit()
  // would not stop the commit, and a truncated file would replace the old one.
  if (!mFile.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    throw eLogFile(QStringLiteral("Datei \"%1\" kann nicht erstellt werden: %2")
                       .arg(pFileName, mFile.errorString()));
}

void tSafeTextFile::Put(QString& pText, bool pForce) {
  if (!pForce && pText.size() < cFlushChars) return;
  const QByteArray lBytes = pText.toLocal8Bit();
  // Every write is checked: a write that breaks off (disk full) must never be committed.
  if (mFile.write(lBytes) != lBytes.size())
    throw eLogFile(QStringLiteral("Datei \"%1\" kann nicht geschrieben werden: %2")
                       .arg(mFile.fileName(), mFile.errorString()));
  pText.clear();
}

void tSafeTextFile::Commit(QString& pText) {
  Put(pText, true);
  if (!mFile.commit())
    throw eLogFile(QStringLiteral("Datei \"%1\" kann nicht geschrieben werden: %2")
                       .arg(mFile.fileName(), mFile.errorString()));
}
