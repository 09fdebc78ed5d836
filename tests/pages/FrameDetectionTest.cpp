// Family detection of the device frame against the instrument simulators.
#include "FrameTestSupport.h"

#include "pages/FrameDeviceK40.h"
#include "pages/FrameDeviceR70.h"
#include "sim/SimK40.h"
#include "sim/SimPort.h"
#include "sim/SimR70.h"

#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <vector>

using namespace frametest;

namespace {

enum class tFamily { K40P, R2x, R7x, VQ5 };

struct tDetectCase {
  const char* Name;
  tFamily Instrument;
  int OwnBaud;       // R70 family only
  bool NeedAutoBaud; // R70 family only
  tDeviceType Expected;
  bool K40Page;
  bool ExpectAutoBaud; // R70 page only
};

std::unique_ptr<tSimInstrument> MakeInstrument(const tDetectCase& c) {
  switch (c.Instrument) {
  case tFamily::K40P:
    return std::make_unique<tSimK40>(tSimK40::tModel::K40P);
  case tFamily::R2x:
    return std::make_unique<tSimK40>(tSimK40::tModel::R2x);
  case tFamily::R7x:
    return std::make_unique<tSimR70>(tSimR70::tModel::R7x, c.OwnBaud, c.NeedAutoBaud);
  case tFamily::VQ5:
    return std::make_unique<tSimR70>(tSimR70::tModel::VQ5, c.OwnBaud, c.NeedAutoBaud);
  }
  return nullptr;
}

class FrameDetection : public tFrameFixture, public ::testing::WithParamInterface<tDetectCase> {};

} // namespace

// On an ordinary port every family is found in the order of the cycle, after the 5 s of
// silence, and the matching page takes over and reads the instrument.
TEST_P(FrameDetection, finds_family_on_an_ordinary_port_and_hands_over_to_its_page) {
  const tDetectCase& c = GetParam();
  auto lInstrument = MakeInstrument(c);
  tSimPortFactory lPorts(lInstrument.get());
  UsePorts(lPorts);

  TFrameDevice lFrame;
  lFrame.resize(600, 380);
  lFrame.Initialize(7);
  std::vector<tDeviceStatus> lStates;
  lFrame.SetOnDeviceStatusChanged([&](tDeviceStatus s) { lStates.push_back(s); });
  ASSERT_TRUE(lFrame.IncludeK40());

  QElapsedTimer lClock;
  lClock.start();
  lFrame.Connect();
  ASSERT_TRUE(WaitFor([&] { return lFrame.DeviceStatus() == dsConnected; }, 15000))
      << "status " << int(lFrame.DeviceStatus());
  EXPECT_GT(lClock.elapsed(), 5000);

  EXPECT_EQ(lFrame.DeviceInfo()->DeviceType(), c.Expected);
  ASSERT_NE(lFrame.Page(), nullptr);
  EXPECT_TRUE(lFrame.Page()->Connected());
  if (c.K40Page) {
    EXPECT_NE(qobject_cast<TFrameDeviceK40*>(lFrame.Page()), nullptr);
  } else {
    auto* lR70 = qobject_cast<TFrameDeviceR70*>(lFrame.Page());
    ASSERT_NE(lR70, nullptr);
    EXPECT_EQ(lR70->AutoBaud(), c.ExpectAutoBaud);
  }
  ASSERT_FALSE(lStates.empty());
  EXPECT_EQ(lStates.front(), dsConnecting);
  EXPECT_EQ(lStates.back(), dsConnected);
  EXPECT_EQ(mDialogs.MessageCount(), 0) << mDialogs.LastMessage().Text.toStdString();
  EXPECT_FALSE(lFrame.ProgressBar->isVisibleTo(&lFrame));

  lFrame.Disconnect();
  EXPECT_EQ(lFrame.DeviceStatus(), dsDisconnected);
  EXPECT_FALSE(lFrame.Page()->Connected());
}

