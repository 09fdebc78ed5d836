#pragma once
// One bounded pass of the event loop for the R70 waiting loops: blocks until an event arrives
// or 1 ms has passed, so a reply is seen within one pass without spinning a core.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

inline void R70WaitForEvents() {
  QTimer guard;
  guard.setSingleShot(true);
  guard.start(1);
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
