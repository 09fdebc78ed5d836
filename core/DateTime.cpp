#include "core/DateTime.h"

#include "core/Clock.h"

#include <atomic>
#include <cmath>
#include <ctime>
#include <limits>

namespace {
const QDate& BaseDate() {
  static const QDate lBase(1899, 12, 30);
  return lBase;
}

// Splits a value into whole days and milliseconds of the day, rounding to the millisecond.
void Split(tDateTime pValue, qint64& pDays, qint64& pMSecOfDay) {
  const double lDays = std::trunc(pValue);
  const double lFrac = std::fabs(pValue - lDays);
  pDays = static_cast<qint64>(lDays);
  pMSecOfDay = std::llround(lFrac * MSecsPerDay);
  if (pMSecOfDay >= static_cast<qint64>(MSecsPerDay)) {
    // Rounding carried into the next day (in the value's own direction).
    pMSecOfDay -= static_cast<qint64>(MSecsPerDay);
    pDays += (pValue < 0 ? -1 : 1);
  }
}

tDateTime Combine(qint64 pDays, qint64 pMSecOfDay) {
  const double lFrac = static_cast<double>(pMSecOfDay) / MSecsPerDay;
  // Before the base date the fraction is stored with the sign of the day count.
  return pDays < 0 ? static_cast<double>(pDays) - lFrac : static_cast<double>(pDays) + lFrac;
}
} // namespace

tDateTime NowDateTime() {
  if (!SystemWallClock()) return FromQDateTime(WallClockNow());
  // Every live value is stamped, twice. QDateTime re-reads the time-zone file on every local
  // conversion (about 10 us each); the C library's conversion uses the zone as last read,
  // and the zone is read again once a second, so a changed zone shows within a second.
  static std::atomic<std::int64_t> sZoneRead{std::numeric_limits<std::int64_t>::min()};
  const std::int64_t lNowMs = MonotonicMSecs();
  const std::int64_t lZoneRead = sZoneRead.load(std::memory_order_relaxed);
  if (lZoneRead == std::numeric_limits<std::int64_t>::min() || lNowMs - lZoneRead >= 1000) {
    tzset();
    sZoneRead.store(lNowMs, std::memory_order_relaxed);
  }
  timespec lNow{};
  clock_gettime(CLOCK_REALTIME, &lNow);
  tm lLocal{};
  localtime_r(&lNow.tv_sec, &lLocal);
  const QDate lDate(lLocal.tm_year + 1900, lLocal.tm_mon + 1, lLocal.tm_mday);
  const qint64 lMSecOfDay =
      ((lLocal.tm_hour * 60LL + lLocal.tm_min) * 60LL + lLocal.tm_sec) * 1000LL +
      lNow.tv_nsec / 1'000'000;
  return Combine(BaseDate().daysTo(lDate), lMSecOfDay);
}

tDateTime TimeOfDayNow() {
  return FromQTime(WallClockNow().time());
}

tDateTime TodayDate() {
  return FromQDate(WallClockNow().date());
}

tDateTime EncodeDate(int pYear, int pMonth, int pDay) {
  return FromQDate(QDate(pYear, pMonth, pDay));
}

tDateTime EncodeTime(int pHour, int pMinute, int pSecond, int pMSec) {
  const qint64 lMSec = ((pHour * 60LL + pMinute) * 60LL + pSecond) * 1000LL + pMSec;
  return static_cast<double>(lMSec) / MSecsPerDay;
}

QDate DateOf(tDateTime pValue) {
  qint64 lDays = 0;
  qint64 lMSec = 0;
  Split(pValue, lDays, lMSec);
  return BaseDate().addDays(lDays);
}

QTime TimeOf(tDateTime pValue) {
  qint64 lDays = 0;
  qint64 lMSec = 0;
  Split(pValue, lDays, lMSec);
  return QTime::fromMSecsSinceStartOfDay(static_cast<int>(lMSec));
}

QDateTime ToQDateTime(tDateTime pValue) {
  return QDateTime(DateOf(pValue), TimeOf(pValue), Qt::LocalTime);
}

tDateTime FromQDateTime(const QDateTime& pValue) {
  const QDateTime lLocal = pValue.toLocalTime();
  return Combine(BaseDate().daysTo(lLocal.date()), lLocal.time().msecsSinceStartOfDay());
}

tDateTime FromQDate(const QDate& pDate) {
  return Combine(BaseDate().daysTo(pDate), 0);
}

tDateTime FromQTime(const QTime& pTime) {
  return Combine(0, pTime.msecsSinceStartOfDay());
}

std::int64_t MilliSecondsBetween(tDateTime pFrom, tDateTime pTo) {
  qint64 lDaysFrom = 0;
  qint64 lMSecFrom = 0;
  qint64 lDaysTo = 0;
  qint64 lMSecTo = 0;
  Split(pFrom, lDaysFrom, lMSecFrom);
  Split(pTo, lDaysTo, lMSecTo);
  return (lDaysTo - lDaysFrom) * static_cast<qint64>(MSecsPerDay) + (lMSecTo - lMSecFrom);
}
