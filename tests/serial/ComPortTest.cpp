#include "serial/ComPort.h"
#include "core/IniFile.h"
#include "serial/PortMap.h"

#include "PtyPeer.h"
#include "support/WaitFor.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A settings file in a fresh folder whose "Ports" section names the pseudo-terminal as COM9.
struct tLine {
  QTemporaryDir Dir;
  tIniFile Ini{Dir.filePath("Corvane.ini")};
  tPortMap Map{Ini};
  tPtyPeer Peer;
  tLine() {
    Map.SetDeviceLister([] { return QList<tPortMap::tSerialDevice>(); });
    Map.SetEntry(9, Peer.SlavePath());
  }
};

// Configures a port as the device frame does.
void Configure(TApdComPort& pPort, quint16 pComNr) {
  pPort.SetAutoOpen(false);
  pPort.SetComNumber(pComNr);
  pPort.SetBaud(9600);
  pPort.SetRTS(true);
  pPort.SetDTR(true);
}

struct tReceiver {
  QByteArray Bytes;
  QList<int> Counts;
  void Attach(iComPort& pPort) {
    pPort.SetOnTriggerAvail([this](iComPort* pCP, quint16 pCount) {
      Counts.append(pCount);
      for (int i = 0; i < pCount; ++i)
        Bytes.append(char(pCP->ReadByte()));
    });
  }
};
} // namespace

TEST(ComPort, RequestSequenceLeavesThePortInExactlyThisOrder) {
  tLine lLine;
  ASSERT_TRUE(lLine.Peer.Valid());
  TApdComPort lPort(&lLine.Map);
  Configure(lPort, 9);
  lPort.SetOpen(true); // modem lines refused by the pty: harmless
  ASSERT_TRUE(lPort.Open());
  for (int lRound = 0; lRound < 3; ++lRound) {
    lPort.ClearReceive();
    lPort.ClearTransmit();
    lPort.SendByte(0x55);
    lPort.SendBytes(QByteArray("MA\x01", 3));
    lPort.SendByte(0x9F);
    lPort.SendByte(0x0D);
    EXPECT_EQ(lLine.Peer.Read(6), QByteArray("\x55MA\x01\x9F\r", 6));
  }
  EXPECT_TRUE(lPort.Open());
}

// Every request would otherwise wait for the next pass of the event loop before it leaves.
TEST(ComPort, SentBytesLeaveForTheDeviceAtOnce) {
  tLine lLine;
  TApdComPort lPort(&lLine.Map);
  Configure(lPort, 9);
  lPort.SetOpen(true);
  for (const QByteArray& lRequest : {QByteArray("PZ\0\x56\r", 5), QByteArray("TWH\x3E\r", 5)}) {
    lPort.ClearReceive();
    lPort.ClearTransmit();
    lPort.SendBytes(lRequest);
    EXPECT_EQ(lLine.Peer.ReadWithoutEvents(lRequest.size()), lRequest);
  }
  // Nothing of them is written a second time from the loop.
  PumpFor(20);
  EXPECT_EQ(lLine.Peer.ReadNow(), QByteArray());
  EXPECT_TRUE(lPort.Open());
}

// A handler that raises must not leave the real port deaf: the error reaches the
// application's report from the event loop, and the next bytes are notified as before.
TEST(ComPort, AnErrorRaisedByTheHandlerIsReportedAndThePortKeepsNotifying) {
  tLine lLine;
  TApdComPort lPort(&lLine.Map);
  Configure(lPort, 9);
  QStringList lReported;
  SetErrorReport([&](const eError& pError) { lReported << pError.Message(); });
  QByteArray lBytes;
  int lCalls = 0;
  lPort.SetOnTriggerAvail([&](iComPort* pCP, quint16 pCount) {
    for (int i = 0; i < pCount; ++i)
      lBytes.append(char(pCP->ReadByte()));
    if (++lCalls == 1) throw eError(QStringLiteral("Checksumme fehlerhaft"));
  });
  lPort.SetOpen(true);
  lLine.Peer.Write("first");
  ASSERT_TRUE(WaitFor([&] { return lReported.size() == 1; }));
  EXPECT_EQ(lReported, QStringList{"Checksumme fehlerhaft"});
  lLine.Peer.Write("second");
  EXPECT_TRUE(WaitFor([&] { return lBytes.endsWith("second"); })) << lBytes.constData();
  EXPECT_EQ(lReported.size(), 1);
  SetErrorReport({});
}

