#pragma once
// The two clocks of the program. Durations (time-outs, intervals, how long a key is held)
// come from the monotonic clock, which never jumps; the wall clock only stamps what is shown
// and saved, and it jumps at daylight-saving changes and NTP steps.
#include <QDateTime>
#include <cstdint>
#include <functional>

// Milliseconds of a clock that only runs forward, from an arbitrary origin.
std::int64_t MonotonicMSecs();
// The same clock in microseconds, for stamps finer than a byte time at 115200 bit/s.
std::int64_t MonotonicUSecs();

// The local wall clock behind NowDateTime, TimeOfDayNow and TodayDate. Tests install one that
// they step; an empty function restores the system clock.
using tWallClock = std::function<QDateTime()>;
void SetWallClock(tWallClock pClock);
QDateTime WallClockNow();
// True while no test clock is installed.
bool SystemWallClock();

// The monotonic clock in days, for code that measures durations in date-time units.
inline double MonotonicDays() {
  return double(MonotonicMSecs()) / 86400000.0;
}

// How long since a monotonic start point, and whether strictly more than pMSec have passed.
inline bool MSecsElapsed(std::int64_t pStartMSecs, std::int64_t pMSec) {
  return MonotonicMSecs() - pStartMSecs > pMSec;
}
