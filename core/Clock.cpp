#include "core/Clock.h"

#include <chrono>

namespace {
tWallClock& WallClock() {
  static tWallClock lClock;
  return lClock;
}
} // namespace

std::int64_t MonotonicMSecs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t MonotonicUSecs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void SetWallClock(tWallClock pClock) {
  WallClock() = std::move(pClock);
}

bool SystemWallClock() {
  return !WallClock();
}

QDateTime WallClockNow() {
  return WallClock() ? WallClock()() : QDateTime::currentDateTime();
}
