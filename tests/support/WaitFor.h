#pragma once
// Waits in the event loop, without spinning a core, until a condition holds or a generous
// bound has passed.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

inline bool WaitFor(const std::function<bool()>& pDone, int pBoundMs = 3000) {
  QDeadlineTimer lDeadline(pBoundMs);
  QTimer lTick;
  lTick.start(1);
  while (!pDone()) {
    if (lDeadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

inline void PumpFor(int pMs) {
  WaitFor([] { return false; }, pMs);
}