INSTANTIATE_TEST_SUITE_P(
    Families, FrameDetection,
    ::testing::Values(
        tDetectCase{"K40P", tFamily::K40P, 9600, false, dtK4xP, true, false},
        tDetectCase{"R2x", tFamily::R2x, 9600, false, dtR2x, true, false},
        // The first try already carries the auto-baud byte, which an instrument that does
        // not need it ignores.
        tDetectCase{"R7x_9600", tFamily::R7x, 9600, false, dtR7x, false, true},
        tDetectCase{"R7x_needing_0x55", tFamily::R7x, 9600, true, dtR7x, false, true},
        tDetectCase{"R7x_only_115200", tFamily::R7x, 115200, false, dtR7x, false, false},
        // Without its bridge a VQ-5 is an R7x-protocol instrument like any other.
        tDetectCase{"VQ5_on_ordinary_port", tFamily::VQ5, 9600, false, dtR7x, false, true}),
    [](const auto& pInfo) { return std::string(pInfo.param.Name); });

TEST_F(tFrameFixture, ordinary_port_hears_nothing_during_the_first_five_seconds) {
  tSimK40 lK40(tSimK40::tModel::K40P);
  tSimPortFactory lPorts(&lK40);
  UsePorts(lPorts);
  TFrameDevice lFrame;
  lFrame.Initialize(3);

  QElapsedTimer lClock;
  lClock.start();
  lFrame.Connect();
  ASSERT_NE(lPorts.Last(), nullptr);
  EXPECT_TRUE(lFrame.ProgressBar->isVisibleTo(&lFrame));
  EXPECT_FALSE(lFrame.ButtonConnect->isEnabled());
  EXPECT_EQ(lFrame.ProgressBar->maximum(), 5100);

  PumpFor(4700);
  EXPECT_TRUE(lPorts.Last()->SentLog().isEmpty());
  EXPECT_GT(lFrame.ProgressBar->value(), 4000);
  ASSERT_TRUE(WaitFor([&] { return !lPorts.Last()->SentLog().isEmpty(); }, 2000));
  EXPECT_GE(lClock.elapsed(), 5000);
  // The first probe is the R70 try with the auto-baud byte: 0x55 "SO" 0xFF, checksum, CR.
  EXPECT_TRUE(lPorts.Last()->SentLog().startsWith(QByteArray("\x55SO\xFF", 4)));
  ASSERT_TRUE(WaitFor([&] { return lFrame.DeviceStatus() == dsConnected; }, 8000));
  EXPECT_EQ(lFrame.ProgressBar->value(), 5100);
  lFrame.Disconnect();
}

TEST_F(tFrameFixture, silent_port_fails_after_six_seconds_with_message_102) {
  tSimK40 lK40(tSimK40::tModel::K40P);
  tSimPortFactory lPorts(&lK40, tSimFaults{.Silent = true});
  UsePorts(lPorts);
  TFrameDevice lFrame;
  lFrame.Initialize(7);

  QElapsedTimer lClock;
  lClock.start();
  lFrame.Connect();
  ASSERT_TRUE(WaitFor([&] { return mDialogs.MessageCount() > 0; }, 12000));
  EXPECT_GT(lClock.elapsed(), 6000);
  EXPECT_EQ(mDialogs.LastMessage().Type, mtError);
  EXPECT_EQ(mDialogs.LastMessage().Buttons, mbOK);
  EXPECT_EQ(mDialogs.LastMessage().Text, "Verbindungsaufbau an COM7 nicht möglich!");
  EXPECT_EQ(lFrame.DeviceStatus(), dsDisconnected);
  EXPECT_EQ(lFrame.Page(), nullptr);
  EXPECT_EQ(lPorts.Last(), nullptr); // closed and released
  EXPECT_TRUE(lFrame.ButtonConnect->isEnabled());
  EXPECT_FALSE(lFrame.TimerConnecting->isActive());

  // One failure, one box: nothing follows.
  PumpFor(300);
  EXPECT_EQ(mDialogs.MessageCount(), 1);
}

