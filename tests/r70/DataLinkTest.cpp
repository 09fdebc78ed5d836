// The R70 data link against the simulated instrument: framing, the exact-length rule, the
// start and checksum tests, the reset request, and ownership of the port.
#include "protocol/r70/DMU_R70DataLinkRS232.h"

#include "R70TestSupport.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace r70test;

namespace {

QString TransferError(iR70_DataLink& pLink, const QByteArray& pRequest, const QByteArray& pStart,
                      qint32 pLength) {
  QByteArray reply;
  try {
    pLink.Transfer(pRequest, pStart, reply, pLength);
  } catch (const eDataLink_R70& e) {
    return e.Message();
  }
  return QString();
}

} // namespace

TEST(R70DataLink, FrameOnTheWireWithAndWithoutTheAutoBaudByte) {
  for (bool autoBaud : {true, false}) {
    tR70Bench bench;
    bench.Sim.SetAccuracyByte(20);
    tDMU_R70DataLinkRS232 link(bench.Take(), autoBaud);
    bench.Port->ClearSentLog();
    QByteArray reply;
    link.Transfer(B({'G', 'K', 0x00}), B({0x06, 0x00}), reply, 1);
    EXPECT_EQ(reply, B({20}));
    const QByteArray frame = B({0x47, 0x4B, 0x00, 0x6E, 0x0D});
    EXPECT_EQ(bench.Port->SentLog(), autoBaud ? B({0x55}) + frame : frame);
  }
}

TEST(R70DataLink, AnInstrumentThatNeedsTheAutoBaudByteAnswersOnlyALinkThatSendsIt) {
  tR70Bench bench(tSimR70::tModel::R7x, 9600, true);
  tDMU_R70DataLinkRS232 link(bench.Take(), false);
  EXPECT_EQ(TransferError(link, B({'G', 'K', 0x00}), B({0x06, 0x00}), 1), "Timeout!");
}