TEST(ComPort, RepliesArriveAsNotificationsFromTheEventLoop) {
  tLine lLine;
  TApdComPort lPort(&lLine.Map);
  Configure(lPort, 9);
  tReceiver lReceiver;
  lReceiver.Attach(lPort);
  lPort.SetOpen(true);
  lLine.Peer.Write("PK\x12\x34\r");
  ASSERT_TRUE(WaitFor([&] { return lReceiver.Bytes.size() == 5; }));
  EXPECT_EQ(lReceiver.Bytes, QByteArray("PK\x12\x34\r"));
  int lTotal = 0;
  for (int lCount : lReceiver.Counts)
    lTotal += lCount;
  EXPECT_EQ(lTotal, 5);
}

TEST(ComPort, BytesAHandlerLeavesUnreadAreCountedAgain) {
  tLine lLine;
  TApdComPort lPort(&lLine.Map);
  Configure(lPort, 9);
  QList<int> lCounts;
  lPort.SetOnTriggerAvail([&](iComPort*, quint16 pCount) { lCounts.append(pCount); });
  lPort.SetOpen(true);
  lLine.Peer.Write("abc");
  ASSERT_TRUE(WaitFor([&] { return !lCounts.isEmpty(); }));
  lLine.Peer.Write("de");
  ASSERT_TRUE(WaitFor([&] { return !lCounts.isEmpty() && lCounts.last() == 5; }));
  EXPECT_EQ(lPort.ReadByte(), 'a');
  // A handler called with Count 0 reads nothing, and reading past the end is harmless.
  lPort.ClearReceive();
  EXPECT_EQ(lPort.ReadByte(), 0);
}

TEST(ComPort, BytesThatCameWhileClosedAreNoReply) {
  tLine lLine;
  lLine.Peer.Write("stale\r");
  TApdComPort lPort(&lLine.Map);
  Configure(lPort, 9);
  tReceiver lReceiver;
  lReceiver.Attach(lPort);
  lPort.SetOpen(true);
  lLine.Peer.Write("new\r");
  ASSERT_TRUE(WaitFor([&] { return lReceiver.Bytes.endsWith('\r'); }));
  PumpFor(20);
  EXPECT_EQ(lReceiver.Bytes, QByteArray("new\r"));
}

TEST(ComPort, ABaudSwitchOnTheOpenPortReachesThePeerForTheNextBytes) {
  tLine lLine;
  TApdComPort lPort(&lLine.Map);
  Configure(lPort, 9);
  lPort.SetOpen(true);
  EXPECT_EQ(lLine.Peer.Baud(), 9600);
  lPort.SendBytes("A\r");
  EXPECT_EQ(lLine.Peer.Read(2), QByteArray("A\r"));
  lPort.SetBaud(115200);
  EXPECT_TRUE(lPort.Open());
  ASSERT_TRUE(WaitFor([&] { return lLine.Peer.Baud() == 115200; }, 500));
  lPort.SendBytes("B\r");
  EXPECT_EQ(lLine.Peer.Read(2), QByteArray("B\r"));
  lPort.SetBaud(9600);
  EXPECT_TRUE(WaitFor([&] { return lLine.Peer.Baud() == 9600; }, 500));
}

