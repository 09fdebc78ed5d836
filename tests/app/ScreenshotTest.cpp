// The main window with simulated instruments, kept as screenshots in both languages so that
// its look can be judged; also checks that both families are detected through the window.
#include "AppTestSupport.h"

#include "app/ImageLists.h"
#include "core/DeviceInfo.h"
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
  Window().PageControlDevRecord->setCurrentWidget(Window().TabSheetRecord);
  ASSERT_TRUE(SaveScreenshot(&Window(), "main-logger-en"));
  Window().miDeutschClick();
  ASSERT_TRUE(SaveScreenshot(&Window(), "main-logger-de"));

  EXPECT_TRUE(Window().close());
  EXPECT_EQ(Window().RowCount(), 0);
}
