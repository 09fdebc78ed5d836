#include "core/Utils.h"

#include "LocaleGuard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <ctime>
#include <gtest/gtest.h>

namespace {
template <typename F> QString UtilsErrorText(F pCall) {
  try {
    pCall();
  } catch (const eUtils& lError) {
    EXPECT_EQ(lError.ClassName(), "eUtils");
    return lError.Message();
  }
  return QStringLiteral("<no eUtils>");
}

double ProcessCpuMSec() {
  timespec lTime{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &lTime);
  return lTime.tv_sec * 1000.0 + lTime.tv_nsec / 1.0e6;
}
} // namespace

TEST(Checksum, BytesPlusChecksumAddUpToZero) {
  EXPECT_EQ(CalcChecksum(QByteArray("\x01\x02\x03", 3)), 0xFA);
  EXPECT_EQ(CalcChecksum(QByteArray()), 0x00);
  EXPECT_EQ(CalcChecksum(QByteArray(1, '\0')), 0x00);
  EXPECT_EQ(CalcChecksum(QByteArray(1, '\x01')), 0xFF);
  EXPECT_EQ(CalcChecksum(QByteArray(2, '\x80')), 0x00);
  const QByteArray lLong(255, '\xFF');
  EXPECT_EQ(static_cast<std::uint8_t>(CalcChecksum(lLong) + 255 * 0xFF % 256), 0);
}

TEST(Checksum, MoreThan255BytesIsARangeError) {
  EXPECT_THROW(CalcChecksum(QByteArray(256, 'a')), eRangeError);
  EXPECT_NO_THROW(CalcChecksum(QByteArray(255, 'a')));
}

TEST(DecimalsForRange, ChoosesDecimalsWithinSixCharacters) {
  struct tCase {
    double mStart, mEnd;
    int mDecimals;
  };
  const tCase lCases[] = {
      {0, 16, 3},  {0, 600, 2}, {0, 1000, 1},   {0, 10000, 0}, {0, 0.25, 4},
      {0, 0, 0},   {-1, 15, 3}, {0, 232.06, 2}, {4, 20, 3},    {0, 100, 2},
      {0, 1.6, 4}, {16, 0, 2},  {0, 100000, 0}, {0, 60, 3},
  };
  for (const tCase& lCase : lCases) {
    EXPECT_EQ(DecimalsForRange(6, lCase.mStart, lCase.mEnd, 0.1), lCase.mDecimals)
        << lCase.mStart << " ... " << lCase.mEnd;
  }
}

TEST(GetToken, FieldsAndNotFoundRules) {
  struct tCase {
    const char* mSource;
    std::uint16_t mIndex;
    char mSeparator;
    const char* mResult;
  };
  const tCase lCases[] = {
      {"12@Abc", 1, '@', "12"},
      {"12@Abc", 2, '@', "Abc"},
      {"12@Abc", 3, '@', "@"},
      {"a;;b", 2, ';', ""},
      {"a;;b", 3, ';', "b"},
      {"a;", 2, ';', ";"},
      {"", 1, ';', ";"},
      {"", 0, ';', ";"},
      {"a;b", 0, ';', ";"},
      {";b", 1, ';', ""},
      {";b", 2, ';', "b"},
      {"abc", 1, ';', "abc"},
      {"Text~Hint", 2, '~', "Hint"},
      {"Text", 2, '~', "~"},
      {"a;b;c", 3, ';', "c"},
  };
  for (const tCase& lCase : lCases) {
    EXPECT_EQ(GetToken(lCase.mSource, lCase.mIndex, QLatin1Char(lCase.mSeparator)),
              QString::fromUtf8(lCase.mResult))
        << lCase.mSource << " field " << lCase.mIndex;
  }
}

TEST(ScaleLinear, MapsAndExtrapolates) {
  EXPECT_DOUBLE_EQ(ScaleLinear(4, 20, 0, 10, 5), 12);
  EXPECT_DOUBLE_EQ(ScaleLinear(4, 20, 0, 10, 15), 28);
  EXPECT_DOUBLE_EQ(ScaleLinear(4, 20, 0, 10, -5), -4);
  EXPECT_DOUBLE_EQ(ScaleLinear(0, 100, -1, 15, 7), 50);
}

TEST(ScaleLinear, RangeErrorIsCheckedBeforeSignalError) {
  tLocaleGuard lLocale(tLocaleGuard::German());
  EXPECT_EQ(UtilsErrorText([] { ScaleLinear(1, 1, 2.5, 2.5, 0); }),
            QString::fromUtf8("MBA = MBE (2,50) ist unzulässig!"));
  EXPECT_EQ(UtilsErrorText([] { ScaleLinear(3, 3, 0, 10, 0); }),
            QString::fromUtf8("SignalBA = SignalBE (3,00) ist unzulässig!"));
}

