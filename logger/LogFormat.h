#pragma once
// The texts the logger writes into its table and reports, over the formatting helpers of
// core/: numbers and times in the user's locale.
#include "core/DateTime.h"
#include "core/Format.h"

namespace tLogFormat {
// The same text as FormatFixed, made without the locale's conversion where its digits are
// plain ASCII (the bulk of every saved or printed table).
QString Fixed(double pValue, int pDecimals);
// The default date-time text (the date alone at exactly midnight, as that format has it),
// then "," and the milliseconds as three digits.
QString TimeStamp(tDateTime pValue);
// The same, appended to pText (for writing long tables without temporaries).
void AppendFixed(QString& pText, double pValue, int pDecimals);
void AppendTimeStamp(QString& pText, tDateTime pValue);
inline QString Date(tDateTime pValue) {
  return FormatShortDate(pValue);
}
inline QString Time(tDateTime pValue) {
  return FormatLongTime(pValue);
}
inline tDateTime Now() {
  return NowDateTime();
}
} // namespace tLogFormat
