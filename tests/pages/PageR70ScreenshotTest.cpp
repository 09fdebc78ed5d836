// Offscreen pictures of the R70 page with a simulated instrument connected, in both
// languages, kept below $CORVANE_TEST_OUTPUT/screenshots for a look at the finished page.
#include "PageR70Support.h"

#include "pages/FrameAdjust.h"

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace {

QString ScreenshotDir() {
  QString lBase = qEnvironmentVariable("CORVANE_TEST_OUTPUT");
  if (lBase.isEmpty()) lBase = QDir::current().filePath(QStringLiteral("test-output"));
  const QString lDir = QDir(lBase).filePath(QStringLiteral("screenshots"));
  QDir().mkpath(lDir);
  return lDir;
}

// True when the picture shows more than one colour, so that something was drawn.
bool HasContent(const QImage& pImage) {
  const QRgb lFirst = pImage.pixel(0, 0);
  for (int y = 0; y < pImage.height(); y += 7) {
    for (int x = 0; x < pImage.width(); x += 7) {
      if (pImage.pixel(x, y) != lFirst) return true;
    }
  }
  return false;
}

QString Shoot(TFrameDeviceR70& pPage, QWidget* pTab, const QString& pName) {
  pPage.PageControl->setCurrentWidget(pTab);
  PumpFor(30);
  const QString lFile = QDir(ScreenshotDir()).filePath(pName + QStringLiteral(".png"));
  const QImage lImage = pPage.grab().toImage();
  EXPECT_TRUE(HasContent(lImage)) << pName.toStdString();
  EXPECT_TRUE(lImage.save(lFile)) << lFile.toStdString();
  return lFile;
}

class PageR70Screenshot : public ::testing::TestWithParam<tLanguage> {
protected:
  void TearDown() override { Resources().SetLanguage(laGerman); }
  QString Suffix() const {
    return GetParam() == laGerman ? QStringLiteral("de") : QStringLiteral("en");
  }
};

TEST_P(PageR70Screenshot, TabsOfAConnectedUsbInstrument) {
  Resources().SetLanguage(GetParam());
  tR70PageBench lBench;
  lBench.Sim().SetRange(0, 16, 0xFE, 0xFE);
  lBench.Sim().SetOutputKind(5);
  lBench.Sim().SetOperatingParam(0x7C, 500);
  lBench.Sim().SetPressure(12.3456f);
  lBench.Sim().SetTemperature(23.4);
  lBench.Create();
  lBench.Page().show();
  ASSERT_TRUE(lBench.Connect());
  TFrameDeviceR70& lPage = lBench.Page();
  ASSERT_TRUE(lBench.Settle(double(12.3456f)));

  Shoot(lPage, lPage.TabSheetInfo, QStringLiteral("r70_info_") + Suffix());
  lPage.PageControl->setCurrentWidget(lPage.TabSheetJustage);
  ASSERT_TRUE(lBench.Settle(double(12.3456f)));
  ASSERT_TRUE(WaitFor([&] { return !lPage.MeasWz().isEmpty(); }));
  lBench.Advance(201);
  PumpFor(30);
  Shoot(lPage, lPage.TabSheetJustage, QStringLiteral("r70_adjust_") + Suffix());
  Shoot(lPage, lPage.TabSheetSettings, QStringLiteral("r70_settings_") + Suffix());

  lPage.PageControl->setCurrentWidget(lPage.TabSheetJustage);
  lPage.FrameAdjust->findChild<QPushButton*>(QStringLiteral("BitBtnAdjust"))->click();
  ASSERT_EQ(lPage.DeviceStatus(), dsAdjusting);
  Shoot(lPage, lPage.TabSheetJustage, QStringLiteral("r70_adjusting_") + Suffix());
}

TEST_P(PageR70Screenshot, CompoundRangeAndInstrumentFault) {
  Resources().SetLanguage(GetParam());
  tR70PageBench lBench;
  lBench.Sim().SetRange(-1, 15, 0xFE, 0x1F);
  lBench.Sim().SetBarFactors(1, 0.06894757f);
  lBench.Sim().SetPressure(-0.25f);
  lBench.Create();
  lBench.Page().show();
  ASSERT_TRUE(lBench.Connect());
  ASSERT_TRUE(lBench.Settle(-0.25));
  lBench.Sim().SetStatusByte(1);
  ASSERT_TRUE(WaitFor([&] { return lBench.Page().DeviceStatus() == dsInternalError; }, 4000));
  ASSERT_TRUE(lBench.Sample(-0.25));
  Shoot(lBench.Page(), lBench.Page().TabSheetInfo,
        QStringLiteral("r70_compound_fault_") + Suffix());
}

TEST_P(PageR70Screenshot, Vq5WithoutTemperature) {
  Resources().SetLanguage(GetParam());
  tR70PageBench lBench(tSimR70::tModel::VQ5);
  lBench.Sim().SetPressure(456.7f);
  lBench.Create();
  lBench.Page().show();
  ASSERT_TRUE(lBench.Connect());
  ASSERT_TRUE(lBench.Settle(double(456.7f)));
  Shoot(lBench.Page(), lBench.Page().TabSheetInfo, QStringLiteral("vq5_info_") + Suffix());
  Shoot(lBench.Page(), lBench.Page().TabSheetSettings, QStringLiteral("vq5_settings_") + Suffix());
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, PageR70Screenshot, ::testing::Values(laGerman, laEnglish),
                         [](const auto& pInfo) {
                           return pInfo.param == laGerman ? std::string("German")
                                                          : std::string("English");
                         });

} // namespace
