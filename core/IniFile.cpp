#include "core/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

// Header-only use: the file is read and written as UTF-8 bytes and decoded by Qt, so the
// library's own UTF conversion (and its shared object) is not needed.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

struct tIniFile::tData {
  CSimpleIniA Ini{true, false, false}; // UTF-8, one value per key, no multi-line values
};

namespace {
QByteArray Name(const QString& pText) {
  return tIniFile::Escape(pText, true).toUtf8();
}

bool IsHex(QChar pChar) {
  return (pChar >= u'0' && pChar <= u'9') || (pChar >= u'a' && pChar <= u'f') ||
         (pChar >= u'A' && pChar <= u'F');
}

// Makes a damaged text parseable line by line: a NUL would end the parse early, and a
// section header without its "]" would swallow the following lines into its name.
QByteArray Repaired(QByteArray pData) {
  pData.replace('\0', QByteArray());
  QList<QByteArray> lLines = pData.split('\n');
  for (QByteArray& lLine : lLines) {
    const QByteArray lTrimmed = lLine.trimmed();
    if (lTrimmed.startsWith('[') && !lTrimmed.contains(']')) lLine = lTrimmed + ']';
  }
  return lLines.join('\n');
}
} // namespace

tIniFile::tIniFile(const QString& pFileName)
    : mFileName(pFileName), mData(std::make_unique<tData>()) {
  Reload();
}

tIniFile::~tIniFile() = default;

void tIniFile::Reload() {
  mData = std::make_unique<tData>();
  mData->Ini.SetSpaces(false);
  QFile lFile(mFileName);
  if (!lFile.open(QIODevice::ReadOnly)) return; // missing or unreadable: start empty
  const QByteArray lText = Repaired(lFile.readAll());
  mData->Ini.LoadData(lText.constData(), size_t(lText.size()));
}

QString tIniFile::Escape(const QString& pText, bool pIsName) {
  QString lOut;
  lOut.reserve(pText.size());
  const auto lHex = [&lOut](ushort pCode) {
    lOut += QLatin1String("\\x") + QString::number(pCode, 16).rightJustified(2, u'0').toUpper();
  };
  for (qsizetype i = 0; i < pText.size(); ++i) {
    const QChar lChar = pText.at(i);
    const ushort lCode = lChar.unicode();
    const bool lEdge = i == 0 || i == pText.size() - 1;
    if (lChar == QLatin1Char('\\'))
      lOut += QLatin1String("\\\\");
    else if (lChar == QLatin1Char('\n'))
      lOut += QLatin1String("\\n");
    else if (lChar == QLatin1Char('\r'))
      lOut += QLatin1String("\\r");
    else if (lChar == QLatin1Char('\t'))
      lOut += QLatin1String("\\t");
    else if (lCode < 0x20 || lCode == 0x7F)
      lHex(lCode);
    else if (lEdge && lChar.isSpace() && lCode < 0x80)
      lHex(lCode); // the parser trims blanks around names and values
    else if (pIsName &&
             (lChar == QLatin1Char('=') || lChar == QLatin1Char('[') || lChar == QLatin1Char(']') ||
              (i == 0 && (lChar == QLatin1Char(';') || lChar == QLatin1Char('#')))))
      lHex(lCode);
    else
      lOut += lChar;
  }
  return lOut;
}

QString tIniFile::Unescape(const QString& pText) {
  if (!pText.contains(QLatin1Char('\\'))) return pText;
  QString lOut;
  lOut.reserve(pText.size());
  for (qsizetype i = 0; i < pText.size(); ++i) {
    const QChar lChar = pText.at(i);
    if (lChar != QLatin1Char('\\') || i + 1 >= pText.size()) {
      lOut += lChar;
      continue;
    }
    const QChar lNext = pText.at(i + 1);
    if (lNext == QLatin1Char('\\')) {
      lOut += QLatin1Char('\\');
      ++i;
    } else if (lNext == QLatin1Char('n')) {
      lOut += QLatin1Char('\n');
      ++i;
    } else if (lNext == QLatin1Char('r')) {
      lOut += QLatin1Char('\r');
      ++i;
    } else if (lNext == QLatin1Char('t')) {
      lOut += QLatin1Char('\t');
      ++i;
    } else if (lNext == QLatin1Char('x') && i + 3 < pText.size() && IsHex(pText.at(i + 2)) &&
               IsHex(pText.at(i + 3))) {
      lOut += QChar(pText.mid(i + 2, 2).toUShort(nullptr, 16));
      i += 3;
    } else {
      lOut += lChar; // a backslash a user typed by hand stays as it is
    }
  }
  return lOut;
}

