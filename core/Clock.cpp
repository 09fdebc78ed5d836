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

void SetWallClock(tWallClock pClock) {
  WallClock() = std::move(pClock);
}

QDateTime WallClockNow() {
  return WallClock() ? WallClock()() : QDateTime::currentDateTime();
}
