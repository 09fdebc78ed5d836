// How the traffic log cuts the line into frames, and how much of it the ring keeps.
#include "TrafficTestSupport.h"

using namespace traffictest;

namespace {

struct tLogRig {
  tLogRig() {
    Log.Opened(9600);
    tTrafficContext lContext;
    lContext.Family = tfK40;
    lContext.ReplyWindowMs = 200;
    Log.SetContext(lContext);
  }
  void Send(const QByteArray& pBytes) {
    Log.Boundary();
    Log.Sent(pBytes.constData(), pBytes.size(), 9600);
  }
  void Receive(const QByteArray& pBytes) { Log.Received(pBytes.constData(), pBytes.size(), 9600); }
  // Kind, flags and bytes of every frame after the opening, as "TX 50 5A 00 …" lines.
  QStringList Frames() const {
    QStringList lFrames;
    for (std::uint64_t s = Log.FirstSeq(); s < Log.EndSeq(); ++s) {
      const tTrafficRecord& r = Log.Record(s);
      if (r.Kind == tkOpened) continue;
      QString lLine = r.Kind == tkSent ? "TX" : r.Kind == tkReceived ? "RX" : "--";
      if (r.Flags & tgOutside) lLine += " outside";
      if (r.Flags & tgAfterGap) lLine += " gap";
      lLine += " " + QString::fromLatin1(Log.Bytes(s).toHex(' ').toUpper());
      lFrames << lLine.trimmed();
    }
    return lFrames;
  }
  tTrafficLog Log;
};

const QByteArray cPressure = QByteArray::fromHex("505A00160D");
const QByteArray cReply = QByteArray::fromHex("50000080400F0D");

} // namespace

TEST(TrafficLog, cuts_requests_replies_and_bytes_outside_any_exchange_into_frames) {
  struct tStep {
    char Action; // s: send, S: send without a clearing before, r: receive, w: wait 70 ms
    QByteArray Bytes;
  };
  struct tCase {
    const char* Name;
    std::vector<tStep> Steps;
    QStringList Expected;
  };
  const std::vector<tCase> lCases = {
      {"reply in two pieces is one frame",
       {{'s', cPressure}, {'r', cReply.left(3)}, {'r', cReply.mid(3)}},
       {"TX 50 5A 00 16 0D", "RX 50 00 00 80 40 0F 0D"}},
      {"bytes before any request are outside",
       {{'r', "k"}, {'s', cPressure}, {'r', cReply}},
       {"RX outside 6B", "TX 50 5A 00 16 0D", "RX 50 00 00 80 40 0F 0D"}},
      {"an auto-baud byte sent on its own belongs to its request",
       {{'s', QByteArray(1, 0x55)}, {'S', cPressure}},
       {"TX 55 50 5A 00 16 0D"}},
      {"two requests without a reply are two frames",
       {{'s', cPressure}, {'s', cPressure}},
       {"TX 50 5A 00 16 0D", "TX 50 5A 00 16 0D"}},
      {"bytes after a pause in a reply are outside it",
       {{'s', cPressure}, {'r', cReply.left(3)}, {'w', {}}, {'r', cReply.mid(3)}},
       {"TX 50 5A 00 16 0D", "RX 50 00 00", "RX outside gap 80 40 0F 0D"}},
      {"the next request ends a reply",
       {{'s', cPressure}, {'r', cReply}, {'s', cPressure}, {'r', cReply}},
       {"TX 50 5A 00 16 0D", "RX 50 00 00 80 40 0F 0D", "TX 50 5A 00 16 0D",
        "RX 50 00 00 80 40 0F 0D"}},
  };
  for (const tCase& c : lCases) {
    SCOPED_TRACE(c.Name);
    tLogRig lRig;
    for (const tStep& lStep : c.Steps) {
      switch (lStep.Action) {
      case 's':
        lRig.Send(lStep.Bytes);
        break;
      case 'S':
        lRig.Log.Sent(lStep.Bytes.constData(), lStep.Bytes.size(), 9600);
        break;
      case 'r':
        lRig.Receive(lStep.Bytes);
        break;
      case 'w':
        PumpFor(int(tTrafficLog::cGapMs) + 20);
        break;
      }
    }
    EXPECT_EQ(lRig.Frames(), c.Expected);
  }
}

