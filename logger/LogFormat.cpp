#include "logger/LogFormat.h"

QString tLogFormat::TimeStamp(tDateTime pValue) {
  QTime time = TimeOf(pValue);
  QString text = time == QTime(0, 0) ? FormatShortDate(pValue) : FormatDateTime(pValue);
  return text + QLatin1Char(',') + QStringLiteral("%1").arg(time.msec(), 3, 10, QLatin1Char('0'));
}
