// USB bridge identification and the search on a bridge port, and a port that fails while
// the search runs.
#include "FrameTestSupport.h"

#include "pages/FrameDeviceR70.h"
#include "sim/SimK40.h"
#include "sim/SimR70.h"

#include <QElapsedTimer>
#include <QProgressBar>
#include <QTimer>

using namespace frametest;

namespace {

const QString cVQ5 = "48414C564558_56512D352B_000123";
const QString cR7xHex = "48414C564558_522D3758_000456";

struct tBridgeCase {
  const char* Name;
  QList<tCP210xFake::tBridge> Bridges;
  int ComNr;
  bool IncludeK40;
  bool IsVQ5;
};

} // namespace

TEST_F(tFrameFixture, initialize_tells_bridge_ports_from_ordinary_ones) {
  const tBridgeCase lCases[] = {
      {"no bridge", {}, 9, true, false},
      {"VQ-5 bridge on the port", {{cVQ5, 9}}, 9, false, true},
      {"R-7X bridge on the port", {{cR7xHex, 9}}, 9, false, false},
      {"R-7X bridge in plain text, lower case", {{"halvex_r-7x_77", 9}}, 9, false, false},
      {"VQ-5 bridge on another port", {{cVQ5, 9}}, 3, true, false},
      {"a foreign bridge", {{"0001", 9}}, 9, true, false},
      {"a prefix inside the string does not count", {{"X" + cVQ5, 9}}, 9, true, false},
      {"bridge without a port", {{cVQ5, -1}}, 9, true, false},
      {"bridge that cannot be opened is skipped",
       {{cVQ5, 9, true}, {cR7xHex, 4}, {cR7xHex, 9}},
       9,
       false,
       false},
  };
  for (const tBridgeCase& c : lCases) {
    SCOPED_TRACE(c.Name);
    UseBridges(c.Bridges);
    TFrameDevice lFrame;
    lFrame.Initialize(c.ComNr);
    EXPECT_EQ(lFrame.IncludeK40(), c.IncludeK40);
    EXPECT_EQ(lFrame.IsVQ5(), c.IsVQ5);
    EXPECT_EQ(lFrame.DeviceInfo()->ComNr(), c.ComNr);
    EXPECT_EQ(mBridges->OpenCount(), mBridges->CloseCount());
  }
}

TEST_F(tFrameFixture, a_bridge_library_error_while_listing_reaches_the_caller) {
  UseBridges({{cVQ5, 9}});
  mBridges->SetNumDevicesStatus(iCP210xBackend::kDeviceIoFailed);
  TFrameDevice lFrame;
  EXPECT_THROW(lFrame.Initialize(9), eUSB_CP210x);
}

TEST_F(tFrameFixture, vq5_on_its_bridge_is_found_at_once) {
  UseBridges({{cVQ5, 9}});
  tSimR70 lVQ5(tSimR70::tModel::VQ5, 9600, false);
  tSimPortFactory lPorts(&lVQ5);
  UsePorts(lPorts);
  TFrameDevice lFrame;
  lFrame.Initialize(9);

  QElapsedTimer lClock;
  lClock.start();
  // Checked from inside the search, which waits for replies in the event loop.
  bool lSentEarly = false;
  QTimer::singleShot(300,
                     [&] { lSentEarly = lPorts.Last() && !lPorts.Last()->SentLog().isEmpty(); });
  lFrame.Connect();
  ASSERT_TRUE(WaitFor([&] { return lFrame.DeviceStatus() == dsConnected; }, 5000));
  EXPECT_LT(lClock.elapsed(), 5000);
  EXPECT_TRUE(lSentEarly);
  EXPECT_EQ(lFrame.DeviceInfo()->DeviceType(), dtVQ5);
  EXPECT_NE(qobject_cast<TFrameDeviceR70*>(lFrame.Page()), nullptr);
  EXPECT_EQ(mDialogs.MessageCount(), 0);
  lFrame.Disconnect();
}

// An R-7X bridge port runs R70 cycles back to back and never receives the K40 probes.
TEST_F(tFrameFixture, bridge_port_never_receives_typ_and_fails_after_six_seconds) {
  UseBridges({{cR7xHex, 6}});
  tSimK40 lK40(tSimK40::tModel::R2x); // would answer "TYP" if asked
  tSimPortFactory lPorts(&lK40);
  UsePorts(lPorts);
  TFrameDevice lFrame;
  lFrame.Initialize(6);
  ASSERT_FALSE(lFrame.IncludeK40());

  QByteArray lSent;
  lFrame.Connect();
  QElapsedTimer lClock;
  lClock.start();
  ASSERT_TRUE(WaitFor(
      [&] {
        if (lPorts.Last()) lSent = lPorts.Last()->SentLog();
        return mDialogs.MessageCount() > 0;
      },
      12000));
  EXPECT_GT(lClock.elapsed(), 5900);
  EXPECT_EQ(mDialogs.LastMessage().Text, "Verbindungsaufbau an COM6 nicht möglich!");
  EXPECT_FALSE(lSent.contains("TYP"));
  // Several cycles: every one starts with the auto-baud try.
  EXPECT_GE(lSent.count(QByteArray("\x55MA\x00", 4)), 3);
  EXPECT_EQ(lK40.Requests().count(QByteArray("TYP")), 0);
  EXPECT_EQ(lFrame.DeviceStatus(), dsDisconnected);
  EXPECT_EQ(lFrame.Page(), nullptr);
}

namespace {
// A port whose driver refuses the high rate, as some adapters do.
class tNoHighBaudPort : public tSimPort {
public:
  using tSimPort::tSimPort;
  void SetBaud(int pValue) override {
    if (pValue > 9600) throw eError("Baudrate 115200 wird nicht unterstützt");
    tSimPort::SetBaud(pValue);
  }
};
} // namespace

TEST_F(tFrameFixture, port_error_during_the_search_stops_it_like_the_time_limit) {
  UseBridges({{cR7xHex, 8}});
  tSimR70 lR70(tSimR70::tModel::R7x, 115200, false);
  tNoHighBaudPort* lPort = nullptr;
  TFrameDevice::SetComPortFactory([&]() -> std::unique_ptr<iComPort> {
    auto lNew = std::make_unique<tNoHighBaudPort>(&lR70);
    lPort = lNew.get();
    return lNew;
  });
  TFrameDevice lFrame;
  lFrame.Initialize(8);
  lFrame.Connect();
  ASSERT_TRUE(WaitFor([&] { return mDialogs.MessageCount() > 0; }, 5000));
  EXPECT_EQ(mDialogs.LastMessage().Type, mtError);
  EXPECT_EQ(mDialogs.LastMessage().Text,
            "Verbindungsaufbau an COM8 nicht möglich: Baudrate 115200 wird nicht unterstützt");
  EXPECT_EQ(lFrame.DeviceStatus(), dsDisconnected);
  EXPECT_FALSE(lFrame.TimerConnecting->isActive());
  PumpFor(200);
  EXPECT_EQ(mDialogs.MessageCount(), 1);
  (void)lPort;
}
