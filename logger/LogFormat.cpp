#include "logger/LogFormat.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {
// The texts of a run are written once per cell of millions of rows (saving, printing), so the
// locale's properties and the date-time text of the current second are kept between calls.
struct tFormatCache {
  bool Valid = false;
  QLocale Locale;
  bool FastNumbers = false;
  QChar Decimal = QLatin1Char('.');
  qint64 Second = std::numeric_limits<qint64>::min();
  QString SecondText;
};

tFormatCache& Cache() {
  static tFormatCache cache;
  QLocale current;
  if (!cache.Valid || !(current == cache.Locale)) {
    cache = tFormatCache{};
    cache.Valid = true;
    cache.Locale = current;
    // Plain ASCII digits and minus sign: the digits can be written without the locale.
    cache.FastNumbers =
        current.zeroDigit() == QLatin1String("0") && current.negativeSign() == QLatin1String("-");
    cache.Decimal = DecimalSeparator();
  }
  return cache;
}

// pValue with pDecimals decimals, rounded half away from zero on the exact binary value, as
// the locale's own conversion does. False when the fast path does not apply.
bool FastFixed(double pValue, int pDecimals, QChar pDecimal, QString& pText) {
  const double magnitude = std::fabs(pValue);
  // Below 1e-12 the 100 digits of the exact path would no longer be the exact value.
  if (!std::isfinite(pValue) || pDecimals < 0 || pDecimals > 20 || magnitude >= 1e15 ||
      (magnitude != 0 && magnitude < 1e-12))
    return false;
  char buffer[160];
  // One digit more than wanted, correctly rounded. Its last digit decides the rounding, except
  // a 5, which may stand for an exact tie: then the exact value (100 digits) decides.
  auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed,
                              pDecimals + 1);
  if (result.ec != std::errc()) return false;
  if (result.ptr[-1] == '5') {
    result =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed, 100);
    if (result.ec != std::errc()) return false;
  }
  const char* dot = std::find(buffer, result.ptr, '.');
  if (dot == result.ptr) return false;
  char digits[64];
  std::size_t count = std::size_t(dot - buffer);
  if (count + std::size_t(pDecimals) + 1 > sizeof digits) return false;
  std::copy(static_cast<const char*>(buffer), dot, digits);
  std::copy(dot + 1, dot + 1 + pDecimals, digits + count);
  count += std::size_t(pDecimals);
  std::size_t start = 1; // digits[0] is kept free for a carry into a new leading digit
  std::copy_backward(digits, digits + count, digits + count + 1);
  digits[0] = '0';
  ++count;
  if (dot[1 + pDecimals] >= '5') {
    std::size_t i = count - 1;
    while (digits[i] == '9')
      digits[i--] = '0';
    ++digits[i];
    if (i == 0) start = 0;
  }
  bool zero = true;
  for (std::size_t i = start; i < count; ++i)
    zero = zero && digits[i] == '0';
  const std::size_t integerDigits = count - start - std::size_t(pDecimals);
  pText.clear();
  pText.reserve(int(count) + 2);
  if (pValue < 0 && !zero) pText += QLatin1Char('-');
  pText += QLatin1String(digits + start, qsizetype(integerDigits));
  if (pDecimals > 0) {
    pText += pDecimal;
    pText += QLatin1String(digits + start + integerDigits, pDecimals);
  }
  return true;
}
} // namespace

QString tLogFormat::Fixed(double pValue, int pDecimals) {
  const tFormatCache& cache = Cache();
  QString text;
  if (cache.FastNumbers && FastFixed(pValue, pDecimals, cache.Decimal, text)) return text;
  return FormatFixed(pValue, pDecimals);
}

void tLogFormat::AppendFixed(QString& pText, double pValue, int pDecimals) {
  const tFormatCache& cache = Cache();
  QString text;
  if (cache.FastNumbers && FastFixed(pValue, pDecimals, cache.Decimal, text))
    pText += text;
  else
    pText += FormatFixed(pValue, pDecimals);
}

void tLogFormat::AppendTimeStamp(QString& pText, tDateTime pValue) {
  const QTime time = TimeOf(pValue);
  const int msec = time.msec();
  // The default date-time text shows the date alone at exactly midnight.
  if (time == QTime(0, 0)) {
    pText += FormatShortDate(pValue);
  } else {
    tFormatCache& cache = Cache();
    const qint64 second =
        qint64(DateOf(pValue).toJulianDay()) * 86400 + time.msecsSinceStartOfDay() / 1000;
    if (second != cache.Second) {
      cache.Second = second;
      cache.SecondText = FormatDateTime(pValue);
    }
    pText += cache.SecondText;
  }
  const char ms[] = {',', char('0' + msec / 100), char('0' + msec / 10 % 10),
                     char('0' + msec % 10)};
  pText += QLatin1String(ms, 4);
}

QString tLogFormat::TimeStamp(tDateTime pValue) {
  QString text;
  AppendTimeStamp(text, pValue);
  return text;
}
