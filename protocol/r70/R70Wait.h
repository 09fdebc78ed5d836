#pragma once
// Bounded passes of the event loop for the R70 waiting loops: each pass blocks until an event
// arrives (a reply's notification wakes it at once) or the next tick of a 1 ms timer, so a
// reply is seen within one pass and the time-out is checked every millisecond without
// spinning a core. One timer serves the whole wait.
#include "core/NestedLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

class tR70Waiter {
public:
  tR70Waiter() { mTick.start(1); }
  void Pass() { QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); }

private:
  tNestedLoop mNested;
  QTimer mTick;
};
