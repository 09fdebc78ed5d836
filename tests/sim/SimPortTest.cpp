#include "sim/SimPort.h"
#include "sim/SimScripted.h"

#include "support/WaitFor.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
const QByteArray kRequest("ABC\x42\r", 5);
const QByteArray kReply("ok12\x77\r", 6);

struct tReceiver {
  QByteArray Bytes;
  QList<int> Counts;
  void Attach(iComPort& pPort) {
    pPort.SetOnTriggerAvail([this](iComPort* pCP, quint16 pCount) {
      Counts.append(pCount);
      for (int i = 0; i < pCount; ++i)
        Bytes.append(static_cast<char>(pCP->ReadByte()));
    });
  }
};

void OpenAt(tSimPort& pPort, int pBaud, bool pPaced) {
  tSimFaults lFaults;
  lFaults.PaceAtBaud = pPaced;
  pPort.SetFaults(lFaults);
  pPort.SetComNumber(7);
  pPort.SetBaud(pBaud);
  pPort.SetOpen(true);
}
} // namespace

TEST(SimPort, DeliversNothingInsideSendBytesOnlyThroughTheEventLoop) {
  tSimScripted lInstrument;
  lInstrument.SetReply(kRequest, kReply);
  tSimPort lPort(&lInstrument);
  tReceiver lReceiver;
  lReceiver.Attach(lPort);
  OpenAt(lPort, 9600, false);

  lPort.SendBytes(kRequest);
  EXPECT_TRUE(lInstrument.Requests().isEmpty());
  EXPECT_TRUE(lReceiver.Counts.isEmpty());

  ASSERT_TRUE(WaitFor([&] { return lReceiver.Bytes.size() == kReply.size(); }));
  EXPECT_EQ(lReceiver.Bytes, kReply);
  EXPECT_EQ(lInstrument.Requests(), QList<QByteArray>{kRequest});
}