QString tIniFile::ReadString(const QString& pSection, const QString& pKey,
                             const QString& pDefault) const {
  const char* lValue = mData->Ini.GetValue(Name(pSection), Name(pKey), nullptr);
  return lValue ? Unescape(QString::fromUtf8(lValue)) : pDefault;
}

int tIniFile::ReadInteger(const QString& pSection, const QString& pKey, int pDefault) const {
  bool lOk = false;
  const int lValue = ReadString(pSection, pKey).trimmed().toInt(&lOk);
  return lOk ? lValue : pDefault;
}

bool tIniFile::ValueExists(const QString& pSection, const QString& pKey) const {
  return mData->Ini.GetValue(Name(pSection), Name(pKey), nullptr) != nullptr;
}

bool tIniFile::SectionExists(const QString& pSection) const {
  return mData->Ini.GetSection(Name(pSection)) != nullptr;
}

QStringList tIniFile::ReadSection(const QString& pSection) const {
  CSimpleIniA::TNamesDepend lKeys;
  mData->Ini.GetAllKeys(Name(pSection), lKeys);
  lKeys.sort(CSimpleIniA::Entry::LoadOrder());
  QStringList lOut;
  for (const auto& lKey : lKeys)
    lOut << Unescape(QString::fromUtf8(lKey.pItem));
  return lOut;
}

QStringList tIniFile::ReadSections() const {
  CSimpleIniA::TNamesDepend lSections;
  mData->Ini.GetAllSections(lSections);
  lSections.sort(CSimpleIniA::Entry::LoadOrder());
  QStringList lOut;
  for (const auto& lSection : lSections)
    lOut << Unescape(QString::fromUtf8(lSection.pItem));
  return lOut;
}

bool tIniFile::WriteString(const QString& pSection, const QString& pKey, const QString& pValue) {
  mData->Ini.SetValue(Name(pSection), Name(pKey), Escape(pValue, false).toUtf8());
  return Save();
}

bool tIniFile::WriteInteger(const QString& pSection, const QString& pKey, int pValue) {
  return WriteString(pSection, pKey, QString::number(pValue));
}

bool tIniFile::DeleteKey(const QString& pSection, const QString& pKey) {
  if (!mData->Ini.Delete(Name(pSection), Name(pKey))) return true;
  return Save();
}

bool tIniFile::EraseSection(const QString& pSection) {
  if (!mData->Ini.Delete(Name(pSection), nullptr)) return true;
  return Save();
}

bool tIniFile::UpdateFile() {
  return Save();
}

bool tIniFile::Save() {
  std::string lText;
  QString lError;
  if (mData->Ini.Save(lText) < 0) {
    lError = QStringLiteral("Einstellungen nicht formatierbar");
  } else {
    QSaveFile lFile(mFileName);
    // Unbuffered: a full disk then fails the write itself; buffered, the failing flush inside
    // commit() goes unreported and a cut-off file would replace the good one.
    if (!lFile.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        lFile.write(lText.data(), qint64(lText.size())) != qint64(lText.size()) || !lFile.commit())
      lError = lFile.errorString();
  }
  if (lError.isEmpty()) {
    mWriteFailing = false;
    mLastError.clear();
    return true;
  }
  // A fixed German technical text like those of the lower layers; the reason is the system's.
  mLastError = QStringLiteral("Fehler beim Schreiben der Datei %1: %2")
                   .arg(QDir::toNativeSeparators(QFileInfo(mFileName).absoluteFilePath()), lError);
  if (!mWriteFailing && FOnWriteError) FOnWriteError(mLastError);
  mWriteFailing = true;
  return false;
}