TEST(R70DataLink, ReplyIsCheckedForLengthStartAndChecksum) {
  struct tCase {
    const char* Name;
    std::function<void(tSimFaults&)> Faults;
    QByteArray ExpectedStart;
    QString Error;
  } cases[] = {
      {"good reply", [](tSimFaults&) {}, B({0x1C, 0x0A}), ""},
      // Reply and extra byte arrive in one read: the length no longer matches exactly.
      {"extra byte in the same read", [](tSimFaults& f) { f.ExtraTrailingByte = true; },
       B({0x1C, 0x0A}), "Timeout!"},
      {"stray leading byte", [](tSimFaults& f) { f.StrayLeadingByte = true; }, B({0x1C, 0x0A}),
       "Timeout!"},
      {"complete reply with a wrong start", [](tSimFaults&) {}, B({0x1C, 0x0B}), "Timeout!"},
      {"wrong checksum", [](tSimFaults& f) { f.CorruptChecksum = true; }, B({0x1C, 0x0A}),
       "Checksumme fehlerhaft"},
      {"silence", [](tSimFaults& f) { f.Silent = true; }, B({0x1C, 0x0A}), "Timeout!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    tR70Bench bench;
    bench.Sim.SetEeprom(10, 0x42);
    bench.SetFaults(c.Faults);
    tDMU_R70DataLinkRS232 link(bench.Take(), false);
    QByteArray reply;
    QString error;
    try {
      link.Transfer(B({'E', 'R', 0x0A}), c.ExpectedStart, reply, 1);
    } catch (const eDataLink_R70& e) {
      error = e.Message();
    }
    EXPECT_EQ(error, c.Error);
    if (c.Error.isEmpty()) {
      EXPECT_EQ(reply, B({0x42}));
    }
  }
}

TEST(R70DataLink, ExtraByteArrivingAfterTheCompleteReplyIsNotSeen) {
  // At the line's pace the reply is complete one byte time before the extra byte arrives;
  // a slow line makes that byte time (17 ms) long enough to be seen on a busy machine.
  tR70Bench bench(tSimR70::tModel::R7x, 600, false, true);
  bench.Sim.SetEeprom(10, 0x42);
  bench.SetFaults([](tSimFaults& f) { f.ExtraTrailingByte = true; });
  tDMU_R70DataLinkRS232 link(bench.Take(), false);
  QByteArray reply;
  link.Transfer(B({'E', 'R', 0x0A}), B({0x1C, 0x0A}), reply, 1);
  EXPECT_EQ(reply, B({0x42}));
}

TEST(R70DataLink, MissingReplyTimesOutAfterHalfASecond) {
  tR70Bench bench;
  bench.SetFaults([](tSimFaults& f) { f.Silent = true; });
  tDMU_R70DataLinkRS232 link(bench.Take(), false);
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(TransferError(link, B({'G', 'K', 0x00}), B({0x06, 0x00}), 1), "Timeout!");
  EXPECT_GE(clock.elapsed(), 495);
  EXPECT_LT(clock.elapsed(), 1500);
}

TEST(R70DataLink, ResetRequestIsSentWithoutWaitingForAReply) {
  tR70Bench bench;
  tDMU_R70DataLinkRS232 link(bench.Take(), false);
  QElapsedTimer clock;
  clock.start();
  QByteArray reply = "junk";
  link.Transfer(B({'R', 'S', 0x00}), QByteArray(), reply, -2);
  EXPECT_TRUE(reply.isEmpty());
  EXPECT_LT(clock.elapsed(), 100);
  EXPECT_TRUE(WaitUntil([&] { return bench.Sim.ResetCount() == 1; }));
}

TEST(R70DataLink, ZeroDataBytesAcceptExactlyStartChecksumAndTerminator) {
  tR70Bench bench;
  tDMU_R70DataLinkRS232 link(bench.Take(), false);
  QByteArray reply = "junk";
  link.Transfer(B({'R', 'N', 0x88}), "RN", reply, 0);
  EXPECT_TRUE(reply.isEmpty());
}

TEST(R70DataLink, SetIpIsRefusedAndTheUnusedMembersAnswerZero) {
  tR70Bench bench;
  tDMU_R70DataLinkRS232 link(bench.Take(), false);
  try {
    link.SetIp(0x7F000001);
    FAIL() << "SetIp accepted";
  } catch (const eDataLink_R70& e) {
    EXPECT_EQ(e.Message(), QString::fromUtf8("SetIp Adress über RS232 nicht implementiert"));
  }
  EXPECT_EQ(link.Reserved(), 0);
  EXPECT_EQ(link.Reserved(5u), 0);
}

TEST(R70DataLink, ReleasingTheLinkClosesAndReleasesThePortOnce) {
  tR70Bench bench;
  auto counts = bench.Counts;
  {
    tDMU_R70DataLinkRS232 link(bench.Take(), false);
    EXPECT_EQ(counts->Destroyed, 0);
  }
  EXPECT_EQ(counts->Closed, 1);
  EXPECT_EQ(counts->Destroyed, 1);
}

TEST(R70DataLink, LateReplyOfAnAbandonedTransferDoesNotSpoilTheNextOne) {
  tR70Bench bench;
  bench.Sim.SetEeprom(10, 0x42);
  bench.Sim.SetEeprom(11, 0x43);
  bench.SetFaults([](tSimFaults& f) { f.ReplyDelayMs = 600; });
  tDMU_R70DataLinkRS232 link(bench.Take(), false);
  EXPECT_EQ(TransferError(link, B({'E', 'R', 0x0A}), B({0x1C, 0x0A}), 1), "Timeout!");
  bench.SetFaults([](tSimFaults& f) { f.ReplyDelayMs = 0; });
  PumpMs(150); // the late reply lands between the transfers
  QByteArray reply;
  link.Transfer(B({'E', 'R', 0x0B}), B({0x1C, 0x0B}), reply, 1);
  EXPECT_EQ(reply, B({0x43}));
}