TEST(TimeConverters, ExactToTheUnit) {
  EXPECT_EQ(MSecToDateTime(0), 0.0);
  EXPECT_EQ(MSecToDateTime(1500), 1500 / MSecsPerDay);
  EXPECT_EQ(MSecToDateTime(86400000u), 1.0);
  EXPECT_EQ(MSecToDateTime(86400000u + 43200000u), 1.5);
  EXPECT_EQ(SecToDateTime(86400u * 2 + 21600u), 2.25);
  EXPECT_EQ(SecToDateTime(5), MSecToDateTime(5000));
  EXPECT_NEAR(MSecToDateTime(4294967295u) * MSecsPerDay, 4294967295.0, 1e-3);
}

TEST(IsTimeElapsed, OnlyStrictlyAfterTheDifference) {
  const tDateTime lNow = NowDateTime();
  EXPECT_FALSE(IsTimeElapsed(lNow, MSecToDateTime(60000)));
  EXPECT_TRUE(IsTimeElapsed(lNow - MSecToDateTime(1600), MSecToDateTime(1500)));
  EXPECT_FALSE(IsTimeElapsed(lNow - MSecToDateTime(1000), MSecToDateTime(1500)));
  // Time-of-day stamps compare against the time of day.
  EXPECT_TRUE(IsTimeElapsed(0, 0));
  // A long difference is compared in whole seconds.
  EXPECT_FALSE(IsTimeElapsed(lNow - 1.0, 1.0 + MSecToDateTime(10000)));
  EXPECT_TRUE(IsTimeElapsed(lNow - 1.0 - MSecToDateTime(20000), 1.0 + MSecToDateTime(10000)));
}

TEST(IsTimeElapsed, RefusesInconsistentArguments) {
  EXPECT_EQ(UtilsErrorText([] { IsTimeElapsed(0.5, 1.5); }),
            QString::fromUtf8(
                "Startzeit mit Jahresangabe und Differenzzeit ohne Jahresangabe ist unzulässig!"));
  EXPECT_EQ(UtilsErrorText([] { IsTimeElapsed(-1, 0.1); }),
            QString::fromUtf8("Start- bzw. Differenzzeit dürfen nicht negativ sein!"));
  EXPECT_EQ(UtilsErrorText([] { IsTimeElapsed(NowDateTime(), -0.1); }),
            QString::fromUtf8("Start- bzw. Differenzzeit dürfen nicht negativ sein!"));
  EXPECT_NO_THROW(IsTimeElapsed(0.5, 1.0));
}

TEST(Delay, NegativeTimeIsRefused) {
  EXPECT_EQ(UtilsErrorText([] { Delay(-1, true); }),
            QString::fromUtf8("Negatives Delay ist nicht erlaubt!"));
}

TEST(Delay, ShortDelaysDoNotProcessEvents) {
  bool lFired = false;
  QTimer::singleShot(0, [&lFired] { lFired = true; });
  Delay(0, true);
  Delay(3, true);
  EXPECT_FALSE(lFired);
  QCoreApplication::processEvents();
  EXPECT_TRUE(lFired);
}

TEST(Delay, LongerDelayKeepsEventsFlowingAndLastsItsTime) {
  int lTicks = 0;
  QTimer lTimer;
  lTimer.setInterval(5);
  QObject::connect(&lTimer, &QTimer::timeout, [&lTicks] { ++lTicks; });
  lTimer.start();
  QElapsedTimer lClock;
  lClock.start();
  Delay(100, true);
  const qint64 lElapsed = lClock.elapsed();
  EXPECT_GE(lElapsed, 100);
  EXPECT_LT(lElapsed, 2000);
  EXPECT_GE(lTicks, 3);
}

TEST(Delay, WithoutKeepResponsiveProcessesNothing) {
  bool lFired = false;
  QTimer::singleShot(0, [&lFired] { lFired = true; });
  QElapsedTimer lClock;
  lClock.start();
  Delay(30, false);
  EXPECT_GE(lClock.elapsed(), 30);
  EXPECT_FALSE(lFired);
  QCoreApplication::processEvents();
}

TEST(Delay, WaitsWithoutSpinningACore) {
  // Generous bound: only the final 10 ms may be polled, so a 300 ms delay that used even
  // half a core would be spinning.
  const double lCpuStart = ProcessCpuMSec();
  Delay(300, true);
  EXPECT_LT(ProcessCpuMSec() - lCpuStart, 150.0);
  const double lCpuStart2 = ProcessCpuMSec();
  Delay(300, false);
  EXPECT_LT(ProcessCpuMSec() - lCpuStart2, 150.0);
}