TEST(SimPort, PacesBothDirectionsAtTenBitTimesPerByte) {
  tSimScripted lInstrument;
  lInstrument.SetReply(kRequest, kReply);
  tSimPort lPort(&lInstrument);
  tReceiver lReceiver;
  lReceiver.Attach(lPort);
  OpenAt(lPort, 1200, true); // 8.33 ms per byte, far above timer granularity

  QElapsedTimer lClock;
  lClock.start();
  lPort.SendBytes(kRequest);
  ASSERT_TRUE(WaitFor([&] { return lReceiver.Bytes.size() == kReply.size(); }));
  // 11 bytes on the line in all; each direction may end half a millisecond early.
  EXPECT_GE(lClock.nsecsElapsed(), 11 * 10'000'000'000LL / 1200 - 1'000'000);
  EXPECT_EQ(lReceiver.Bytes, kReply);
}

// Coarse timers hand bytes over early or late; the line must still run at exactly its rate
// plus the time the program takes to answer: neither hide that time (bytes handed over early)
// nor add the timers' lateness to it, or the simulated link would not show what the program
// costs.
TEST(SimPort, ALinkRunsAtItsRatePlusTheProgramsOwnTimeHoweverTheTimersHandOverTheBytes) {
  tSimScripted lInstrument;
  lInstrument.SetReply(kRequest, kReply);
  tSimPort lPort(&lInstrument);
  constexpr int cExchanges = 100;
  constexpr qint64 cAnswerNs = 300'000;
  int lReplies = 0;
  int lReceived = 0;
  qint64 lAnswering = 0;
  lPort.SetOnTriggerAvail([&](iComPort* pCP, quint16 pCount) {
    QElapsedTimer lWork;
    lWork.start();
    for (int i = 0; i < pCount; ++i)
      pCP->ReadByte();
    lReceived += pCount;
    if (lReceived < kReply.size()) return;
    lReceived = 0;
    if (++lReplies == cExchanges) return;
    // A program that takes a while over each reply, less than the early hand-over.
    while (lWork.nsecsElapsed() < cAnswerNs)
      QThread::usleep(50);
    pCP->SendBytes(kRequest);
    lAnswering += lWork.nsecsElapsed();
  });
  OpenAt(lPort, 115200, true);
  QElapsedTimer lClock;
  lClock.start();
  lPort.SendBytes(kRequest);
  ASSERT_TRUE(WaitFor([&] { return lReplies == cExchanges; }));
  const qint64 lElapsed = lClock.nsecsElapsed();
  const qint64 lLineNs = cExchanges * (kRequest.size() + kReply.size()) * 10'000'000'000LL / 115200;
  // The last reply may come a millisecond early or late; handing a reply to the program and
  // its request to the instrument take a few microseconds each.
  EXPECT_GE(lElapsed, lLineNs + lAnswering - 1'000'000);
  EXPECT_LE(lElapsed, lLineNs + lAnswering + 1'000'000 + cExchanges * 20'000);
}

// The protocol layers clear the transmit side before every request. A loop held up once
// hands one reply over late; the line's clock must not jump to the wall clock's with the
// next request, or a late timer would cost the program the whole delay.
TEST(SimPort, ClearingTheTransmitSideKeepsTheLinesClockWhenAReplyIsHandedOverLate) {
  tSimScripted lInstrument;
  lInstrument.SetReply(kRequest, kReply);
  tSimPort lPort(&lInstrument);
  constexpr int cExchanges = 100;
  constexpr int cHeldUpMs = 20;
  int lReplies = 0;
  int lReceived = 0;
  lPort.SetOnTriggerAvail([&](iComPort* pCP, quint16 pCount) {
    for (int i = 0; i < pCount; ++i)
      pCP->ReadByte();
    lReceived += pCount;
    if (lReceived < kReply.size()) return;
    lReceived = 0;
    if (++lReplies == cExchanges) return;
    pCP->ClearReceive();
    pCP->ClearTransmit();
    pCP->SendBytes(kRequest);
    // Something else on the thread keeps the loop busy once, while this reply is on the line.
    if (lReplies == 10) QTimer::singleShot(0, [] { QThread::msleep(cHeldUpMs); });
  });
  OpenAt(lPort, 115200, true);
  QElapsedTimer lClock;
  lClock.start();
  lPort.SendBytes(kRequest);
  ASSERT_TRUE(WaitFor([&] { return lReplies == cExchanges; }));
  const qint64 lElapsed = lClock.nsecsElapsed();
  const qint64 lLineNs = cExchanges * (kRequest.size() + kReply.size()) * 10'000'000'000LL / 115200;
  // The line catches up after the hold-up; a few microseconds per exchange are the handlers'.
  EXPECT_LE(lElapsed, lLineNs + 1'000'000 + cExchanges * 20'000);
}

TEST(SimPort, ClearTransmitDropsBytesStillWaitingForTheLine) {
  tSimScripted lInstrument;
  lInstrument.SetEcho(true);
  tSimPort lPort(&lInstrument);
  OpenAt(lPort, 1200, true);
  lPort.SendBytes("XYZ\r");
  lPort.ClearTransmit();
  lPort.SendBytes("Q\r");
  ASSERT_TRUE(WaitFor([&] { return lPort.SentLog().size() >= 2; }));
  PumpFor(30);
  EXPECT_EQ(lPort.SentLog(), QByteArray("Q\r"));
}

TEST(SimPort, KeepsTheRequestSequenceInOrder) {
  tSimScripted lInstrument;
  tSimPort lPort(&lInstrument);
  OpenAt(lPort, 9600, true);
  lPort.ClearReceive();
  lPort.ClearTransmit();
  lPort.SendByte(0x55);
  lPort.SendBytes("SRH");
  lPort.SendByte(0xA3);
  lPort.SendByte(0x0D);
  ASSERT_TRUE(WaitFor([&] { return lPort.SentLog().size() == 6; }));
  EXPECT_EQ(lPort.SentLog(), QByteArray("\x55SRH\xA3\r"));
}

TEST(SimPort, AppliesLineFaultsToEveryReply) {
  struct tCase {
    const char* Name;
    void (*Set)(tSimFaults&);
    QByteArray Expected;
  };
  const tCase lCases[] = {
      {"none", [](tSimFaults&) {}, kReply},
      {"stray leading byte", [](tSimFaults& f) { f.StrayLeadingByte = true; },
       QByteArray(1, '\0') + kReply},
      {"extra trailing byte", [](tSimFaults& f) { f.ExtraTrailingByte = true; },
       kReply + QByteArray(1, '\0')},
      {"corrupt checksum", [](tSimFaults& f) { f.CorruptChecksum = true; },
       QByteArray("ok12\x88\r", 6)},
      {"silent", [](tSimFaults& f) { f.Silent = true; }, QByteArray()},
  };
  for (const tCase& lCase : lCases) {
    SCOPED_TRACE(lCase.Name);
    tSimScripted lInstrument;
    lInstrument.SetReply(kRequest, kReply);
    tSimPort lPort(&lInstrument);
    tReceiver lReceiver;
    lReceiver.Attach(lPort);
    OpenAt(lPort, 115200, true);
    tSimFaults lFaults = lPort.Faults();
    lCase.Set(lFaults);
    lPort.SetFaults(lFaults);
    lPort.SendBytes(kRequest);
    ASSERT_TRUE(WaitFor([&] { return !lInstrument.Requests().isEmpty(); }));
    WaitFor([&] { return lReceiver.Bytes.size() >= lCase.Expected.size() + 1; }, 50);
    EXPECT_EQ(lReceiver.Bytes, lCase.Expected);
  }
}

TEST(SimPort, ReplyDelayHoldsBackTheFirstByte) {
  tSimScripted lInstrument;
  lInstrument.SetReply(kRequest, kReply);
  tSimPort lPort(&lInstrument);
  tReceiver lReceiver;
  lReceiver.Attach(lPort);
  OpenAt(lPort, 115200, false);
  tSimFaults lFaults = lPort.Faults();
  lFaults.ReplyDelayMs = 80;
  lPort.SetFaults(lFaults);
  QElapsedTimer lClock;
  lClock.start();
  lPort.SendBytes(kRequest);
  ASSERT_TRUE(WaitFor([&] { return !lReceiver.Bytes.isEmpty(); }));
  EXPECT_GE(lClock.elapsed(), 80);
}

TEST(SimPort, BytesKeepTheRateTheyWereSentAtAndTheNewRateIsToldAfter) {
  tSimScripted lInstrument;
  lInstrument.SetOwnBaud(115200);
  lInstrument.SetReply(kRequest, kReply);
  tSimPort lPort(&lInstrument);
  tReceiver lReceiver;
  lReceiver.Attach(lPort);
  OpenAt(lPort, 9600, true);
  lPort.SendBytes(kRequest); // heard as noise: wrong rate
  lPort.SetBaud(115200);
  lPort.SendBytes(kRequest);
  ASSERT_TRUE(WaitFor([&] { return lReceiver.Bytes.size() == kReply.size(); }));
  PumpFor(20);
  EXPECT_EQ(lReceiver.Bytes, kReply);
  EXPECT_EQ(lInstrument.Requests().size(), 1);
  EXPECT_EQ(lInstrument.BaudChanges(), (QList<int>{9600, 115200}));
}

TEST(SimPort, BytesLeftUnreadAreCountedAgainWithTheNextArrival) {
  tSimScripted lInstrument;
  tSimPort lPort(&lInstrument);
  QList<int> lCounts;
  lPort.SetOnTriggerAvail([&](iComPort*, quint16 pCount) { lCounts.append(pCount); });
  OpenAt(lPort, 9600, false);
  lInstrument.Emit("abc");
  ASSERT_TRUE(WaitFor([&] { return lCounts.size() == 1; }));
  lInstrument.Emit("de");
  ASSERT_TRUE(WaitFor([&] { return lCounts.size() == 2; }));
  EXPECT_EQ(lCounts, (QList<int>{3, 5}));
  EXPECT_EQ(lPort.ReadByte(), 'a');
}

TEST(SimPort, ACountZeroNotificationComesFromTheEventLoopAndReadsNothing) {
  tSimScripted lInstrument;
  tSimPort lPort(&lInstrument);
  tReceiver lReceiver;
  lReceiver.Attach(lPort);
  OpenAt(lPort, 9600, false);
  lPort.RaiseTriggerAvail();
  EXPECT_TRUE(lReceiver.Counts.isEmpty());
  ASSERT_TRUE(WaitFor([&] { return !lReceiver.Counts.isEmpty(); }));
  EXPECT_EQ(lReceiver.Counts, QList<int>{0});
  EXPECT_TRUE(lReceiver.Bytes.isEmpty());
  EXPECT_EQ(lPort.ReadByte(), 0); // reading past the end is harmless
}

TEST(SimPort, OpeningFailsLikeARealPort) {
  tSimScripted lInstrument;
  {
    tSimPort lNowhere(nullptr);
    EXPECT_THROW(lNowhere.SetOpen(true), EBadId);
  }
  tSimPort lFirst(&lInstrument);
  tSimPort lSecond(&lInstrument);
  lFirst.SetOpen(true);
  EXPECT_THROW(lSecond.SetOpen(true), EAlreadyOpen);
  EXPECT_FALSE(lSecond.Open());
  lFirst.SetOpen(false);
  EXPECT_NO_THROW(lSecond.SetOpen(true));
  EXPECT_THROW(lSecond.SetComNumber(65536), eRangeError);
  EXPECT_NO_THROW(lSecond.SetComNumber(65535));
}

TEST(SimPort, VanishClosesOnceAndLaterOpeningsFail) {
  tSimScripted lInstrument;
  lInstrument.SetEcho(true);
  tSimPort lPort(&lInstrument);
  int lLost = 0;
  lPort.OnLineLost = [&](iComPort*, const QString&) { ++lLost; };
  tReceiver lReceiver;
  lReceiver.Attach(lPort);
  OpenAt(lPort, 9600, true);
  lPort.SendBytes("hello\r");
  lPort.Vanish();
  EXPECT_FALSE(lPort.Open());
  lPort.SendBytes("more\r"); // harmless on a pulled port
  PumpFor(30);
  EXPECT_EQ(lLost, 1);
  EXPECT_TRUE(lReceiver.Bytes.isEmpty());
  EXPECT_TRUE(lInstrument.Requests().isEmpty());
  EXPECT_THROW(lPort.SetOpen(true), EBadId);
  lPort.Restore();
  EXPECT_NO_THROW(lPort.SetOpen(true));
}

TEST(SimPort, AHandlerMayDeleteItsPort) {
  tSimScripted lInstrument;
  lInstrument.SetEcho(true);
  auto* lPort = new tSimPort(&lInstrument);
  bool lCalled = false;
  lPort->SetOnTriggerAvail([&](iComPort* pCP, quint16) {
    lCalled = true;
    delete static_cast<tSimPort*>(pCP);
  });
  OpenAt(*lPort, 9600, false);
  lPort->SendBytes("x\r");
  ASSERT_TRUE(WaitFor([&] { return lCalled; }));
  PumpFor(10);
  // The instrument is free for the next connection.
  tSimPort lNext(&lInstrument);
  EXPECT_NO_THROW(lNext.SetOpen(true));
}

TEST(SimPort, FactoryMakesANewPortPerAttemptWithTheFaults) {
  tSimScripted lInstrument;
  tSimFaults lFaults;
  lFaults.Silent = true;
  tSimPortFactory lFactory(&lInstrument, lFaults);
  tComPortFactory lMake = lFactory.Factory();
  auto lOne = lMake();
  auto lTwo = lMake();
  EXPECT_NE(lOne.get(), lTwo.get());
  EXPECT_EQ(lFactory.Created(), 2);
  EXPECT_EQ(lFactory.Last(), lTwo.get());
  EXPECT_TRUE(lFactory.Last()->Faults().Silent);
  EXPECT_FALSE(lTwo->Open());
}
