#include "core/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QByteArray FileText(const QString& pName) {
  QFile lFile(pName);
  return lFile.open(QIODevice::ReadOnly) ? lFile.readAll() : QByteArray();
}

void WriteText(const QString& pName, const QByteArray& pText) {
  QFile lFile(pName);
  ASSERT_TRUE(lFile.open(QIODevice::WriteOnly));
  lFile.write(pText);
}

// Texts that would break a naive INI writer: a second key, a section, a comment, trimmed
// blanks, escapes that look like ours, control characters, non-ASCII.
const QStringList kHostile = {
    QStringLiteral("Kessel 1\nevil=1"),
    QStringLiteral("a=b"),
    QStringLiteral("[Ports]"),
    QStringLiteral(";not a comment"),
    QStringLiteral("#nor this"),
    QStringLiteral("  padded  "),
    QStringLiteral("back\\slash \\n \\x41 \\"),
    QStringLiteral("tab\there\r\nCRLF"),
    QString::fromUtf8("Druckmessumformer Ü ß € 圧力"),
    QStringLiteral("ctrl\x01\x1F\x7F end"),
    QStringLiteral("<<<EOT"),
    QStringLiteral("\"quoted\" ]"),
    QStringLiteral("K-40-P/12345/0815"),
    QStringLiteral("/dev/serial/by-id/usb-Silicon_Labs_CP2102_0001-if00-port0"),
};
} // namespace

TEST(IniFile, HostileKeysValuesAndSectionsReadBackUnchanged) {
  QTemporaryDir lDir;
  const QString lName = lDir.filePath("Corvane.ini");
  {
    tIniFile lIni(lName);
    for (int i = 0; i < kHostile.size(); ++i) {
      ASSERT_TRUE(lIni.WriteString("Idents", kHostile[i], kHostile[(i + 1) % kHostile.size()]));
      ASSERT_TRUE(lIni.WriteString(kHostile[i], "Key", kHostile[i]));
    }
    ASSERT_TRUE(lIni.WriteString("Idents", "empty", ""));
  }
  tIniFile lIni(lName);
  for (int i = 0; i < kHostile.size(); ++i) {
    SCOPED_TRACE(kHostile[i].toStdString());
    EXPECT_EQ(lIni.ReadString("Idents", kHostile[i], "?"), kHostile[(i + 1) % kHostile.size()]);
    EXPECT_EQ(lIni.ReadString(kHostile[i], "Key", "?"), kHostile[i]);
  }
  EXPECT_TRUE(lIni.ValueExists("Idents", "empty"));
  EXPECT_EQ(lIni.ReadString("Idents", "empty", "?"), "");
  QStringList lExpectedKeys = kHostile;
  lExpectedKeys << "empty";
  EXPECT_EQ(lIni.ReadSection("Idents"), lExpectedKeys);
  EXPECT_EQ(lIni.ReadSections().size(), kHostile.size() + 1);
}

TEST(IniFile, FileStaysPlainOneLinePerEntry) {
  QTemporaryDir lDir;
  const QString lName = lDir.filePath("Corvane.ini");
  tIniFile lIni(lName);
  lIni.WriteInteger("Common", "Language", 1);
  lIni.WriteString("Ports", "COM1", "/dev/ttyS0");
  lIni.WriteString("Idents", QString::fromUtf8("K-40-P/4711"),
                   QString::fromUtf8("Kessel Süd\nzwei"));
  QList<QByteArray> lLines = FileText(lName).split('\n');
  lLines.removeAll(QByteArray());
  EXPECT_EQ(lLines,
            (QList<QByteArray>{"[Common]", "Language=1", "[Ports]", "COM1=/dev/ttyS0", "[Idents]",
                               QString::fromUtf8("K-40-P/4711=Kessel Süd\\nzwei").toUtf8()}));
}

TEST(IniFile, KeepsOrderReplacesInPlaceAndIgnoresCaseOfNames) {
  QTemporaryDir lDir;
  const QString lName = lDir.filePath("Corvane.ini");
  {
    tIniFile lIni(lName);
    for (const char* lKey : {"Z", "A", "M"})
      lIni.WriteString("S", lKey, lKey);
    lIni.WriteString("s", "a", "again");
    lIni.DeleteKey("S", "M");
  }
  tIniFile lIni(lName);
  EXPECT_EQ(lIni.ReadSection("S"), (QStringList{"Z", "A"}));
  EXPECT_EQ(lIni.ReadString("S", "A"), "again");
  EXPECT_FALSE(lIni.ValueExists("S", "M"));
  lIni.EraseSection("S");
  EXPECT_FALSE(tIniFile(lName).SectionExists("S"));
}

