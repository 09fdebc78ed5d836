#pragma once
// Ends a device interface's traffic for an instrument that is being removed, but never in the
// middle of a write to the instrument's memory: cut off halfway, a write would leave half a
// parameter set or a checksum cell that no longer matches. An abort asked for during a write
// takes effect when the write ends.
#include <functional>
#include <memory>

// Shared by a latch and the writes it holds back.
struct tAbortLatchState {
  std::function<void()> AbortNow;
  int Writes = 0;
  bool Requested = false;
  bool Done = false;
  void Fire();
};

class tAbortLatch {
public:
  // pAbortNow stops the traffic (timers, port); it runs once.
  explicit tAbortLatch(std::function<void()> pAbortNow);
  ~tAbortLatch();
  tAbortLatch(const tAbortLatch&) = delete;
  tAbortLatch& operator=(const tAbortLatch&) = delete;

  // Aborts now, or when the running write ends.
  void Request();
  // True from the request on, also while a write still finishes.
  bool Requested() const { return mState->Requested; }
  // True while a write holds the abort back.
  bool Writing() const { return mState->Writes > 0; }

  // Held for the duration of a memory write (pWrites false: not a write, holds nothing).
  class tWrite {
  public:
    tWrite(tAbortLatch& pLatch, bool pWrites = true);
    ~tWrite();
    tWrite(const tWrite&) = delete;
    tWrite& operator=(const tWrite&) = delete;

  private:
    // The state outlives an interface released while its write still unwinds.
    std::shared_ptr<tAbortLatchState> mState;
  };

private:
  std::shared_ptr<tAbortLatchState> mState;
};
