#pragma once
// Locale-aware writing of numbers and time stamps for everything shown to the user or
// written to log files. All functions use QLocale() (the system locale unless the program or
// a test set another default) and never insert group separators.
#include "core/DateTime.h"

#include <QChar>
#include <QString>

// The decimal separator of the current locale ("," in German, "." in English).
QChar DecimalSeparator();

// pValue with exactly pDecimals decimals, rounded: FormatFixed(3.14159, 2) is "3,14" in German.
QString FormatFixed(double pValue, int pDecimals);

// pValue in the shortest general form with up to 15 significant digits: trailing zeros go,
// and scientific notation ("1E-5", "1,5E20") is used for values below 0.0001 or with more
// than 15 integer digits. 16 gives "16", 0.25 gives "0,25" in German. Pass a single-precision
// value as it is: its exact double value is written (0.1f gives "0,100000001490116").
QString FormatGeneral(double pValue);

// pValue rounded to pDecimals decimals first, then written in the general form, so trailing
// zeros disappear: FormatRoundedGeneral(0.000001, 5) is "0", (16, 5) is "16". Used for range
// ends (5 decimals) and the accuracy (4 decimals).
QString FormatRoundedGeneral(double pValue, int pDecimals);

// The display mask " 0.000;-0.000" for pDecimals decimals (pDecimals 0 gives " 0;-0").
QString SignedMask(int pDecimals);

// pValue written with a display mask of up to three sections "positive;negative;zero". A
// section is literal text around one number pattern of '0' (digit always shown), '#' (digit
// shown when significant) and '.' (decimal separator of the locale): " 0.000;-0.000" gives
// " 1,500" for 1.5 and "-1,500" for -1.5. The negative section carries its own sign; with a
// single section a negative value gets a leading '-'. A value that rounds to zero uses the
// zero section if any, else the first.
QString FormatMask(const QString& pMask, double pValue);

// FormatMask with SignedMask(pDecimals): non-negative values get a leading blank where
// negative ones get their minus sign, so columns of values line up.
QString FormatSigned(double pValue, int pDecimals);

// Reads a number written in the current locale (or with '.' as separator); false if none.
bool TryParseNumber(const QString& pText, double& pValue);

// The locale's short date pattern (Qt pattern letters, e.g. "dd.MM.yy" in German).
QString ShortDateFormat();
// The locale's long time pattern without a time-zone name (e.g. "HH:mm:ss" in German).
QString LongTimeFormat();
// LongTimeFormat with milliseconds after the seconds (e.g. "HH:mm:ss.zzz").
QString LongTimeMsFormat();

QString FormatShortDate(tDateTime pValue);
QString FormatLongTime(tDateTime pValue);
// Long time with milliseconds, e.g. "14:03:07.045".
QString FormatLongTimeMs(tDateTime pValue);
// Short date, a blank and long time: the locale's default date-time text.
QString FormatDateTime(tDateTime pValue);
// pValue written with a Qt date-time pattern ("yyyyMMdd_HHmmsszzz", "dd.MM.yyyy HH:mm:ss").
QString FormatDateTimePattern(tDateTime pValue, const QString& pPattern);
