// The logger's own number writer must give exactly the texts of the shared formatter.
#include "logger/LogFormat.h"
#include "core/Format.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <random>

TEST(tLogFormat, FixedEqualsTheSharedFormatterIncludingTiesAndNegativeZero) {
  const QLocale saved;
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> spread(-20000, 20000);
  std::vector<double> values = {0,      -0.0,     0.125,   -0.125, 0.375, 2.5,     -2.5,
                                0.5,    1.5,      1.005,   0.0625, 1e-7,  -0.0001, 9.9995,
                                99.995, 999999.5, -0.0049, 0.045,  1e-13, 1e14,    123456789.125};
  for (int i = 0; i < 3000; ++i)
    values.push_back(spread(random));
  // Values on decimal grid points, where binary rounding decides the last digit.
  for (int i = -2000; i <= 2000; ++i)
    values.push_back(i / 1000.0 + 0.0005);
  for (QLocale locale : {QLocale(QLocale::German, QLocale::Germany),
                         QLocale(QLocale::English, QLocale::UnitedStates)}) {
    QLocale::setDefault(locale);
    for (double v : values)
      for (int d = 0; d <= 7; ++d)
        ASSERT_EQ(tLogFormat::Fixed(v, d), FormatFixed(v, d)) << v << " " << d;
  }
  QLocale::setDefault(saved);
}

TEST(tLogFormat, TimeStampHasMillisecondsAndTheDateAloneAtMidnight) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  const tDateTime day = EncodeDate(2026, 3, 4);
  struct tCase {
    tDateTime Value;
    QString Text;
  };
  const tCase cases[] = {
      {day + EncodeTime(14, 3, 7, 45), FormatDateTime(day + EncodeTime(14, 3, 7, 45)) + ",045"},
      {day + EncodeTime(14, 3, 7, 999), FormatDateTime(day + EncodeTime(14, 3, 7, 0)) + ",999"},
      {day + EncodeTime(14, 3, 8, 0), FormatDateTime(day + EncodeTime(14, 3, 8, 0)) + ",000"},
      {day, FormatShortDate(day) + ",000"},
      {day + EncodeTime(0, 0, 0, 1), FormatDateTime(day + EncodeTime(0, 0, 0, 1)) + ",001"},
  };
  for (const tCase& c : cases)
    EXPECT_EQ(tLogFormat::TimeStamp(c.Value), c.Text);
  EXPECT_EQ(tLogFormat::TimeStamp(day), "04.03.26,000");
  QLocale::setDefault(saved);
}
