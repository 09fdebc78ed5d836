#include "core/Format.h"
#include "core/DateTime.h"

#include "LocaleGuard.h"
#include "support/WaitFor.h"

#include <QScopeGuard>
#include <cmath>
#include <ctime>
#include <gtest/gtest.h>

TEST(FormatNumbers, GeneralFormWithFifteenDigits) {
  struct tCase {
    double mValue;
    const char* mGerman;
  };
  const tCase lCases[] = {
      {16, "16"},
      {0.25, "0,25"},
      {-1, "-1"},
      {0, "0"},
      {0.1f, "0,100000001490116"},
      {1.0 / 3, "0,333333333333333"},
      {123456789012345.0, "123456789012345"},
      {1e15, "1E15"},
      {1234567890123456.0, "1,23456789012346E15"},
      {0.0001, "0,0001"},
      {0.00001, "1E-5"},
      {-0.000015, "-1,5E-5"},
      {232.06, "232,06"},
      {1000, "1000"},
  };
  tLocaleGuard lLocale(tLocaleGuard::German());
  for (const tCase& lCase : lCases)
    EXPECT_EQ(FormatGeneral(lCase.mValue), lCase.mGerman);
  tLocaleGuard lEnglish(tLocaleGuard::English());
  EXPECT_EQ(FormatGeneral(0.25), "0.25");
  EXPECT_EQ(FormatGeneral(12345.5), "12345.5");
}

TEST(FormatNumbers, RoundedGeneralDropsTrailingZeros) {
  tLocaleGuard lLocale(tLocaleGuard::German());
  EXPECT_EQ(FormatRoundedGeneral(16, 5), "16");
  EXPECT_EQ(FormatRoundedGeneral(0.25, 5), "0,25");
  EXPECT_EQ(FormatRoundedGeneral(0.000001, 5), "0");
  EXPECT_EQ(FormatRoundedGeneral(-0.000001, 5), "0");
  EXPECT_EQ(FormatRoundedGeneral(0.1f, 5), "0,1");
  EXPECT_EQ(FormatRoundedGeneral(0.000016, 5), "2E-5");
  EXPECT_EQ(FormatRoundedGeneral(0.1f, 4), "0,1");
}

TEST(FormatNumbers, FixedDecimalsWithoutGrouping) {
  tLocaleGuard lLocale(tLocaleGuard::German());
  EXPECT_EQ(FormatFixed(1234567.891, 2), "1234567,89");
  EXPECT_EQ(FormatFixed(21.25, 1), "21,3");
  EXPECT_EQ(FormatFixed(-0.001, 2), "0,00");
  EXPECT_EQ(FormatFixed(5, 0), "5");
  tLocaleGuard lEnglish(tLocaleGuard::English());
  EXPECT_EQ(FormatFixed(1234567.891, 2), "1234567.89");
}

TEST(FormatNumbers, DisplayMasks) {
  tLocaleGuard lLocale(tLocaleGuard::German());
  EXPECT_EQ(SignedMask(3), " 0.000;-0.000");
  EXPECT_EQ(SignedMask(0), " 0;-0");
  struct tCase {
    const char* mMask;
    double mValue;
    const char* mText;
  };
  const tCase lCases[] = {
      {" 0.000;-0.000", 1.5, " 1,500"},
      {" 0.000;-0.000", -1.5, "-1,500"},
      {" 0.000;-0.000", 0, " 0,000"},
      {" 0.000;-0.000", -0.0001, " 0,000"},
      {" 0.000;-0.000", 12345.6789, " 12345,679"},
      {" 0;-0", -7.6, "-8"},
      {"0.00", -2.5, "-2,50"},
      {"0.0#", 2.5, "2,5"},
      {"0.0#", 2.567, "2,57"},
      {"#.00", 0.5, ",50"},
      {"0.0 bar", 3, "3,0 bar"},
      {"0.0;(0.0);null", 0, "null"},
      {"0.0;(0.0);null", -2, "(2,0)"},
  };
  for (const tCase& lCase : lCases) {
    EXPECT_EQ(FormatMask(lCase.mMask, lCase.mValue), lCase.mText) << lCase.mMask;
  }
  EXPECT_EQ(FormatSigned(-0.5, 2), "-0,50");
  tLocaleGuard lEnglish(tLocaleGuard::English());
  EXPECT_EQ(FormatSigned(0.5, 2), " 0.50");
}

TEST(FormatNumbers, ParsesLocaleAndPlainNumbers) {
  tLocaleGuard lLocale(tLocaleGuard::German());
  double lValue = 0;
  EXPECT_TRUE(TryParseNumber(" 1,5 ", lValue));
  EXPECT_EQ(lValue, 1.5);
  EXPECT_TRUE(TryParseNumber("2.25", lValue));
  EXPECT_EQ(lValue, 2.25);
  EXPECT_FALSE(TryParseNumber("abc", lValue));
  EXPECT_EQ(lValue, 2.25);
}

