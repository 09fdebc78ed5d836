#include "sim/PtyAttachment.h"
#include "core/IniFile.h"
#include "serial/ComPort.h"
#include "serial/PortMap.h"
#include "sim/SimScripted.h"

#include "support/WaitFor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QByteArray kRequest("ABC\x42\r", 5);
const QByteArray kReply("ok12\x77\r", 6);

// The program's side: a real port on COM9, which the settings file maps to the link.
struct tRig {
  QTemporaryDir Dir;
  tIniFile Ini{Dir.filePath("Corvane.ini")};
  tPortMap Map{Ini};
  tSimScripted Instrument;
  tPtyAttachment Attachment{&Instrument};
  TApdComPort Port{&Map};
  QByteArray Received;

  explicit tRig(bool pPaced = false) {
    Map.SetDeviceLister([] { return QList<tPortMap::tSerialDevice>(); });
    Map.SetEntry(9, Link());
    Instrument.SetReply(kRequest, kReply);
    tSimFaults lFaults;
    lFaults.PaceAtBaud = pPaced;
    Attachment.SetFaults(lFaults);
    Port.SetComNumber(9);
    Port.SetBaud(9600);
    Port.SetOnTriggerAvail([this](iComPort* pCP, quint16 pCount) {
      for (int i = 0; i < pCount; ++i)
        Received.append(char(pCP->ReadByte()));
    });
  }
  QString Link() const { return Dir.filePath("sim-com9"); }
  bool Start() {
    QString lError;
    const bool lOk = Attachment.Start(Link(), &lError);
    EXPECT_TRUE(lOk) << lError.toStdString();
    if (lOk) Port.SetOpen(true);
    return lOk && Port.Open();
  }
};
} // namespace

TEST(PtyAttachment, ServesTheInstrumentThroughTheOperatingSystemsSerialLayer) {
  tRig lRig;
  ASSERT_TRUE(lRig.Start());
  EXPECT_TRUE(QFileInfo(lRig.Link()).isSymLink());
  lRig.Port.SendBytes(kRequest);
  ASSERT_TRUE(WaitFor([&] { return lRig.Received.size() >= kReply.size(); }));
  EXPECT_EQ(lRig.Received, kReply);
  EXPECT_EQ(lRig.Instrument.Requests(), QList<QByteArray>{kRequest});
}

TEST(PtyAttachment, TellsTheInstrumentTheRateTheProgramSet) {
  tRig lRig;
  lRig.Instrument.SetOwnBaud(115200);
  ASSERT_TRUE(lRig.Start());
  lRig.Port.SendBytes(kRequest); // at 9600: noise to this instrument
  PumpFor(50);
  EXPECT_TRUE(lRig.Received.isEmpty());
  lRig.Port.SetBaud(115200);
  ASSERT_TRUE(WaitFor([&] { return lRig.Attachment.ProgramBaud() == 115200; }, 500));
  lRig.Port.SendBytes(kRequest);
  ASSERT_TRUE(WaitFor([&] { return lRig.Received.size() >= kReply.size(); }));
  EXPECT_EQ(lRig.Received, kReply);
  EXPECT_TRUE(lRig.Instrument.BaudChanges().contains(115200));
  EXPECT_EQ(lRig.Instrument.LineBaud(), 115200);
}

