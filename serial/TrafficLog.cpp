#include "serial/TrafficLog.h"

#include "core/Clock.h"

#include <algorithm>

namespace {
// The wall clock only where a port opens: frames take their wall time from that moment and
// the monotonic clock, which costs nothing per frame and never jumps inside a connection.
std::int64_t WallMs() {
  return WallClockNow().toMSecsSinceEpoch();
}
} // namespace

void tTrafficLog::NewSegment(std::int64_t pOpenedUs, std::int64_t pOpenedWallMs) {
  tTrafficSegment lSegment;
  lSegment.Serial = mSegments.empty() ? 0 : mSegments.back().Serial + 1;
  lSegment.Context = mContext;
  lSegment.OpenedUs = pOpenedUs;
  lSegment.OpenedWallMs = pOpenedWallMs;
  // A segment no frame refers to is replaced rather than kept.
  const bool lUnused = !mSegments.empty() && (mEndSeq == mFirstSeq || Record(mEndSeq - 1).Segment !=
                                                                          mSegments.back().Serial);
  if (lUnused) {
    lSegment.Serial = mSegments.back().Serial;
    mSegments.back() = lSegment;
    return;
  }
  mSegments.push_back(lSegment);
}

const tTrafficSegment& tTrafficLog::Segment(std::uint32_t pSerial) const {
  static const tTrafficSegment cNone;
  if (mSegments.empty() || pSerial < mSegments.front().Serial) return cNone;
  const std::size_t lIndex = pSerial - mSegments.front().Serial;
  return lIndex < mSegments.size() ? mSegments[lIndex] : cNone;
}

void tTrafficLog::Opened(int pBaud) {
  mContext = tTrafficContext();
  const std::int64_t lNow = MonotonicUSecs();
  NewSegment(lNow, WallMs());
  mSentOpen = mReceivedOpen = mRequestWaits = false;
  Add(tkOpened, lNow, pBaud, 0);
}

void tTrafficLog::Closed(bool pLost) {
  const int lBaud = mEndSeq > mFirstSeq ? Record(mEndSeq - 1).Baud : 0;
  mSentOpen = mReceivedOpen = mRequestWaits = false;
  Add(pLost ? tkLost : tkClosed, MonotonicUSecs(), lBaud, 0);
}

void tTrafficLog::SetContext(const tTrafficContext& pContext) {
  if (pContext == mContext) return;
  mContext = pContext;
  const tTrafficSegment lOpening = mSegments.empty() ? tTrafficSegment() : mSegments.back();
  NewSegment(lOpening.OpenedUs, lOpening.OpenedWallMs);
}

void tTrafficLog::Boundary() {
  mSentOpen = mReceivedOpen = false;
}

void tTrafficLog::Clear() {
  mFirstSeq = mEndSeq;
  while (mSegments.size() > 1)
    mSegments.pop_front();
  mSentOpen = mReceivedOpen = false;
  ++mRevision;
}

void tTrafficLog::Sent(const char* pBytes, qsizetype pCount, int pBaud) {
  if (pCount <= 0) return;
  const std::int64_t lNow = MonotonicUSecs();
  mReceivedOpen = false;
  mRequestWaits = true;
  mRequestUs = lNow;
  while (pCount > 0) {
    if (!mSentOpen || Record(mEndSeq - 1).Length >= cMaxFrameBytes) {
      Add(tkSent, lNow, pBaud, 0);
      mSentOpen = true;
    }
    const qsizetype lRun = AppendToNewest(pBytes, pCount, lNow);
    pBytes += lRun;
    pCount -= lRun;
  }
}

qsizetype tTrafficLog::AppendToNewest(const char* pBytes, qsizetype pCount, std::int64_t pNowUs) {
  tTrafficRecord& lNewest = mRecords[(mEndSeq - 1) % cFrameCapacity];
  lNewest.SpanUs = std::uint32_t(std::min<std::int64_t>(pNowUs - lNewest.TimeUs, UINT32_MAX));
  const qsizetype lRun = std::min<qsizetype>(pCount, cMaxFrameBytes - lNewest.Length);
  Append(pBytes, lRun);
  return lRun;
}