TEST(IniFile, MissingEmptyOrDamagedFilesReadWhatTheyCan) {
  QTemporaryDir lDir;
  {
    tIniFile lMissing(lDir.filePath("none.ini"));
    EXPECT_EQ(lMissing.ReadInteger("Common", "Language", 7), 7);
    EXPECT_TRUE(lMissing.ReadSections().isEmpty());
    EXPECT_TRUE(lMissing.WriteInteger("Common", "Language", 0));
    EXPECT_TRUE(QFile::exists(lDir.filePath("none.ini")));
  }
  const QString lEmpty = lDir.filePath("empty.ini");
  WriteText(lEmpty, "");
  EXPECT_EQ(tIniFile(lEmpty).ReadInteger("Common", "Language", 5), 5);

  const QString lDamaged = lDir.filePath("damaged.ini");
  static const char kDamaged[] = "\xEF\xBB\xBF[Common]\nLanguage=x1\ngarbage line\n"
                                 "[Idents\nK-40-P/1=Kessel\0 A\n\xFF\xFE=bad bytes\n"
                                 "[Ports]\nCOM9=/tmp/sim\n\x01\x02\x03";
  WriteText(lDamaged, QByteArray(kDamaged, sizeof kDamaged - 1));
  tIniFile lIni(lDamaged);
  EXPECT_EQ(lIni.ReadInteger("Common", "Language", 0), 0); // not a number: default
  EXPECT_EQ(lIni.ReadString("Idents", "K-40-P/1"), "Kessel A");
  EXPECT_EQ(lIni.ReadString("Ports", "COM9"), "/tmp/sim");
  // The next write leaves a file that reads back the same.
  ASSERT_TRUE(lIni.UpdateFile());
  tIniFile lAgain(lDamaged);
  EXPECT_EQ(lAgain.ReadString("Idents", "K-40-P/1"), "Kessel A");
  EXPECT_EQ(lAgain.ReadString("Ports", "COM9"), "/tmp/sim");
  EXPECT_EQ(lAgain.ReadSections(), lIni.ReadSections());
}

TEST(IniFile, AFailedWriteKeepsTheChangeInMemoryAndReportsOnce) {
  QTemporaryDir lDir;
  // A folder that does not exist cannot take the file, whoever runs the test.
  tIniFile lIni(lDir.filePath("gone/Corvane.ini"));
  QStringList lReports;
  lIni.SetOnWriteError([&](const QString& pText) { lReports << pText; });
  EXPECT_FALSE(lIni.WriteString("Idents", "A", "1"));
  EXPECT_FALSE(lIni.WriteString("Idents", "B", "2"));
  EXPECT_EQ(lIni.ReadString("Idents", "A"), "1");
  ASSERT_EQ(lReports.size(), 1);
  // A German technical text naming the file once, then the system's reason.
  const QString lPrefix = "Fehler beim Schreiben der Datei " +
                          QDir::cleanPath(lDir.filePath("gone/Corvane.ini")) + ": ";
  EXPECT_TRUE(lReports[0].startsWith(lPrefix)) << qPrintable(lReports[0]);
  EXPECT_GT(lReports[0].size(), lPrefix.size()) << "no reason given";
  EXPECT_EQ(lReports[0].count("Corvane.ini"), 1);
  EXPECT_EQ(lIni.LastError(), lReports[0]);
  ASSERT_TRUE(QDir(lDir.path()).mkdir("gone"));
  EXPECT_TRUE(lIni.WriteString("Idents", "C", "3"));
  EXPECT_EQ(tIniFile(lDir.filePath("gone/Corvane.ini")).ReadSection("Idents"),
            (QStringList{"A", "B", "C"}));

  QFile::remove(lDir.filePath("gone/Corvane.ini"));
  ASSERT_TRUE(QDir(lDir.path()).rmdir("gone"));
  EXPECT_FALSE(lIni.WriteString("Idents", "D", "4"));
  EXPECT_EQ(lReports.size(), 2); // a new episode after a success
}

TEST(IniFile, AnInterruptedWriteNeverLeavesAHalfFile) {
  QTemporaryDir lDir;
  const QString lName = lDir.filePath("Corvane.ini");
  tIniFile lIni(lName);
  lIni.WriteString("Idents", "A", "1");
  const QByteArray lBefore = FileText(lName);
  // The file is replaced by a rename: a reader holding the old one still sees all of it, and
  // no temporary file is left beside it.
  QFile lOld(lName);
  ASSERT_TRUE(lOld.open(QIODevice::ReadOnly));
  for (int i = 0; i < 50; ++i)
    lIni.WriteString("Idents", QString("K%1").arg(i), "x");
  EXPECT_EQ(lOld.readAll(), lBefore);
  EXPECT_EQ(QDir(lDir.path()).entryList(QDir::Files), QStringList{"Corvane.ini"});
}

TEST(IniFile, EscapesOnlyWhatWouldBreakTheSyntax) {
  EXPECT_EQ(tIniFile::Escape("/dev/ttyUSB0", false), "/dev/ttyUSB0");
  EXPECT_EQ(tIniFile::Escape("a=b", false), "a=b");
  EXPECT_EQ(tIniFile::Escape("a=b", true), "a\\x3Db");
  EXPECT_EQ(tIniFile::Escape(" x ", false), "\\x20x\\x20");
  // A backslash typed by hand that is no escape of ours stays literal.
  EXPECT_EQ(tIniFile::Unescape("C:\\Temp\\q \\x4"), "C:\\Temp\\q \\x4");
}
