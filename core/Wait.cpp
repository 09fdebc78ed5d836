#include "core/Wait.h"

#include "core/Clock.h"
#include "core/NestedLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

bool WaitUntil(const std::function<bool()>& pDone, std::int64_t pTimeoutMs, int pGuardMs) {
  const tNestedLoop lNested;
  const std::int64_t lStart = MonotonicMSecs();
  // The data that ends a wait wakes the loop by itself; the guard only bounds the block.
  QTimer lGuard;
  lGuard.setTimerType(Qt::PreciseTimer);
  lGuard.start(int(std::clamp<std::int64_t>(pTimeoutMs, 1, std::max(pGuardMs, 1))));
  for (;;) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (pDone && pDone()) return true;
    const std::int64_t lLeft = pTimeoutMs - (MonotonicMSecs() - lStart);
    if (lLeft <= 0) return false;
    // The last pass blocks no longer than the deadline.
    if (lLeft < lGuard.interval()) lGuard.start(int(lLeft));
  }
}
