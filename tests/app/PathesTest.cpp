#include "app/Pathes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// Points the XDG data home at a fresh temporary folder for one test.
class PathesTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(mDataHome.isValid());
    mSaved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", mDataHome.path().toLocal8Bit());
  }
  void TearDown() override {
    if (mSaved.isEmpty()) {
      qunsetenv("XDG_DATA_HOME");
    } else {
      qputenv("XDG_DATA_HOME", mSaved);
    }
  }
  QString Below(const QString& pRelative) const { return mDataHome.path() + "/" + pRelative; }

  QTemporaryDir mDataHome;
  QByteArray mSaved;
};

QString PathesErrorText(const std::function<void()>& pCall) {
  try {
    pCall();
  } catch (const ePathes& lError) {
    EXPECT_EQ(lError.ClassName(), "ePathes");
    return lError.Message();
  }
  return "<no ePathes>";
}
} // namespace

TEST_F(PathesTest, ProgramFolderBelowCompanyFolderExistsAfterFirstCall) {
  tPathes lPathes;
  EXPECT_EQ(lPathes.CompanyFolder(), "HALVEX Produktion");
  EXPECT_EQ(tPathes::ProgramBaseName(), "test_app");
  EXPECT_EQ(lPathes.ProgramDataFolder(), Below("HALVEX Produktion/test_app"));
  lPathes.SetCompanyFolder("  HALVEX ");
  EXPECT_EQ(lPathes.CompanyFolder(), "HALVEX");
  const QString lFolder = lPathes.ProgramDataFolder();
  EXPECT_EQ(lFolder, Below("HALVEX/test_app"));
  EXPECT_FALSE(lFolder.endsWith('/'));
  EXPECT_TRUE(QFileInfo(lFolder).isDir());
}

TEST_F(PathesTest, BlankCompanyFolderAddsNoEmptyLevel) {
  tPathes lPathes;
  lPathes.SetCompanyFolder("   ");
  EXPECT_EQ(lPathes.ProgramDataFolder(), Below("test_app"));
  EXPECT_TRUE(QFileInfo(Below("test_app")).isDir());
}

TEST_F(PathesTest, CachedFolderIsNotRecreatedUntilCompanyChanges) {
  tPathes lPathes;
  lPathes.SetCompanyFolder("HALVEX");
  const QString lFolder = lPathes.ProgramDataFolder();
  ASSERT_TRUE(QDir(Below("HALVEX")).removeRecursively());
  EXPECT_EQ(lPathes.ProgramDataFolder(), lFolder);
  EXPECT_FALSE(QFileInfo(lFolder).exists());
  // Even the data home moving is not noticed while the cache holds.
  QTemporaryDir lOther;
  qputenv("XDG_DATA_HOME", lOther.path().toLocal8Bit());
  EXPECT_EQ(lPathes.ProgramDataFolder(), lFolder);
  lPathes.SetCompanyFolder("HALVEX");
  EXPECT_EQ(lPathes.ProgramDataFolder(), lOther.path() + "/HALVEX/test_app");
  EXPECT_TRUE(QFileInfo(lOther.path() + "/HALVEX/test_app").isDir());
}

TEST_F(PathesTest, FailedCreationIsReportedOnceThenThePathIsReturned) {
  // A file where the company folder should be makes the creation fail.
  QFile lBlocker(Below("HALVEX"));
  ASSERT_TRUE(lBlocker.open(QIODevice::WriteOnly));
  lBlocker.close();
  tPathes lPathes;
  lPathes.SetCompanyFolder("HALVEX");
  EXPECT_EQ(PathesErrorText([&] { lPathes.ProgramDataFolder(); }),
            "Kann " + Below("HALVEX/test_app") + " nicht anlegen");
  EXPECT_EQ(lPathes.ProgramDataFolder(), Below("HALVEX/test_app"));
}

TEST_F(PathesTest, EnsureFolderTexts) {
  EXPECT_EQ(PathesErrorText([] { tPathes::EnsureFolder("  "); }), "Leerer Verzeichnis-String");
  EXPECT_EQ(PathesErrorText([] { tPathes::EnsureFolder(""); }), "Leerer Verzeichnis-String");
  const QString lDeep = Below("a/b/c");
  tPathes::EnsureFolder(lDeep);
  EXPECT_TRUE(QFileInfo(lDeep).isDir());
  EXPECT_NO_THROW(tPathes::EnsureFolder(lDeep));
}

TEST_F(PathesTest, ProgramLevelIsTheApplicationName) {
  const QString lSaved = QCoreApplication::applicationName();
  QCoreApplication::setApplicationName(" Corvane ");
  tPathes lPathes;
  lPathes.SetCompanyFolder("HALVEX");
  const QString lFolder = lPathes.ProgramDataFolder();
  QCoreApplication::setApplicationName(lSaved);
  EXPECT_EQ(lFolder, Below("HALVEX/Corvane"));
}

TEST_F(PathesTest, GlobalObjectIsOne) {
  EXPECT_EQ(&Pathes(), &Pathes());
}
