// The about box's texts from version data, and the logo rule.
#include "AppTestSupport.h"

#include "app/AppUtils.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>

using namespace apptest;

namespace {
tVersionResource Version(bool pPreRelease) {
  tVersionResource lData;
  lData.Major = 1;
  lData.Minor = 4;
  lData.Release = 0;
  lData.Build = 7;
  lData.PreRelease = pPreRelease;
  lData.LegalCopyright = "2011 HALVEX Produktion";
  lData.Entwickler = "A. Entwickler";
  lData.FileDescription = "Corvane Service";
  return lData;
}
} // namespace

struct tAboutCase {
  const char* Name;
  bool HasResource;
  bool PreRelease;
  bool ShowDeveloper;
  const char* Project;
  const char* VerInfo;
  const char* Copyright;
  const char* Develop;
};

class tAboutTexts : public ::testing::TestWithParam<tAboutCase> {};

TEST_P(tAboutTexts, labels_follow_the_version_data) {
  const tAboutCase& c = GetParam();
  tAppUtils lBox;
  const tVersionResource lData = Version(c.PreRelease);
  lBox.ReadVersionInfo(QCoreApplication::applicationFilePath(), c.HasResource ? &lData : nullptr);
  lBox.SetShowDeveloper(c.ShowDeveloper);
  EXPECT_EQ(lBox.lblProjectName->text(), QString::fromUtf8(c.Project));
  EXPECT_EQ(lBox.lblVerInfo->text(), QString::fromUtf8(c.VerInfo));
  EXPECT_EQ(lBox.lblCopyright->text(), QString::fromUtf8(c.Copyright));
  EXPECT_EQ(lBox.lblDevelop->text(), QString::fromUtf8(c.Develop));
  EXPECT_EQ(lBox.lblAutoUpdate->text(), "");
  EXPECT_EQ(lBox.lblProjectName->palette().color(QPalette::WindowText), QColor(22, 72, 154));
}

INSTANTIATE_TEST_SUITE_P(
    Version, tAboutTexts,
    ::testing::Values(tAboutCase{"release", true, false, true, "Corvane Service",
                                 "Version: 1.4.0.7", "© 2011 HALVEX Produktion",
                                 "Entwickler: A. Entwickler"},
                      tAboutCase{"pre_release", true, true, true, "Corvane Service",
                                 "Version: 1.4.0.7 (Testversion)", "© 2011 HALVEX Produktion",
                                 "Entwickler: A. Entwickler"},
                      tAboutCase{"developer_switched_off", true, false, false, "Corvane Service",
                                 "Version: 1.4.0.7", "© 2011 HALVEX Produktion", ""},
                      tAboutCase{"no_version_resource", false, false, true, "test_app",
                                 "(Keine Versionsinfo)", "", ""}),
    [](const auto& pInfo) { return std::string(pInfo.param.Name); });

TEST(tAboutBox, build_date_is_the_program_files_last_write_time) {
  tAppUtils lBox;
  const QDateTime lWritten =
      QFileInfo(QCoreApplication::applicationFilePath()).lastModified().toLocalTime();
  EXPECT_EQ(lBox.lblBuildDate->text(), "Erstellt am: " + lWritten.toString("dd.MM.yyyy hh:mm"));
  lBox.ReadVersionInfo("/nonexistent/corvane", nullptr);
  EXPECT_EQ(lBox.lblBuildDate->text(), "Erstellt am: 30.12.1899 00:00");
  EXPECT_EQ(lBox.lblProjectName->text(), "");
}

TEST(tAboutBox, compiled_version_data_reach_the_own_program) {
  tAppUtils lBox;
  const tVersionResource lData = tAppUtils::CompiledVersion();
  EXPECT_EQ(
      lBox.Version(),
      QString("%1.%2.%3.%4").arg(lData.Major).arg(lData.Minor).arg(lData.Release).arg(lData.Build));
  EXPECT_FALSE(lData.LegalCopyright.isEmpty());
  EXPECT_TRUE(lBox.lblVerInfo->text().startsWith("Version: "));
}

TEST(tAboutBox, a_one_pixel_about_logo_hides_the_logo_everywhere) {
  QTemporaryDir lDir;
  const QString lTiny = lDir.path() + "/AboutLogo.png";
  QImage lPixel(1, 1, QImage::Format_ARGB32);
  lPixel.fill(Qt::transparent);
  ASSERT_TRUE(lPixel.save(lTiny));
  const QString lBig = lDir.path() + "/Other.png";
  QImage lLogo(117, 40, QImage::Format_ARGB32);
  lLogo.fill(Qt::blue);
  ASSERT_TRUE(lLogo.save(lBig));

  tAppUtils lBox;
  EXPECT_TRUE(lBox.LogoVisible());
  lBox.SetAboutLogoResource(lTiny);
  EXPECT_FALSE(lBox.LogoVisible());
  EXPECT_FALSE(lBox.imgHALVEX->isVisibleTo(&lBox));
  lBox.SetAboutLogoResource(lBig);
  EXPECT_TRUE(lBox.LogoVisible());

  // The main window follows the about box.
  lBox.SetAboutLogoResource(lTiny);
  tAppUtils* lPrevious = AppUtils;
  AppUtils = &lBox;
  {
    QTemporaryDir lData;
    const QByteArray lOld = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", lData.path().toUtf8());
    Pathes().SetCompanyFolder("HALVEX");
    TFormMain::SetDeviceLister([] { return QList<tPortMap::tSerialDevice>{}; });
    {
      TFormMain lWindow;
      lWindow.show();
      PumpFor(20);
      EXPECT_FALSE(lWindow.ImageLogo->isVisibleTo(&lWindow));
    }
    TFormMain::SetDeviceLister({});
    qputenv("XDG_DATA_HOME", lOld);
    Pathes().SetCompanyFolder("HALVEX");
  }
  AppUtils = lPrevious;
}

TEST(tAboutBox, shown_box_is_as_high_as_its_button_needs) {
  tAppUtils lBox;
  QTimer::singleShot(50, &lBox, [&] {
    lBox.grab().save(ScreenshotDir() + "/about-box.png");
    lBox.btnOK->click();
  });
  lBox.ShowAbout();
  EXPECT_EQ(lBox.height(), 168 + 25 + 14);
}
