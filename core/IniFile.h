#pragma once
// The settings file: a plain UTF-8 INI text that users and other tools can read, kept in
// memory and written back whole after every change, so that nothing is lost when the
// program ends abruptly. The file is replaced through a temporary file beside it, so a
// crash during a write leaves the old file, never half of a new one.
//
// Sections and keys keep their order; key lookup ignores ASCII case, as the Windows profile
// functions did. Texts that would break the INI syntax (line breaks, control characters, "="
// or a leading "[", ";" or "#" in a key, leading or trailing blanks, backslashes) are stored
// with backslash escapes (\\ \n \r \t \xHH) and read back unchanged; everything else,
// non-ASCII included, is stored as it is. A missing, empty or damaged file reads what can
// be read; the next write makes the file sound again.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class tIniFile {
public:
  explicit tIniFile(const QString& pFileName);
  ~tIniFile();
  tIniFile(const tIniFile&) = delete;
  tIniFile& operator=(const tIniFile&) = delete;

  const QString& FileName() const { return mFileName; }
  // Reads the file again, dropping what is held in memory.
  void Reload();

  QString ReadString(const QString& pSection, const QString& pKey,
                     const QString& pDefault = QString()) const;
  // A value that is not a whole number gives the default.
  int ReadInteger(const QString& pSection, const QString& pKey, int pDefault) const;
  bool ValueExists(const QString& pSection, const QString& pKey) const;
  bool SectionExists(const QString& pSection) const;
  // Keys of a section in file order.
  QStringList ReadSection(const QString& pSection) const;
  QStringList ReadSections() const;

  // Each change is written to the file before the call returns. When the file cannot be
  // written the change is kept in memory, false is returned and LastError says why.
  bool WriteString(const QString& pSection, const QString& pKey, const QString& pValue);
  bool WriteInteger(const QString& pSection, const QString& pKey, int pValue);
  bool DeleteKey(const QString& pSection, const QString& pKey);
  bool EraseSection(const QString& pSection);
  // Writes the held contents, e.g. to replace a damaged file with a sound one.
  bool UpdateFile();

  const QString& LastError() const { return mLastError; }
  // Called on the first failed write after a successful one (or after opening), so that a
  // read-only folder gives one message, not one per change.
  void SetOnWriteError(std::function<void(const QString& pText)> pHandler) {
    FOnWriteError = std::move(pHandler);
  }

  // The escaping used in the file, exposed for the tests of hostile texts.
  static QString Escape(const QString& pText, bool pIsName);
  static QString Unescape(const QString& pText);

private:
  struct tData;
  bool Save();

  QString mFileName;
  std::unique_ptr<tData> mData;
  QString mLastError;
  bool mWriteFailing = false;
  std::function<void(const QString& pText)> FOnWriteError;
};
