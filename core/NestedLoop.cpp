#include "core/NestedLoop.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <vector>

namespace {
int sDepth = 0;
bool sScheduled = false;

std::vector<std::function<void()>>& Pending() {
  static std::vector<std::function<void()>> lPending;
  return lPending;
}

void RunPending();

void Schedule() {
  if (sScheduled || Pending().empty() || !QCoreApplication::instance()) return;
  sScheduled = true;
  QTimer::singleShot(0, QCoreApplication::instance(), [] { RunPending(); });
}

void RunPending() {
  sScheduled = false;
  // Reached from a nested loop of someone else: the last one to end schedules again.
  if (sDepth > 0) return;
  // A disposal may ask for more (a frame releasing its page): those run on the next pass.
  std::vector<std::function<void()>> lNow;
  lNow.swap(Pending());
  for (auto& lDispose : lNow)
    lDispose();
  Schedule();
}
} // namespace

tNestedLoop::tNestedLoop() {
  ++sDepth;
}

tNestedLoop::~tNestedLoop() {
  if (--sDepth == 0) Schedule();
}

int tNestedLoop::Depth() {
  return sDepth;
}

void DisposeWhenUnwound(std::function<void()> pDispose) {
  Pending().push_back(std::move(pDispose));
  Schedule();
}

void DeleteWhenUnwound(QObject* pObject) {
  if (!pObject) return;
  DisposeWhenUnwound([lObject = QPointer<QObject>(pObject)] { delete lObject.data(); });
}

int PendingDisposals() {
  return int(Pending().size());
}
