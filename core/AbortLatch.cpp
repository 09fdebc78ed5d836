#include "core/AbortLatch.h"

void tAbortLatchState::Fire() {
  if (Done || !AbortNow) return;
  Done = true;
  // A copy: stopping the traffic may release the owner of this function.
  const std::function<void()> lAbort = AbortNow;
  lAbort();
}

tAbortLatch::tAbortLatch(std::function<void()> pAbortNow)
    : mState(std::make_shared<tAbortLatchState>()) {
  mState->AbortNow = std::move(pAbortNow);
}

tAbortLatch::~tAbortLatch() {
  // A write still unwinding must not call into the released owner.
  mState->AbortNow = nullptr;
}

void tAbortLatch::Request() {
  mState->Requested = true;
  if (mState->Writes == 0) mState->Fire();
}

tAbortLatch::tWrite::tWrite(tAbortLatch& pLatch, bool pWrites) {
  if (!pWrites) return;
  mState = pLatch.mState;
  ++mState->Writes;
}

tAbortLatch::tWrite::~tWrite() {
  if (!mState) return;
  if (--mState->Writes == 0 && mState->Requested) mState->Fire();
}