TEST(ComPort, OpeningErrorsAreToldApart) {
  tLine lLine;
  QFile lPlain(lLine.Dir.filePath("plain-file"));
  ASSERT_TRUE(lPlain.open(QIODevice::WriteOnly));
  lPlain.close();
  ASSERT_TRUE(QFile::link(lLine.Peer.SlavePath(), lLine.Dir.filePath("sim-link")));
  lLine.Map.SetEntry(2, lLine.Dir.filePath("missing"));
  lLine.Map.SetEntry(3, lLine.Dir.filePath("plain-file"));
  lLine.Map.SetEntry(4, lLine.Dir.filePath("sim-link"));

  struct tCase {
    quint16 ComNr;
    const char* What;
    const char* ClassName;
  };
  TApdComPort lHolder(&lLine.Map);
  Configure(lHolder, 9);
  lHolder.SetOpen(true);
  const tCase lCases[] = {
      {1, "no entry", "EBadId"},
      {2, "path does not exist", "EBadId"},
      {3, "not a device", "EBadId"},
      {9, "same path opened twice", "EAlreadyOpen"},
      {4, "a link to a held device", "EAlreadyOpen"},
  };
  for (const tCase& lCase : lCases) {
    SCOPED_TRACE(lCase.What);
    TApdComPort lPort(&lLine.Map);
    Configure(lPort, lCase.ComNr);
    try {
      lPort.SetOpen(true);
      ADD_FAILURE() << "opened";
    } catch (const eError& e) {
      EXPECT_EQ(e.ClassName(), lCase.ClassName) << e.Message().toStdString();
    }
    EXPECT_FALSE(lPort.Open());
  }
  // Once released, the device opens again, under either name.
  lHolder.SetOpen(false);
  TApdComPort lAgain(&lLine.Map);
  Configure(lAgain, 4);
  EXPECT_NO_THROW(lAgain.SetOpen(true));
  EXPECT_THROW(lAgain.SetComNumber(65536), eRangeError);
}

TEST(ComPort, AVanishedDeviceClosesThePortAndIsReportedOnce) {
  tLine lLine;
  TApdComPort lPort(&lLine.Map);
  Configure(lPort, 9);
  int lLost = 0;
  lPort.OnLineLost = [&](iComPort*, const QString&) { ++lLost; };
  tReceiver lReceiver;
  lReceiver.Attach(lPort);
  lPort.SetOpen(true);
  lLine.Peer.Close();
  ASSERT_TRUE(WaitFor([&] { return !lPort.Open(); }));
  PumpFor(150); // the flood of read errors would come now
  EXPECT_EQ(lLost, 1);
  lPort.SendBytes("after\r"); // dropped, no error
  lPort.SetOpen(false);
  EXPECT_THROW(lPort.SetOpen(true), EBadId); // the pty is gone with its master
}

// The request goes to the device at once; a device that has just gone is still reported
// once, from the event loop and not from inside the send.
TEST(ComPort, ARequestToADeviceThatJustVanishedIsReportedOnceFromTheLoop) {
  tLine lLine;
  TApdComPort lPort(&lLine.Map);
  Configure(lPort, 9);
  int lLost = 0;
  lPort.OnLineLost = [&](iComPort*, const QString&) { ++lLost; };
  lPort.SetOpen(true);
  lLine.Peer.Close();
  EXPECT_NO_THROW(lPort.SendBytes(QByteArray("PZ\0\x56\r", 5)));
  EXPECT_EQ(lLost, 0);
  ASSERT_TRUE(WaitFor([&] { return !lPort.Open(); }));
  PumpFor(150);
  EXPECT_EQ(lLost, 1);
}

TEST(ComPort, AHandlerMayReleaseItsPort) {
  tLine lLine;
  auto* lPort = new TApdComPort(&lLine.Map);
  Configure(*lPort, 9);
  bool lCalled = false;
  lPort->SetOnTriggerAvail([&](iComPort* pCP, quint16) {
    lCalled = true;
    pCP->SetOpen(false);
    delete pCP;
  });
  lPort->SetOpen(true);
  lLine.Peer.Write("x");
  ASSERT_TRUE(WaitFor([&] { return lCalled; }));
  PumpFor(10);
  TApdComPort lNext(&lLine.Map);
  Configure(lNext, 9);
  EXPECT_NO_THROW(lNext.SetOpen(true));
}

