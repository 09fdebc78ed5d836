// Faults that involve the operating system's serial layer: the real port class on a
// pseudo-terminal served by the simulator, pulled away mid-poll, and held by another
// program when the frame wants it.
#include "FaultRig.h"

#include "core/IniFile.h"
#include "serial/ComPort.h"
#include "serial/PortMap.h"
#include "sim/PtyAttachment.h"

#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

using namespace faults;

namespace {

constexpr const char* cHoldEnv = "CORVANE_FAULTS_HOLD_PORT";

class PtyFaults : public tFaultFixture {
protected:
  void SetUp() override {
    tFaultFixture::SetUp();
    ASSERT_TRUE(mDir.isValid());
    mIni = std::make_unique<tIniFile>(mDir.path() + "/ports.ini");
    mMap = std::make_unique<tPortMap>(*mIni);
    mMap->SetDeviceLister([] { return QList<tPortMap::tSerialDevice>{}; });
    tUSB_CP210x::SetBackendFactory([] { return std::make_shared<tCP210xFake>(); });
  }
  void TearDown() override {
    if (mHolder.state() != QProcess::NotRunning) {
      mHolder.kill();
      mHolder.waitForFinished(3000);
    }
    mAttachment.reset();
    tFaultFixture::TearDown();
  }
  // A K-40-P on a pseudo-terminal reached as COM7.
  void Serve() {
    mSim = std::make_unique<tSimK40>(tSimK40::tModel::K40P);
    mAttachment = std::make_unique<tPtyAttachment>(mSim.get());
    QString lError;
    ASSERT_TRUE(mAttachment->Start(mDir.path() + "/k40", &lError)) << qPrintable(lError);
    ASSERT_TRUE(mMap->SetEntry(cComNr, mAttachment->LinkPath()));
    TFrameDevice::SetComPortFactory(mMap->ComPortFactory());
  }

  QTemporaryDir mDir;
  std::unique_ptr<tIniFile> mIni;
  std::unique_ptr<tPortMap> mMap;
  std::unique_ptr<tSimK40> mSim;
  std::unique_ptr<tPtyAttachment> mAttachment;
  QProcess mHolder;
};

} // namespace

// The terminal disappears while the live values run: the port notices the lost line, the
// interface times out, the frame shows dsDisconnected without a box; connecting again
// fails with message 102 and 103 (the device is gone), and works once it is back.
TEST_F(PtyFaults, device_vanishing_mid_poll_disconnects_and_reports_it_missing_on_reconnect) {
  Serve();
  auto lFrame = ConnectedFrame();
  ASSERT_EQ(lFrame->DeviceStatus(), dsConnected);
  mDialogs.Clear();
  mAttachment->Stop();
  EXPECT_TRUE(WaitFor([&] { return lFrame->DeviceStatus() == dsDisconnected; }, 5000))
      << "status " << int(lFrame->DeviceStatus());
  PumpFor(200);
  EXPECT_TRUE(Errors().isEmpty()) << qPrintable(Errors().join(" | "));

  lFrame->Connect();
  ASSERT_TRUE(WaitFor([&] { return !Errors().isEmpty(); }, 3000));
  EXPECT_EQ(
      Errors().front(),
      QStringLiteral("Verbindungsaufbau an COM7 nicht möglich: Schnittstelle existiert nicht."));
  EXPECT_EQ(lFrame->DeviceStatus(), dsDisconnected);

  mDialogs.Clear();
  QString lError;
  ASSERT_TRUE(mAttachment->Start(mDir.path() + "/k40", &lError)) << qPrintable(lError);
  lFrame->Connect();
  EXPECT_TRUE(WaitFor([&] { return lFrame->DeviceStatus() == dsConnected; }, 15000));
  EXPECT_TRUE(Errors().isEmpty()) << qPrintable(Errors().join(" | "));
}

// Another program has the port open: message 102 with message 104, back to dsDisconnected;
// after that program ends the same frame connects.
TEST_F(PtyFaults, port_held_by_another_program_gives_message_104_until_it_is_released) {
  Serve();
  QProcessEnvironment lEnv = QProcessEnvironment::systemEnvironment();
  lEnv.insert(cHoldEnv, mAttachment->LinkPath());
  mHolder.setProcessEnvironment(lEnv);
  mHolder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  mHolder.start(
      QCoreApplication::applicationFilePath(),
      {"--gtest_also_run_disabled_tests", "--gtest_filter=HoldPort.DISABLED_holds_the_port"});
  ASSERT_TRUE(mHolder.waitForStarted(5000));
  QByteArray lOut;
  ASSERT_TRUE(WaitFor(
      [&] {
        lOut += mHolder.readAllStandardOutput();
        return lOut.contains("HOLDING") || mHolder.state() == QProcess::NotRunning;
      },
      15000));
  ASSERT_TRUE(lOut.contains("HOLDING")) << lOut.constData();

  TFrameDevice lFrame;
  lFrame.Initialize(cComNr);
  lFrame.Connect();
  ASSERT_TRUE(WaitFor([&] { return !Errors().isEmpty(); }, 3000));
  EXPECT_EQ(Errors().front(), QStringLiteral("Verbindungsaufbau an COM7 nicht möglich: "
                                             "Schnittstelle ist bereits geöffnet."));
  EXPECT_EQ(lFrame.DeviceStatus(), dsDisconnected);

  mHolder.kill();
  ASSERT_TRUE(mHolder.waitForFinished(5000));
  mDialogs.Clear();
  lFrame.Connect();
  EXPECT_TRUE(WaitFor([&] { return lFrame.DeviceStatus() == dsConnected; }, 15000));
  EXPECT_TRUE(Errors().isEmpty()) << qPrintable(Errors().join(" | "));
}

// Run only as the other program of the test above: opens the port named in the environment
// through the real port class and keeps it until killed.
TEST(HoldPort, DISABLED_holds_the_port) {
  const QString lPath = qEnvironmentVariable(cHoldEnv);
  ASSERT_FALSE(lPath.isEmpty());
  QTemporaryDir lDir;
  tIniFile lIni(lDir.path() + "/holder.ini");
  tPortMap lMap(lIni);
  lMap.SetDeviceLister([] { return QList<tPortMap::tSerialDevice>{}; });
  ASSERT_TRUE(lMap.SetEntry(1, lPath));
  TApdComPort lPort(&lMap);
  lPort.SetComNumber(1);
  lPort.SetOpen(true);
  std::printf("HOLDING\n");
  std::fflush(stdout);
  PumpFor(60000);
}
