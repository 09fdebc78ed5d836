#pragma once
// Waits for a reply and modal boxes run the event loop inside a handler, so input and timers
// run while that handler still has frames on the stack. An object removed meanwhile (the
// user deletes an instrument while its search waits) must outlive those frames: it is
// disposed of only once no nested loop is running any more.
//
// Every such loop holds a tNestedLoop for as long as it runs. Qt's own deferred deletion is
// not enough here: it deletes an object as soon as control is back at the loop level where
// deleteLater was called, which a wait further down the stack reaches again.
#include <QObject>
#include <functional>

class tNestedLoop {
public:
  tNestedLoop();
  ~tNestedLoop();
  tNestedLoop(const tNestedLoop&) = delete;
  tNestedLoop& operator=(const tNestedLoop&) = delete;

  // How many nested loops are running now.
  static int Depth();
};

// Runs pDispose once no nested loop is running: from the event loop, never from inside the
// call that asks for it.
void DisposeWhenUnwound(std::function<void()> pDispose);
// Deletes pObject then, unless something else deleted it first.
void DeleteWhenUnwound(QObject* pObject);
// How many disposals are waiting (for tests).
int PendingDisposals();