void tTrafficLog::Received(const char* pBytes, qsizetype pCount, int pBaud) {
  if (pCount <= 0) return;
  const std::int64_t lNow = MonotonicUSecs();
  mSentOpen = false;
  while (pCount > 0) {
    const bool lContinues = mReceivedOpen && lNow - mLastReceivedUs <= cGapMs * 1000 &&
                            Record(mEndSeq - 1).Length < cMaxFrameBytes;
    if (!lContinues) {
      std::uint8_t lFlags = 0;
      const bool lReply =
          mRequestWaits && lNow - mRequestUs <= std::int64_t(mContext.ReplyWindowMs) * 1000;
      if (!lReply) lFlags |= tgOutside;
      if (mReceivedOpen && lNow - mLastReceivedUs > cGapMs * 1000) lFlags |= tgAfterGap;
      Add(tkReceived, lNow, pBaud, lFlags);
      mReceivedOpen = true;
      // One reply per request: what follows a pause is no longer its reply.
      mRequestWaits = false;
    }
    mLastReceivedUs = lNow;
    const qsizetype lRun = AppendToNewest(pBytes, pCount, lNow);
    pBytes += lRun;
    pCount -= lRun;
  }
}

std::uint64_t tTrafficLog::Add(tTrafficKind pKind, std::int64_t pTimeUs, int pBaud,
                               std::uint8_t pFlags) {
  if (mSegments.empty()) NewSegment(pTimeUs, WallMs());
  if (mEndSeq - mFirstSeq >= cFrameCapacity) DropOldest();
  tTrafficRecord lRecord;
  lRecord.TimeUs = pTimeUs;
  lRecord.ByteStart = mByteEnd;
  lRecord.Baud = pBaud;
  lRecord.Segment = mSegments.back().Serial;
  lRecord.Kind = pKind;
  lRecord.Flags = pFlags;
  if (mRecords.size() < cFrameCapacity)
    mRecords.push_back(lRecord);
  else
    mRecords[mEndSeq % cFrameCapacity] = lRecord;
  ++mRevision;
  return mEndSeq++;
}

void tTrafficLog::Append(const char* pBytes, qsizetype pCount) {
  for (qsizetype i = 0; i < pCount;) {
    const std::size_t lAt = mByteEnd % cByteCapacity;
    const std::size_t lRun = std::min<std::size_t>(std::size_t(pCount - i), cByteCapacity - lAt);
    if (mBytes.size() < cByteCapacity) {
      // Still growing: the ring has not wrapped, so lAt is its end.
      mBytes.insert(mBytes.end(), pBytes + i, pBytes + i + qsizetype(lRun));
    } else {
      std::copy(pBytes + i, pBytes + i + qsizetype(lRun), mBytes.begin() + qsizetype(lAt));
    }
    mByteEnd += lRun;
    i += qsizetype(lRun);
  }
  mRecords[(mEndSeq - 1) % cFrameCapacity].Length += std::uint16_t(pCount);
  // Frames whose bytes were overwritten go.
  while (mFirstSeq < mEndSeq - 1 && Record(mFirstSeq).ByteStart + cByteCapacity < mByteEnd)
    DropOldest();
  ++mRevision;
}

void tTrafficLog::DropOldest() {
  if (mFirstSeq == mEndSeq) return;
  ++mFirstSeq;
  // Segments before the oldest frame's are no longer needed.
  const std::uint32_t lOldest =
      mFirstSeq < mEndSeq ? Record(mFirstSeq).Segment : mSegments.back().Serial;
  while (mSegments.size() > 1 && mSegments.front().Serial < lOldest)
    mSegments.pop_front();
}

QByteArray tTrafficLog::Bytes(std::uint64_t pSeq) const {
  if (pSeq < mFirstSeq || pSeq >= mEndSeq) return QByteArray();
  const tTrafficRecord& lRecord = Record(pSeq);
  QByteArray lBytes(lRecord.Length, Qt::Uninitialized);
  for (qsizetype i = 0; i < lRecord.Length;) {
    const std::size_t lAt = (lRecord.ByteStart + std::uint64_t(i)) % cByteCapacity;
    const std::size_t lRun =
        std::min<std::size_t>(std::size_t(lRecord.Length - i), cByteCapacity - lAt);
    std::copy(mBytes.begin() + qsizetype(lAt), mBytes.begin() + qsizetype(lAt + lRun),
              lBytes.begin() + i);
    i += qsizetype(lRun);
  }
  return lBytes;
}