TEST(FormatTimes, LocaleDateAndTimeFormats) {
  const tDateTime lValue = EncodeDate(2026, 3, 7) + EncodeTime(14, 3, 7, 45);
  {
    tLocaleGuard lLocale(tLocaleGuard::German());
    EXPECT_EQ(LongTimeFormat(), "HH:mm:ss");
    EXPECT_EQ(FormatShortDate(lValue), QLocale().toString(QDate(2026, 3, 7), QLocale::ShortFormat));
    EXPECT_TRUE(FormatShortDate(lValue).startsWith("07.03."));
    EXPECT_EQ(FormatLongTime(lValue), "14:03:07");
    EXPECT_EQ(FormatLongTimeMs(lValue), "14:03:07.045");
    EXPECT_EQ(FormatDateTime(lValue), FormatShortDate(lValue) + " 14:03:07");
    EXPECT_EQ(FormatDateTimePattern(lValue, "yyyyMMdd_HHmmsszzz"), "20260307_140307045");
  }
  {
    tLocaleGuard lLocale(tLocaleGuard::English());
    EXPECT_FALSE(LongTimeFormat().contains('t'));
    EXPECT_EQ(FormatLongTime(lValue), "2:03:07 PM");
    EXPECT_EQ(FormatLongTimeMs(lValue), "2:03:07.045 PM");
    EXPECT_TRUE(FormatShortDate(lValue).startsWith("3/7/"));
  }
}

TEST(DateTimeValue, DaysSince1899WithTimeAsFraction) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
  EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_EQ(EncodeTime(6, 0, 0, 0), 0.25);
  const QDateTime lStamp(QDate(2026, 12, 9), QTime(8, 30, 15, 250));
  const tDateTime lValue = FromQDateTime(lStamp);
  EXPECT_EQ(ToQDateTime(lValue), lStamp);
  EXPECT_EQ(DateOf(lValue), QDate(2026, 12, 9));
  EXPECT_EQ(TimeOf(lValue), QTime(8, 30, 15, 250));
  // Before the base date the fraction still counts forward from midnight.
  EXPECT_EQ(ToQDateTime(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
  EXPECT_EQ(FromQDateTime(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
  // A value just below midnight rounds into the next day, not to 24:00.
  EXPECT_EQ(ToQDateTime(2.0 - 1e-10), QDateTime(QDate(1900, 1, 1), QTime(0, 0)));
  EXPECT_EQ(MilliSecondsBetween(lValue, lValue + 1500 / MSecsPerDay), 1500);
  EXPECT_EQ(MilliSecondsBetween(-1.25, 0.5), 18 * 3600 * 1000 + 12 * 3600 * 1000);
}

// The stamp of every live value: the local wall-clock time, also in a zone with a 45-minute
// offset and one with daylight saving, and a zone changed while the program runs shows
// within about a second without anything else reading it.
TEST(DateTimeValue, NowIsTheLocalWallClockTime) {
  const QByteArray lZoneBefore = qgetenv("TZ");
  const auto lRestore = qScopeGuard([&] {
    if (lZoneBefore.isNull())
      qunsetenv("TZ");
    else
      qputenv("TZ", lZoneBefore);
    tzset();
  });
  for (const char* lZone : {"UTC", "Asia/Kathmandu", "America/New_York", "Europe/Berlin"}) {
    qputenv("TZ", lZone);
    tzset();
    const tDateTime lExpected = FromQDateTime(QDateTime::currentDateTime());
    EXPECT_NEAR(NowDateTime(), lExpected, 100 / MSecsPerDay) << lZone;
  }
  // Kathmandu keeps +05:45 all year; the expected value is made without any zone lookup.
  const auto lKathmandu = [] {
    const QDateTime lShifted = QDateTime::currentDateTimeUtc().addSecs(5 * 3600 + 45 * 60);
    return FromQDate(lShifted.date()) + FromQTime(lShifted.time());
  };
  qputenv("TZ", "UTC");
  tzset();
  ASSERT_NEAR(NowDateTime(), FromQDateTime(QDateTime::currentDateTimeUtc()), 100 / MSecsPerDay);
  qputenv("TZ", "Asia/Kathmandu");
  EXPECT_TRUE(
      WaitFor([&] { return std::abs(NowDateTime() - lKathmandu()) < 100 / MSecsPerDay; }, 2000));
}

TEST(DateTimeValue, NowAndTimeOfDayAgree) {
  const tDateTime lNow = NowDateTime();
  const tDateTime lTime = TimeOfDayNow();
  EXPECT_GE(lNow, EncodeDate(2020, 1, 1));
  EXPECT_LT(lTime, 1.0);
  EXPECT_NEAR(lNow - std::trunc(lNow), lTime, 2.0 / 86400);
  EXPECT_EQ(TodayDate(), std::trunc(TodayDate()));
}
