// The main window with simulated instruments, kept as screenshots in both languages so that
// its look can be judged; also checks that both families are detected through the window.
#include "AppTestSupport.h"

#include "app/ImageLists.h"
#include "core/DeviceInfo.h"
#include "logger/FrameLoggingOvvw.h"
#include "sim/SimK40.h"
#include "sim/SimR70.h"

#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTreeWidget>

using namespace apptest;

TEST_F(tAppFixture, empty_window_in_both_languages) {
  Window().resize(1089, 793);
  ASSERT_TRUE(SaveScreenshot(&Window(), "main-empty-de"));
  Window().miEnglishClick();
  ASSERT_TRUE(SaveScreenshot(&Window(), "main-empty-en"));
  // Nothing is listed: the background fills the right pane, the commands wait for a row.
  EXPECT_TRUE(Window().ImageBkGrnd->isVisible());
  EXPECT_FALSE(Window().ActionConnectDevice->isEnabled());
}

TEST_F(tAppFixture, k40_and_r70_instruments_are_detected_and_listed) {
  tSimK40 lK40(tSimK40::tModel::K40P);
  lK40.SetPressure(4.25);
  tSimR70 lR70(tSimR70::tModel::R7x);
  UseInstruments({{3, &lK40}, {5, &lR70}});
  WriteIni("[Ports]\nCOM3=/dev/null\nCOM5=/dev/null\n[Idents]\n");
  Window().resize(1089, 793);
  Window().show();
  AddPort(3);
  AddPort(5);
  ASSERT_TRUE(WaitFor(
      [&] {
        return Window().FrameOfRow(0)->DeviceStatus() == dsConnected &&
               Window().FrameOfRow(1)->DeviceStatus() == dsConnected;
      },
      15000));
  for (int i = 0; i < 2; ++i) {
    const tDeviceInfo* lInfo = Window().FrameOfRow(i)->DeviceInfo();
    EXPECT_FALSE(lInfo->Ident().isEmpty());
    EXPECT_EQ(Window().ListViewDevice->topLevelItem(i)->text(1), lInfo->Tag());
    EXPECT_EQ(Window().ListViewDevice->topLevelItem(i)->text(2), lInfo->MBRange());
    EXPECT_FALSE(lInfo->MBRange().isEmpty());
  }
  EXPECT_NE(Window().FrameOfRow(0)->DeviceInfo()->DeviceType(),
            Window().FrameOfRow(1)->DeviceInfo()->DeviceType());
  EXPECT_EQ(Window().ListViewDevice->topLevelItem(1)->icon(0).pixmap(32).toImage(),
            ImageLists::ImageList32(iiConnected).toImage());

  // A tag for the first, so the list shows one given and one default tag.
  Window().ListViewDevice->setCurrentItem(Window().ListViewDevice->topLevelItem(0));
  Window().ActionRenameTagExecute();
  Window().EditDeviceName->setText("Kessel 1");
  Window().EditDeviceNameKeyPress(Qt::Key_Return);
  PumpFor(1500);
  ASSERT_TRUE(SaveScreenshot(&Window(), "main-k40-selected-de"));
  Window().ListViewDevice->setCurrentItem(Window().ListViewDevice->topLevelItem(1));
  PumpFor(1500);
  ASSERT_TRUE(SaveScreenshot(&Window(), "main-r70-selected-de"));
  Window().miEnglishClick();
  PumpFor(500);
  ASSERT_TRUE(SaveScreenshot(&Window(), "main-r70-selected-en"));

  // A short logging run of both instruments, so that the logger page shows data.
  TFrameLoggingOvvw* lLogger = Window().Logger();
  ASSERT_NE(lLogger, nullptr);
  Window().PageControlDevRecord->setCurrentWidget(Window().TabSheetRecord);
  lLogger->BitBtnStartLogClick();
  ASSERT_TRUE(WaitFor([&] { return lLogger->LogCnt() >= 30; }, 10000));
  EXPECT_EQ(Window().FrameOfRow(0)->DeviceStatus(), dsLogging);
  lLogger->BitBtnStopLogClick();
  ASSERT_TRUE(WaitFor([&] { return Window().FrameOfRow(0)->DeviceStatus() == dsConnected; }));
  ASSERT_TRUE(lLogger->HasDataToSave());
  ASSERT_TRUE(SaveScreenshot(&Window(), "main-logger-en"));
  Window().miDeutschClick();
  ASSERT_TRUE(SaveScreenshot(&Window(), "main-logger-de"));

  // Unsaved data: message 10, and Cancel keeps the window and its rows.
  mDialogs.Clear();
  mDialogs.PushAnswer(mrCancel);
  EXPECT_FALSE(Window().close());
  ASSERT_EQ(mDialogs.MessageCount(), 1);
  EXPECT_EQ(mDialogs.LastMessage().Type, mtWarning);
  EXPECT_EQ(mDialogs.LastMessage().Buttons, mbOKCancel);
  EXPECT_EQ(mDialogs.LastMessage().Text, "Es liegen Daten zum Speichern vor und gehen verloren!");
  EXPECT_EQ(Window().RowCount(), 2);

  // Removing every instrument keeps the pages while the log holds data; clearing the log
  // brings the background back.
  Window().ActionDelDeviceExecute();
  Window().ActionDelDeviceExecute();
  EXPECT_EQ(Window().RowCount(), 0);
  EXPECT_TRUE(Window().PageControlDevRecord->isVisible());
  EXPECT_FALSE(Window().ImageBkGrnd->isVisible());
  lLogger->ButtonClearTableChartClick(lLogger);
  EXPECT_FALSE(lLogger->HasDataToSave());
  EXPECT_FALSE(Window().PageControlDevRecord->isVisible());
  EXPECT_TRUE(Window().ImageBkGrnd->isVisible());

  EXPECT_TRUE(Window().close());
}
