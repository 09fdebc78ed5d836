// The settings file under a damaged file, a read-only data folder and a full one: the main
// window starts and keeps running, says once which file could not be written and why, keeps
// the change in memory, and writes a sound file as soon as the folder can take it again.
#include "FaultRig.h"

#include "app/FormMain.h"
#include "app/Pathes.h"
#include "core/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace faults;

namespace {

class DataFolder : public tFaultFixture {
protected:
  void SetUp() override {
    tFaultFixture::SetUp();
    ASSERT_TRUE(mHome.isValid());
    mSavedHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", mHome.path().toLocal8Bit());
    TFormMain::SetDeviceLister([] { return QList<tPortMap::tSerialDevice>{}; });
    TFormMain::SetSystemLanguage([] { return QLocale::German; });
    QDir().mkpath(Folder());
  }
  void TearDown() override {
    QFile::setPermissions(Folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    TFormMain::SetDeviceLister({});
    TFormMain::SetSystemLanguage({});
    if (mSavedHome.isEmpty())
      qunsetenv("XDG_DATA_HOME");
    else
      qputenv("XDG_DATA_HOME", mSavedHome);
    tFaultFixture::TearDown();
  }
  QString Folder() const { return mHome.path() + "/HALVEX/" + tPathes::ProgramBaseName(); }
  QString IniName() const { return Folder() + "/" + tPathes::ProgramBaseName() + ".ini"; }
  QList<tDialogRecord> Warnings() const {
    QList<tDialogRecord> lOut;
    for (const tDialogRecord& r : mDialogs.Records())
      if (r.Type == mtWarning) lOut << r;
    return lOut;
  }
  int StoredLanguage() const {
    tIniFile lIni(IniName());
    return lIni.ReadInteger("Common", "Language", -1);
  }

  QTemporaryDir mHome;
  QByteArray mSavedHome;
};

void WriteFile(const QString& pName, const QByteArray& pBytes) {
  QFile lFile(pName);
  ASSERT_TRUE(lFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
  lFile.write(pBytes);
}

} // namespace

// Binary noise, a section that never closes and a language out of range: the window starts
// with the system's language and no box, and the next change writes a sound file.
TEST_F(DataFolder, damaged_settings_file_starts_with_defaults_and_is_repaired_by_the_next_write) {
  WriteFile(IniName(),
            QByteArray("\x00\xff\xfe[Common\nLanguage=7\n[Idents]\n=\n\x01\x02garbage", 40) +
                QByteArray(300, '\x7f') + "\n[Common]\nLanguage=zz\n");
  {
    TFormMain lMain;
    PumpFor(50);
    EXPECT_EQ(Resources().Language(), laGerman);
    EXPECT_EQ(lMain.RowCount(), 0);
    lMain.miEnglishClick();
    PumpFor(50);
    EXPECT_EQ(Resources().Language(), laEnglish);
  }
  EXPECT_TRUE(Errors().isEmpty()) << qPrintable(Errors().join(" | "));
  EXPECT_TRUE(Warnings().isEmpty());
  EXPECT_EQ(StoredLanguage(), int(laEnglish));
  Resources().SetLanguage(laGerman);
}

struct tUnwritableCase {
  const char* Name;
  bool FullDisk; // else a read-only folder
};

class UnwritableFolder : public DataFolder,
                         public ::testing::WithParamInterface<tUnwritableCase> {};

// The change is kept in memory and said once, naming the file; after the folder is writable
// again the next change stores both.
TEST_P(UnwritableFolder, keeps_running_warns_once_and_stores_once_writable) {
  WriteFile(IniName(), "[Common]\nLanguage=0\n");
  TFormMain lMain;
  PumpFor(50);
  ASSERT_EQ(Resources().Language(), laGerman);
  {
    std::unique_ptr<tNoPermissionOverride> lNoOverride;
    std::unique_ptr<tFullDisk> lFull;
    if (GetParam().FullDisk) {
      lFull = std::make_unique<tFullDisk>();
    } else {
      lNoOverride = std::make_unique<tNoPermissionOverride>();
      if (!lNoOverride->Usable()) GTEST_SKIP() << "cannot give up root's permission override";
      ASSERT_TRUE(QFile::setPermissions(Folder(), QFile::ReadOwner | QFile::ExeOwner));
      ASSERT_TRUE(QFile::setPermissions(IniName(), QFile::ReadOwner));
    }
    lMain.miEnglishClick();
    lMain.miDeutschClick();
    lMain.miEnglishClick();
    PumpFor(50);
    EXPECT_EQ(Resources().Language(), laEnglish);
    ASSERT_EQ(Warnings().size(), 1);
    const QString lPrefix = "Fehler beim Schreiben der Datei " + IniName() + ": ";
    EXPECT_TRUE(Warnings().front().Text.startsWith(lPrefix)) << qPrintable(Warnings().front().Text);
    EXPECT_GT(Warnings().front().Text.size(), lPrefix.size()) << "no reason given";
    EXPECT_EQ(Warnings().front().Text.count(IniName()), 1);
    QFile::setPermissions(Folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(IniName(), QFile::ReadOwner | QFile::WriteOwner);
  }
  EXPECT_EQ(StoredLanguage(), int(laGerman)) << "the old file was damaged by the failed write";
  lMain.miEnglishClick();
  PumpFor(50);
  EXPECT_EQ(StoredLanguage(), int(laEnglish));
  EXPECT_TRUE(Errors().isEmpty()) << qPrintable(Errors().join(" | "));
  Resources().SetLanguage(laGerman);
}

INSTANTIATE_TEST_SUITE_P(Faults, UnwritableFolder,
                         ::testing::Values(tUnwritableCase{"read_only_folder", false},
                                           tUnwritableCase{"full_disk", true}),
                         [](const auto& pInfo) { return std::string(pInfo.param.Name); });