TEST_F(tFrameFixture, disconnect_during_the_search_stops_it_without_a_box) {
  tSimR70 lR70(tSimR70::tModel::R7x, 9600, false);
  tSimPortFactory lPorts(&lR70);
  UsePorts(lPorts);
  TFrameDevice lFrame;
  lFrame.Initialize(4);
  tDeviceStatus lStatusAfter = dsConnecting;
  bool lPortOpenAfter = true;
  bool lProbed = false;
  // Disconnects as soon as the first probe reached the instrument, so it happens inside the
  // first cycle while that probe waits for its reply, however slow the machine is.
  QTimer lWatch;
  lWatch.setInterval(1);
  QObject::connect(&lWatch, &QTimer::timeout, [&] {
    if (!lPorts.Last() || lPorts.Last()->SentLog().isEmpty()) return;
    lWatch.stop();
    lProbed = true;
    lFrame.Disconnect();
    lStatusAfter = lFrame.DeviceStatus();
    lPortOpenAfter = lPorts.Last() && lPorts.Last()->Open();
  });
  lWatch.start();
  lFrame.Connect();
  ASSERT_TRUE(WaitFor([&] { return lStatusAfter != dsConnecting; }, 8000));
  EXPECT_EQ(lStatusAfter, dsDisconnected);
  EXPECT_FALSE(lPortOpenAfter);
  EXPECT_TRUE(lProbed);

  PumpFor(2500);
  EXPECT_EQ(mDialogs.MessageCount(), 0);
  EXPECT_EQ(lFrame.DeviceStatus(), dsDisconnected);
  EXPECT_EQ(lFrame.Page(), nullptr);
  EXPECT_FALSE(lFrame.TimerConnecting->isActive());
}

namespace {
struct tOpenCase {
  const char* Name;
  tSimPort::tOpenFault Fault;
  tLanguage Language;
  const char* Text;
};
} // namespace

// Opening errors: message 102 with the port number, then the reason.
TEST_F(tFrameFixture, opening_errors_show_message_102_with_their_reason) {
  const tOpenCase lCases[] = {
      {"missing, English", tSimPort::tOpenFault::ofBadId, laEnglish,
       "Connection on COM7 failed: Com-port doesn't exist."},
      {"held, English", tSimPort::tOpenFault::ofAlreadyOpen, laEnglish,
       "Connection on COM7 failed: Com-port already open."},
      {"other, English", tSimPort::tOpenFault::ofOther, laEnglish, "Connection on COM7 failed!"},
      {"missing, German", tSimPort::tOpenFault::ofBadId, laGerman,
       "Verbindungsaufbau an COM7 nicht möglich: Schnittstelle existiert nicht."},
      {"held, German", tSimPort::tOpenFault::ofAlreadyOpen, laGerman,
       "Verbindungsaufbau an COM7 nicht möglich: Schnittstelle ist bereits geöffnet."},
  };
  for (const tOpenCase& c : lCases) {
    SCOPED_TRACE(c.Name);
    mDialogs.Clear();
    tSimK40 lK40(tSimK40::tModel::K40P);
    tSimPortFactory lPorts(&lK40);
    lPorts.SetOpenFault(c.Fault);
    UsePorts(lPorts);
    TFrameDevice lFrame;
    Resources().SetLanguage(c.Language);
    lFrame.Initialize(7);
    std::vector<tDeviceStatus> lStates;
    lFrame.SetOnDeviceStatusChanged([&](tDeviceStatus s) { lStates.push_back(s); });
    lFrame.Connect();
    ASSERT_EQ(mDialogs.MessageCount(), 1);
    EXPECT_EQ(mDialogs.LastMessage().Type, mtError);
    EXPECT_EQ(mDialogs.LastMessage().Text, c.Text);
    EXPECT_EQ(lFrame.DeviceStatus(), dsDisconnected);
    EXPECT_EQ(lStates, (std::vector<tDeviceStatus>{dsConnecting, dsDisconnected}));
    EXPECT_FALSE(lFrame.TimerConnecting->isActive());
    EXPECT_TRUE(lFrame.ButtonConnect->isEnabled());
  }
}

// A port's own error text is shown as it stands after message 102, even with a "%" in it.
TEST_F(tFrameFixture, port_error_text_with_percent_signs_follows_message_102_unchanged) {
  class tRefusingPort : public tSimPort {
  public:
    using tSimPort::tSimPort;
    void SetBaud(int pValue) override {
      if (pValue == 115200) throw eError(QStringLiteral("COM7: 100% belegt (%d %s %n)"));
      tSimPort::SetBaud(pValue);
    }
  };
  tSimR70 lR70(tSimR70::tModel::R7x);
  tSimFaults lSilent;
  lSilent.Silent = true;
  TFrameDevice::SetComPortFactory([&]() -> std::unique_ptr<iComPort> {
    auto lPort = std::make_unique<tRefusingPort>(&lR70);
    lPort->SetFaults(lSilent);
    return lPort;
  });
  UseBridges({{QStringLiteral("HALVEX_R-7X_0815"), 7}});
  Resources().SetLanguage(laEnglish);
  TFrameDevice lFrame;
  lFrame.Initialize(7);
  lFrame.Connect();
  ASSERT_TRUE(WaitFor([&] { return mDialogs.MessageCount() > 0; }, 8000));
  EXPECT_EQ(mDialogs.LastMessage().Text, "Connection on COM7 failed: COM7: 100% belegt (%d %s %n)");
  EXPECT_EQ(lFrame.DeviceStatus(), dsDisconnected);
}