TEST(ComPort, ResolvesThroughTheApplicationMapWithoutOneOfItsOwn) {
  tLine lLine;
  TApdComPort lPort;
  Configure(lPort, 9);
  EXPECT_THROW(lPort.SetOpen(true), EBadId);
  tPortMap::SetApplicationMap(&lLine.Map);
  EXPECT_NO_THROW(lPort.SetOpen(true));
  EXPECT_EQ(lPort.DevicePath(), lLine.Peer.SlavePath());
  tPortMap::SetApplicationMap(nullptr);
  auto lMade = lLine.Map.ComPortFactory()();
  lMade->SetComNumber(9);
  lPort.SetOpen(false);
  EXPECT_NO_THROW(lMade->SetOpen(true));
}

namespace {
// Opens COM9 on pPath and returns the error, with an empty class name when it opened.
std::pair<QString, QString> OpenError(const QString& pPath) {
  QTemporaryDir lDir;
  tIniFile lIni(lDir.filePath("Corvane.ini"));
  tPortMap lMap(lIni);
  lMap.SetEntry(9, pPath);
  TApdComPort lPort(&lMap);
  lPort.SetComNumber(9);
  try {
    lPort.SetOpen(true);
  } catch (const eError& e) {
    return {e.ClassName(), e.Message()};
  }
  return {};
}
} // namespace

// Run by the test below as an unprivileged user: root would be let in.
TEST(ComPortPermission, ChildSideOfTheDeniedOpen) {
  const QString lPath = qEnvironmentVariable("CORVANE_DENIED_DEVICE");
  if (lPath.isEmpty()) GTEST_SKIP() << "started by PermissionDeniedIsAnOtherErrorSayingWhatToDo";
  const auto [lClass, lText] = OpenError(lPath);
  EXPECT_EQ(lClass, "ENoPermission");
  EXPECT_TRUE(lText.contains("\"dialout\"")) << lText.toStdString();
  EXPECT_TRUE(lText.contains("usermod -a -G dialout")) << lText.toStdString();
  // The Ports dialog tells the same from the device's own group.
  const tPortMap::tAccess lAccess = tPortMap::Access(lPath);
  EXPECT_FALSE(lAccess.Allowed);
  EXPECT_EQ(lAccess.Group, "dialout");
  EXPECT_FALSE(lAccess.InGroup);
}

TEST(ComPortPermission, PermissionDeniedIsAnOtherErrorSayingWhatToDo) {
  tPtyPeer lPeer;
  const QByteArray lNative = QFile::encodeName(lPeer.SlavePath());
  if (geteuid() != 0) {
    // The owner without rights: not "already open", and the text names the device.
    ASSERT_EQ(chmod(lNative.constData(), 0), 0);
    const auto [lClass, lText] = OpenError(lPeer.SlavePath());
    EXPECT_EQ(lClass, "ENoPermission");
    EXPECT_TRUE(lText.contains(lPeer.SlavePath())) << lText.toStdString();
    return;
  }
  // As root, a device of group dialout is opened by an unprivileged child outside that group.
  const struct group* lDialout = getgrnam("dialout");
  if (!lDialout || access("/usr/bin/setpriv", X_OK) != 0)
    GTEST_SKIP() << "needs the dialout group and setpriv";
  ASSERT_EQ(chown(lNative.constData(), 0, lDialout->gr_gid), 0);
  ASSERT_EQ(chmod(lNative.constData(), 0660), 0);
  QProcess lChild;
  QProcessEnvironment lEnv = QProcessEnvironment::systemEnvironment();
  lEnv.insert("CORVANE_DENIED_DEVICE", lPeer.SlavePath());
  lChild.setProcessEnvironment(lEnv);
  lChild.start("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "--",
                                    QCoreApplication::applicationFilePath(),
                                    "--gtest_filter=ComPortPermission.ChildSideOfTheDeniedOpen"});
  ASSERT_TRUE(lChild.waitForFinished(60000));
  const QByteArray lOutput = lChild.readAllStandardOutput() + lChild.readAllStandardError();
  if (lOutput.contains("Permission denied") && !lOutput.contains("[ RUN"))
    GTEST_SKIP() << "the test program is not executable for an unprivileged user";
  EXPECT_EQ(lChild.exitCode(), 0) << lOutput.toStdString();
  EXPECT_TRUE(lOutput.contains("[  PASSED  ] 1 test")) << lOutput.toStdString();
}