TEST(TrafficLog, bytes_after_the_reply_window_are_outside_any_exchange) {
  tLogRig lRig;
  tTrafficContext lContext;
  lContext.Family = tfR70;
  lContext.ReplyWindowMs = 30;
  lRig.Log.SetContext(lContext);
  lRig.Send(cPressure);
  PumpFor(60);
  lRig.Receive(cReply);
  EXPECT_EQ(lRig.Frames(), QStringList({"TX 50 5A 00 16 0D", "RX outside 50 00 00 80 40 0F 0D"}));
}

TEST(TrafficLog, frames_carry_their_context_and_time_since_the_port_was_opened) {
  tTrafficLog lLog;
  lLog.Opened(9600);
  tTrafficContext lProbe;
  lProbe.Family = tfR70;
  lProbe.Try = 2;
  lProbe.Cycle = 1;
  lLog.SetContext(lProbe);
  PumpFor(30);
  lLog.Sent("SO", 2, 9600);
  lLog.Closed(false);
  lLog.Opened(115200);
  lLog.Sent("MA", 2, 115200);

  ASSERT_EQ(lLog.EndSeq() - lLog.FirstSeq(), 5u);
  const tTrafficRecord& lProbeFrame = lLog.Record(1);
  EXPECT_EQ(lLog.Segment(lProbeFrame.Segment).Context, lProbe);
  const tTrafficSegment& lFirstOpening = lLog.Segment(lProbeFrame.Segment);
  EXPECT_GE(lProbeFrame.TimeUs - lFirstOpening.OpenedUs, 25'000);
  EXPECT_EQ(lLog.Record(2).Kind, tkClosed);
  // A new opening starts without a context and counts its time afresh.
  const tTrafficRecord& lAfter = lLog.Record(4);
  EXPECT_EQ(lLog.Segment(lAfter.Segment).Context, tTrafficContext());
  EXPECT_LT(lAfter.TimeUs - lLog.Segment(lAfter.Segment).OpenedUs, 20'000);
  EXPECT_EQ(lAfter.Baud, 115200);
}

TEST(TrafficLog, keeps_at_least_100000_frames_in_bounded_memory_and_their_bytes_intact) {
  struct tCase {
    int FrameBytes;
    std::uint64_t AtLeast;
  };
  // Short frames are bounded by the frame ring, long ones by the byte ring.
  for (const tCase c : {tCase{7, 100'000}, tCase{40, tTrafficLog::cByteCapacity / 40 - 1}}) {
    SCOPED_TRACE(c.FrameBytes);
    tTrafficLog lLog;
    lLog.Opened(115200);
    const int lFrames = 300'000;
    QByteArray lFrame(c.FrameBytes, Qt::Uninitialized);
    for (int i = 0; i < lFrames; ++i) {
      // Every frame says which it is, so a frame that got another's bytes is seen.
      for (int k = 0; k < c.FrameBytes; ++k)
        lFrame[k] = char((i * 7 + k) & 0xFF);
      lLog.Boundary();
      lLog.Sent(lFrame.constData(), lFrame.size(), 115200);
    }
    const std::uint64_t lKept = lLog.EndSeq() - lLog.FirstSeq();
    EXPECT_GE(lKept, c.AtLeast);
    EXPECT_LE(lKept, tTrafficLog::cFrameCapacity);
    EXPECT_EQ(lLog.EndSeq(), std::uint64_t(lFrames) + 1);
    for (std::uint64_t s : {lLog.FirstSeq(), lLog.FirstSeq() + lKept / 2, lLog.EndSeq() - 1}) {
      const int i = int(s) - 1;
      QByteArray lExpected(c.FrameBytes, Qt::Uninitialized);
      for (int k = 0; k < c.FrameBytes; ++k)
        lExpected[k] = char((i * 7 + k) & 0xFF);
      EXPECT_EQ(lLog.Bytes(s), lExpected) << "frame " << s;
    }
  }
}

TEST(TrafficLog, a_long_run_of_bytes_is_cut_into_frames_of_bounded_length) {
  tLogRig lRig;
  const QByteArray lFlood(3 * tTrafficLog::cMaxFrameBytes + 5, 'x');
  lRig.Receive(lFlood);
  QByteArray lBack;
  for (std::uint64_t s = lRig.Log.FirstSeq() + 1; s < lRig.Log.EndSeq(); ++s) {
    EXPECT_LE(lRig.Log.Record(s).Length, tTrafficLog::cMaxFrameBytes);
    lBack += lRig.Log.Bytes(s);
  }
  EXPECT_EQ(lBack, lFlood);
}
