#include "core/Wait.h"

#include "core/Clock.h"
#include "core/NestedLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <climits>

bool WaitUntil(const std::function<bool()>& pDone, std::int64_t pTimeoutMs) {
  const tNestedLoop lNested;
  const std::int64_t lStart = MonotonicMSecs();
  // The data that ends a wait wakes the loop by itself, so only the deadline needs a timer:
  // a shorter tick would wake the thread for nothing.
  QTimer lDeadline;
  lDeadline.setSingleShot(true);
  lDeadline.setTimerType(Qt::PreciseTimer);
  lDeadline.start(int(std::clamp<std::int64_t>(pTimeoutMs, 0, INT_MAX)));
  // The first pass only handles what is pending: a condition that already holds then (the
  // reply is in, nothing is outstanding) must not wait for an event that never comes.
  QEventLoop::ProcessEventsFlags lFlags = QEventLoop::AllEvents;
  for (;;) {
    QCoreApplication::processEvents(lFlags);
    lFlags = QEventLoop::WaitForMoreEvents;
    if (pDone && pDone()) return true;
    const std::int64_t lLeft = pTimeoutMs - (MonotonicMSecs() - lStart);
    if (lLeft <= 0) return false;
    // Should the millisecond clock and the timer disagree by a fraction, the rest is waited.
    if (!lDeadline.isActive()) lDeadline.start(int(std::min<std::int64_t>(lLeft, INT_MAX)));
  }
}
