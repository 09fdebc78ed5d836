// The device frame on the real serial port, over a pseudo-terminal served by an instrument
// simulator, as with a cable.
#include "FrameTestSupport.h"

#include "core/IniFile.h"
#include "widgets/CaptionPanel.h"
#include "pages/FrameDeviceK40.h"
#include "serial/PortMap.h"
#include "sim/PtyAttachment.h"
#include "sim/SimK40.h"

#include <QTemporaryDir>

using namespace frametest;

namespace {

// A settings file whose port map names the simulator's terminal as COM9.
class FramePty : public tFrameFixture {
protected:
  void SetUp() override {
    tFrameFixture::SetUp();
    ASSERT_TRUE(mDir.isValid());
    mIni = std::make_unique<tIniFile>(mDir.filePath("Corvane.ini"));
    mMap = std::make_unique<tPortMap>(*mIni);
    mMap->SetDeviceLister([] { return QList<tPortMap::tSerialDevice>(); });
    QString lError;
    ASSERT_TRUE(mPty.Start(mDir.filePath("k40-sim"), &lError)) << lError.toStdString();
    mMap->SetEntry(9, mPty.LinkPath());
    tPortMap::SetApplicationMap(mMap.get());
  }
  void TearDown() override {
    tPortMap::SetApplicationMap(nullptr);
    mPty.Stop();
    tFrameFixture::TearDown();
  }

  QTemporaryDir mDir;
  std::unique_ptr<tIniFile> mIni;
  std::unique_ptr<tPortMap> mMap;
  tSimK40 mK40{tSimK40::tModel::K40P};
  tPtyAttachment mPty{&mK40};
};

} // namespace

TEST_F(FramePty, k40_instrument_is_found_and_shows_live_values_over_a_pseudo_terminal) {
  mK40.SetPressure(3.5);
  TFrameDevice lFrame;
  lFrame.resize(600, 390);
  lFrame.Initialize(9);
  lFrame.Connect();
  ASSERT_TRUE(WaitFor([&] { return lFrame.DeviceStatus() == dsConnected; }, 15000))
      << "status " << int(lFrame.DeviceStatus()) << " "
      << mDialogs.LastMessage().Text.toStdString();
  EXPECT_EQ(lFrame.DeviceInfo()->DeviceType(), dtK4xP);
  auto* lPage = qobject_cast<TFrameDeviceK40*>(lFrame.Page());
  ASSERT_NE(lPage, nullptr);
  EXPECT_TRUE(WaitFor([&] { return lPage->PanelPressure->Caption() == " 3,500"; }));
  // The probes switched the line to 115200 and back.
  EXPECT_EQ(mPty.ProgramBaud(), 9600);

  // The simulator goes away: the live time-out returns the frame to dsDisconnected.
  mPty.Stop();
  ASSERT_TRUE(WaitFor([&] { return lFrame.DeviceStatus() == dsDisconnected; }, 3000));
  EXPECT_FALSE(lPage->Connected());
  EXPECT_EQ(mDialogs.MessageCount(), 0);
}

TEST_F(FramePty, opening_a_missing_or_held_port_is_reported) {
  Resources().SetLanguage(laEnglish);
  TFrameDevice lMissing;
  lMissing.Initialize(12); // no entry in the port map
  lMissing.Connect();
  ASSERT_EQ(mDialogs.MessageCount(), 1);
  EXPECT_EQ(mDialogs.LastMessage().Text, "Connection on COM12 failed: Com-port doesn't exist.");
  EXPECT_EQ(lMissing.DeviceStatus(), dsDisconnected);

  TFrameDevice lFirst;
  lFirst.Initialize(9);
  lFirst.Connect();
  ASSERT_EQ(lFirst.DeviceStatus(), dsConnecting);
  TFrameDevice lSecond;
  lSecond.Initialize(9);
  lSecond.Connect();
  ASSERT_EQ(mDialogs.MessageCount(), 2);
  EXPECT_EQ(mDialogs.LastMessage().Text, "Connection on COM9 failed: Com-port already open.");
  EXPECT_EQ(lSecond.DeviceStatus(), dsDisconnected);
  lFirst.Disconnect();
  PumpFor(50);

  // Once the first frame has let go, the second one can open the port.
  lSecond.Connect();
  EXPECT_EQ(lSecond.DeviceStatus(), dsConnecting);
  EXPECT_EQ(mDialogs.MessageCount(), 2);
  lSecond.Disconnect();
}