TEST_F(tFrameFixture, status_write_fires_only_on_a_change) {
  TFrameDevice lFrame;
  lFrame.Initialize(2);
  int lEvents = 0;
  lFrame.SetOnDeviceStatusChanged([&](tDeviceStatus) { ++lEvents; });
  lFrame.SetDeviceStatus(dsDisconnected);
  EXPECT_EQ(lEvents, 0);
  lFrame.SetDeviceStatus(dsLogging);
  lFrame.SetDeviceStatus(dsLogging);
  EXPECT_EQ(lEvents, 1);
  EXPECT_FALSE(lFrame.ButtonConnect->isEnabled());
  lFrame.SetDeviceStatus(dsDisconnected);
  EXPECT_EQ(lEvents, 2);
  EXPECT_TRUE(lFrame.ButtonConnect->isEnabled());
}

TEST_F(tFrameFixture, goto_device_status_connects_only_when_disconnected) {
  tSimK40 lK40(tSimK40::tModel::K40P);
  tSimPortFactory lPorts(&lK40);
  UsePorts(lPorts);
  TFrameDevice lFrame;
  lFrame.Initialize(5);
  lFrame.GotoDeviceStatus();
  EXPECT_EQ(lFrame.DeviceStatus(), dsConnecting);
  EXPECT_EQ(lPorts.Created(), 1);
  lFrame.GotoDeviceStatus();
  lFrame.Connect();
  EXPECT_EQ(lPorts.Created(), 1);
  lFrame.Disconnect();
  EXPECT_EQ(lFrame.DeviceStatus(), dsDisconnected);
}

TEST_F(tFrameFixture, shared_message_texts_follow_the_language) {
  TFrameDevice lFrame;
  Resources().SetLanguage(laEnglish);
  EXPECT_EQ(TFrameDevice::OutText(0), "Connection on COM%d failed");
  EXPECT_EQ(TFrameDevice::OutText(1), "Com-port doesn't exist.");
  EXPECT_EQ(lFrame.ButtonConnect->text(), "Connect");
  Resources().SetLanguage(laGerman);
  EXPECT_EQ(TFrameDevice::OutText(2), "Schnittstelle ist bereits geöffnet.");
  EXPECT_EQ(lFrame.ButtonConnect->text(), "Verbinden");
}

TEST_F(tFrameFixture, screenshots_of_the_frame_before_a_page_exists) {
  tSimK40 lK40(tSimK40::tModel::K40P);
  tSimPortFactory lPorts(&lK40, tSimFaults{.Silent = true});
  UsePorts(lPorts);
  for (tLanguage lLanguage : {laGerman, laEnglish}) {
    Resources().SetLanguage(lLanguage);
    const QString lSuffix = lLanguage == laGerman ? "de" : "en";
    TFrameDevice lFrame;
    lFrame.resize(451, 304);
    lFrame.Initialize(5);
    EXPECT_TRUE(SaveScreenshot(&lFrame, "frame_disconnected_" + lSuffix));
    lFrame.Connect();
    PumpFor(2500);
    EXPECT_TRUE(lFrame.ProgressBar->isVisible());
    EXPECT_TRUE(SaveScreenshot(&lFrame, "frame_connecting_" + lSuffix));
    lFrame.Disconnect();
    PumpFor(30);
  }
  EXPECT_EQ(mDialogs.MessageCount(), 0);
}

TEST_F(tFrameFixture, frame_fills_its_parent) {
  QWidget lBox;
  lBox.resize(700, 500);
  TFrameDevice lFrame;
  lFrame.setParent(&lBox);
  EXPECT_EQ(lFrame.geometry(), lBox.rect());
  lBox.show();
  lBox.resize(820, 430);
  EXPECT_TRUE(WaitFor([&] { return lFrame.geometry() == QRect(0, 0, 820, 430); }, 1000));
  lFrame.setParent(nullptr);
}
