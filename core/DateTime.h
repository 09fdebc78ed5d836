#pragma once
// The system's date-time value: days since 30 December 1899, local wall-clock time. The
// integer part is the date, the fraction the time of day; a value below 1.0 carries no date
// (a time of day only). Before 1899-12-30 the integer part is negative and the fraction still
// counts forward from midnight (-1.25 is 29 Dec 1899, 06:00), as the value has always been
// defined.
#include <QDate>
#include <QDateTime>
#include <QTime>
#include <cstdint>

using tDateTime = double;

constexpr double MSecsPerDay = 86400000.0;
constexpr double SecsPerDay = 86400.0;

// Current local date and time.
tDateTime NowDateTime();
// Current local time of day only (no date: 0 <= value < 1).
tDateTime TimeOfDayNow();
// Today's date at midnight.
tDateTime TodayDate();

tDateTime EncodeDate(int pYear, int pMonth, int pDay);
tDateTime EncodeTime(int pHour, int pMinute, int pSecond, int pMSec);

// Calendar date of a value (QDate of 1899-12-30 for values below 1.0).
QDate DateOf(tDateTime pValue);
// Time of day of a value, rounded to the millisecond.
QTime TimeOf(tDateTime pValue);

// Local QDateTime of a value, rounded to the millisecond.
QDateTime ToQDateTime(tDateTime pValue);
// Value of a QDateTime, taken as local time.
tDateTime FromQDateTime(const QDateTime& pValue);
tDateTime FromQDate(const QDate& pDate);
tDateTime FromQTime(const QTime& pTime);

// Whole milliseconds from pFrom to pTo (negative when pTo is earlier), rounded.
std::int64_t MilliSecondsBetween(tDateTime pFrom, tDateTime pTo);
