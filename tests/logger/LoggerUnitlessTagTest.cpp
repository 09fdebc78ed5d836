#include "LoggerFixture.h"

// A record that gets its tag before any range unit is known (an instrument that reports no
// unit, or a tag restored from the settings file early) must not send the unit boxes into a
// loop of change notifications.
TEST_F(tLoggerFixture, TagWithoutRangeUnitsLeavesTheUnitBoxesAlone) {
  auto frame = std::make_unique<TFrameDevice>();
  mLogger->AddDevice(frame.get());
  tDeviceInfo* info = frame->DeviceInfo();
  info->SetIdent("K-40-P 1001");
  info->SetTag("Kessel 1");
  info->SetTag("Kessel 2");
  EXPECT_GE(mLogger->findChild<QComboBox*>("ComboBoxUnitMBA")->currentIndex(), 0);
  mLogger->DelDevice(frame.get());
}
