#pragma once
// The one way the program waits for something inside a handler: the event loop runs (the
// port's data, timers, input), the thread blocks while nothing happens instead of spinning a
// core, and the deadline comes from the monotonic clock. Every such wait counts as a nested
// loop (core/NestedLoop.h), so nothing is destroyed under it.
#include <cstdint>
#include <functional>

// Runs the event loop until pDone() holds or pTimeoutMs have passed; pDone is asked after
// every pass. A pass blocks until something happens or the deadline comes, so pDone must
// depend only on what the loop's events change (received bytes, flags set by handlers).
// True when pDone() held.
bool WaitUntil(const std::function<bool()>& pDone, std::int64_t pTimeoutMs);