TEST(PtyAttachment, PacesAtTheProgramsRate) {
  tRig lRig(true);
  ASSERT_TRUE(lRig.Start());
  lRig.Port.SetBaud(1200); // 8.3 ms per byte
  ASSERT_TRUE(WaitFor([&] { return lRig.Attachment.ProgramBaud() == 1200; }, 500));
  QElapsedTimer lClock;
  lClock.start();
  lRig.Port.SendBytes(kRequest);
  ASSERT_TRUE(WaitFor([&] { return lRig.Received.size() >= kReply.size(); }));
  EXPECT_GE(lClock.nsecsElapsed(), 11 * 10'000'000'000LL / 1200 - 1'000'000);
}

TEST(PtyAttachment, AppliesLineFaults) {
  tRig lRig;
  tSimFaults lFaults = lRig.Attachment.Faults();
  lFaults.StrayLeadingByte = true;
  lFaults.CorruptChecksum = true;
  lRig.Attachment.SetFaults(lFaults);
  ASSERT_TRUE(lRig.Start());
  lRig.Port.SendBytes(kRequest);
  ASSERT_TRUE(WaitFor([&] { return lRig.Received.size() >= kReply.size() + 1; }));
  EXPECT_EQ(lRig.Received, QByteArray("\0ok12\x88\r", 7));
}

TEST(PtyAttachment, LogsEveryFrameInHex) {
  tRig lRig;
  ASSERT_TRUE(lRig.Attachment.SetLogFile(lRig.Dir.filePath("sim.log")));
  lRig.Instrument.SetReply("\x55" + kRequest, kReply);
  ASSERT_TRUE(lRig.Start());
  lRig.Port.SendByte(0x55);
  lRig.Port.SendBytes(kRequest);
  ASSERT_TRUE(WaitFor([&] { return lRig.Received.size() >= kReply.size(); }));
  lRig.Attachment.Stop();
  QFile lLog(lRig.Dir.filePath("sim.log"));
  ASSERT_TRUE(lLog.open(QIODevice::ReadOnly));
  QStringList lLines;
  for (const QByteArray& lLine : lLog.readAll().split('\n'))
    if (!lLine.isEmpty()) lLines << QString::fromLatin1(lLine).section(' ', 1); // drop the time
  EXPECT_EQ(lLines, (QStringList{"RX 9600 55 41 42 43 42 0D", "TX 9600 6F 6B 31 32 77 0D"}));
}

TEST(PtyAttachment, StoppingPullsTheCable) {
  tRig lRig;
  int lLost = 0;
  lRig.Port.OnLineLost = [&](iComPort*, const QString&) { ++lLost; };
  ASSERT_TRUE(lRig.Start());
  lRig.Attachment.Stop();
  EXPECT_FALSE(QFileInfo(lRig.Link()).isSymLink());
  ASSERT_TRUE(WaitFor([&] { return !lRig.Port.Open(); }));
  PumpFor(100);
  EXPECT_EQ(lLost, 1);
  EXPECT_THROW(lRig.Port.SetOpen(true), EBadId);
}

TEST(PtyAttachment, LeavesForeignFilesAloneAndReplacesStaleLinks) {
  QTemporaryDir lDir;
  tSimScripted lInstrument;
  QFile lPlain(lDir.filePath("plain"));
  ASSERT_TRUE(lPlain.open(QIODevice::WriteOnly));
  lPlain.close();
  ASSERT_TRUE(QFile::link(lDir.filePath("gone"), lDir.filePath("stale")));
  tPtyAttachment lFirst(&lInstrument);
  QString lError;
  EXPECT_FALSE(lFirst.Start(lDir.filePath("plain"), &lError));
  EXPECT_TRUE(QFile::exists(lDir.filePath("plain")));
  EXPECT_TRUE(lFirst.Start(lDir.filePath("stale"), &lError)) << lError.toStdString();
  tSimScripted lOther;
  tPtyAttachment lSecond(&lOther);
  EXPECT_FALSE(lSecond.Start(lDir.filePath("stale"), &lError)); // a live simulator's link
  EXPECT_TRUE(lError.contains("in use"));
}

TEST(CorvaneSimTool, ServesAK40PUntilTerminatedAndRemovesItsLink) {
  const QString lTool = QCoreApplication::applicationDirPath() + "/../sim/corvane-sim";
  if (!QFile::exists(lTool)) GTEST_SKIP() << "corvane-sim not built";
  QTemporaryDir lDir;
  const QString lLink = lDir.filePath("sim-k40");
  QProcess lSim;
  lSim.start(lTool, {"--link", lLink, "--instrument", "k40p", "--log", lDir.filePath("k40.log")});
  ASSERT_TRUE(WaitFor([&] { return QFileInfo(lLink).isSymLink(); }, 10000))
      << lSim.readAllStandardError().toStdString();

  tIniFile lIni(lDir.filePath("Corvane.ini"));
  tPortMap lMap(lIni);
  lMap.SetEntry(9, lLink);
  TApdComPort lPort(&lMap);
  lPort.SetComNumber(9);
  lPort.SetBaud(9600);
  QByteArray lReceived;
  lPort.SetOnTriggerAvail([&](iComPort* pCP, quint16 pCount) {
    for (int i = 0; i < pCount; ++i)
      lReceived.append(char(pCP->ReadByte()));
  });
  lPort.SetOpen(true);
  // The K40 poll-mode command, as the family probe sends it.
  lPort.SendBytes(QByteArray("\x53\x4F\xFF\x5F\x0D", 5));
  ASSERT_TRUE(WaitFor([&] { return lReceived.size() >= 5; }, 3000));
  EXPECT_EQ(lReceived.toHex(' '), QByteArray("73 6f ff 1f 0d"));

  lSim.terminate();
  ASSERT_TRUE(lSim.waitForFinished(5000));
  EXPECT_EQ(lSim.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(lSim.exitCode(), 0);
  EXPECT_FALSE(QFileInfo(lLink).isSymLink());
  QFile lLog(lDir.filePath("k40.log"));
  ASSERT_TRUE(lLog.open(QIODevice::ReadOnly));
  EXPECT_TRUE(lLog.readAll().contains("RX 9600 53 4F FF 5F 0D"));
}
