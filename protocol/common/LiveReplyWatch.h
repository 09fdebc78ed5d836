#pragma once
// How a live exchange judges its line, the same for both families. Only a second without
// any valid reply ends a connection: a spoilt reply is counted and followed by the next
// request. A reply that stops halfway has lost a byte and is given up after a gap; after a
// spoilt reply the line must be quiet for a moment before the next request, or the rest of
// it would shift every reply after it.
#include "core/Clock.h"

#include <QtGlobal>
#include <cstdint>

class tLiveReplyWatch {
public:
  static constexpr std::int64_t cTimeoutMs = 1000;
  static constexpr std::int64_t cGapMs = 50;
  static constexpr std::int64_t cSettleMs = 20;

  // The live exchange (re)starts: the second counts from now.
  void Start() { mLastValid = MonotonicMSecs(); }
  void Sent() { mLastRx = MonotonicMSecs(); }
  void BytesArrived() { mLastRx = MonotonicMSecs(); }
  void Valid() { mLastValid = MonotonicMSecs(); }
  void Spoilt() { ++mSpoilt; }

  // A second without a valid reply.
  bool TimedOut() const { return MSecsElapsed(mLastValid, cTimeoutMs); }
  // Part of a reply, then nothing for the gap.
  bool Stalled(bool pPartReceived) const { return pPartReceived && MSecsElapsed(mLastRx, cGapMs); }
  // Nothing arrived for the settling time.
  bool Settled() const { return MSecsElapsed(mLastRx, cSettleMs); }
  quint32 SpoiltReplies() const { return mSpoilt; }

private:
  std::int64_t mLastValid = 0;
  std::int64_t mLastRx = 0;
  quint32 mSpoilt = 0;
};
