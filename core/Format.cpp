#include "core/Format.h"

#include <QLocale>
#include <QStringList>
#include <cmath>

namespace {
// The current locale without group separators: values are never grouped in this program.
QLocale NumberLocale() {
  QLocale lLocale;
  lLocale.setNumberOptions(lLocale.numberOptions() | QLocale::OmitGroupSeparator);
  return lLocale;
}

// Writes the digit string pDigits (no leading zeros, at least one digit) with the decimal
// exponent pExp (value = 0.d1d2d3... x 10^pExp) in the general form.
QString GeneralFromDigits(const QString& pDigits, int pExp, bool pNegative) {
  const QString lSep = QString(DecimalSeparator());
  QString lText;
  if (pExp > 15 || pExp < -3) {
    // Scientific: one digit before the separator, exponent without '+' or leading zeros.
    lText = pDigits.left(1);
    if (pDigits.size() > 1) lText += lSep + pDigits.mid(1);
    lText += QLatin1Char('E') + QString::number(pExp - 1);
  } else if (pExp <= 0) {
    lText = QLatin1Char('0') + lSep + QString(-pExp, QLatin1Char('0')) + pDigits;
  } else if (pDigits.size() <= pExp) {
    lText = pDigits + QString(pExp - pDigits.size(), QLatin1Char('0'));
  } else {
    lText = pDigits.left(pExp) + lSep + pDigits.mid(pExp);
  }
  return pNegative ? QLatin1Char('-') + lText : lText;
}

// One section of a display mask: literal text before and after a number pattern.
struct tMaskSection {
  QString mPrefix;
  QString mSuffix;
  int mMinInt = 0; // '0's before the separator
  int mMinDec = 0; // '0's after the separator
  int mMaxDec = 0; // '0's and '#'s after the separator
  bool mHasPattern = false;
};

tMaskSection ParseSection(const QString& pSection) {
  tMaskSection lResult;
  int lStart = -1;
  int lEnd = -1;
  for (int i = 0; i < pSection.size(); ++i) {
    const QChar c = pSection.at(i);
    if (c == QLatin1Char('0') || c == QLatin1Char('#') || c == QLatin1Char('.')) {
      if (lStart < 0) lStart = i;
      lEnd = i + 1;
    } else if (lStart >= 0) {
      break;
    }
  }
  if (lStart < 0) {
    lResult.mPrefix = pSection;
    return lResult;
  }
  lResult.mHasPattern = true;
  lResult.mPrefix = pSection.left(lStart);
  lResult.mSuffix = pSection.mid(lEnd);
  bool lAfterSep = false;
  for (int i = lStart; i < lEnd; ++i) {
    const QChar c = pSection.at(i);
    if (c == QLatin1Char('.')) {
      lAfterSep = true;
    } else if (lAfterSep) {
      ++lResult.mMaxDec;
      if (c == QLatin1Char('0')) lResult.mMinDec = lResult.mMaxDec;
    } else if (c == QLatin1Char('0')) {
      ++lResult.mMinInt;
    }
  }
  return lResult;
}

// The absolute value written as the section's pattern asks.
QString FormatSectionNumber(const tMaskSection& pSection, double pAbs) {
  QString lText = QString::number(pAbs, 'f', pSection.mMaxDec);
  int lSepPos = lText.indexOf(QLatin1Char('.'));
  QString lInt = lSepPos < 0 ? lText : lText.left(lSepPos);
  QString lDec = lSepPos < 0 ? QString() : lText.mid(lSepPos + 1);
  while (lDec.size() > pSection.mMinDec && lDec.endsWith(QLatin1Char('0')))
    lDec.chop(1);
  if (lInt == QLatin1String("0") && pSection.mMinInt == 0) lInt.clear();
  while (lInt.size() < pSection.mMinInt)
    lInt.prepend(QLatin1Char('0'));
  return lDec.isEmpty() ? lInt : lInt + DecimalSeparator() + lDec;
}
} // namespace

QChar DecimalSeparator() {
  const QString lSep = QLocale().decimalPoint();
  return lSep.isEmpty() ? QLatin1Char('.') : lSep.at(0);
}

QString FormatFixed(double pValue, int pDecimals) {
  if (!std::isfinite(pValue)) return QString::number(pValue);
  QString lText = NumberLocale().toString(pValue, 'f', pDecimals);
  // Qt writes "-0,00" for small negative values that round to zero; show them as zero.
  const QString lZero = NumberLocale().toString(0.0, 'f', pDecimals);
  if (lText.startsWith(QLatin1Char('-')) && lText.mid(1) == lZero) lText = lZero;
  return lText;
}

QString FormatGeneral(double pValue) {
  if (std::isnan(pValue)) return QStringLiteral("NAN");
  if (std::isinf(pValue)) return pValue < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
  if (pValue == 0) return QStringLiteral("0");
  // 15 significant digits in scientific form: d.dddddddddddddde[+-]xx
  const QString lSci = QString::number(std::fabs(pValue), 'e', 14);
  const int lE = lSci.indexOf(QLatin1Char('e'));
  QString lDigits = lSci.left(lE);
  lDigits.remove(QLatin1Char('.'));
  while (lDigits.size() > 1 && lDigits.endsWith(QLatin1Char('0')))
    lDigits.chop(1);
  const int lExp = lSci.mid(lE + 1).toInt() + 1;
  return GeneralFromDigits(lDigits, lExp, pValue < 0);
}

QString FormatRoundedGeneral(double pValue, int pDecimals) {
  // Round through the decimal text, as the value is shown, not through binary arithmetic.
  const double lRounded = QString::number(pValue, 'f', pDecimals).toDouble();
  return FormatGeneral(lRounded == 0 ? 0.0 : lRounded);
}

QString SignedMask(int pDecimals) {
  QString lPattern = QStringLiteral("0");
  if (pDecimals > 0) lPattern += QLatin1Char('.') + QString(pDecimals, QLatin1Char('0'));
  return QLatin1Char(' ') + lPattern + QStringLiteral(";-") + lPattern;
}

QString FormatMask(const QString& pMask, double pValue) {
  const QStringList lSections = pMask.split(QLatin1Char(';'));
  const tMaskSection lPositive = ParseSection(lSections.value(0));
  const double lAbs = std::fabs(pValue);
  // The rounding of the first section decides whether the value counts as zero.
  const QString lAbsText = QString::number(lAbs, 'f', lPositive.mMaxDec);
  const bool lZero = lAbsText.toDouble() == 0;
  if (lZero) {
    const tMaskSection lSection = lSections.size() >= 3 ? ParseSection(lSections.at(2)) : lPositive;
    if (!lSection.mHasPattern) return lSection.mPrefix;
    return lSection.mPrefix + FormatSectionNumber(lSection, 0) + lSection.mSuffix;
  }
  if (pValue < 0) {
    if (lSections.size() >= 2 && !lSections.at(1).isEmpty()) {
      const tMaskSection lNegative = ParseSection(lSections.at(1));
      if (!lNegative.mHasPattern) return lNegative.mPrefix;
      return lNegative.mPrefix + FormatSectionNumber(lNegative, lAbs) + lNegative.mSuffix;
    }
    return QLatin1Char('-') + lPositive.mPrefix + FormatSectionNumber(lPositive, lAbs) +
           lPositive.mSuffix;
  }
  if (!lPositive.mHasPattern) return lPositive.mPrefix;
  return lPositive.mPrefix + FormatSectionNumber(lPositive, lAbs) + lPositive.mSuffix;
}

QString FormatSigned(double pValue, int pDecimals) {
  return FormatMask(SignedMask(pDecimals), pValue);
}

bool TryParseNumber(const QString& pText, double& pValue) {
  const QString lText = pText.trimmed();
  bool lOk = false;
  double lValue = NumberLocale().toDouble(lText, &lOk);
  if (!lOk) lValue = QLocale::c().toDouble(lText, &lOk);
  if (lOk) pValue = lValue;
  return lOk;
}

QString ShortDateFormat() {
  return QLocale().dateFormat(QLocale::ShortFormat);
}

QString LongTimeFormat() {
  // Qt's long time format names the time zone ("t"); log files and labels show clock time only.
  QString lFormat = QLocale().timeFormat(QLocale::LongFormat);
  QString lResult;
  bool lQuoted = false;
  for (const QChar c : lFormat) {
    if (c == QLatin1Char('\'')) lQuoted = !lQuoted;
    if (!lQuoted && c == QLatin1Char('t')) continue;
    lResult += c;
  }
  return lResult.trimmed();
}

QString LongTimeMsFormat() {
  QString lFormat = LongTimeFormat();
  const int lPos = lFormat.indexOf(QLatin1String("ss"));
  if (lPos < 0) return lFormat + QStringLiteral(".zzz");
  return lFormat.insert(lPos + 2, QStringLiteral(".zzz"));
}

QString FormatShortDate(tDateTime pValue) {
  return QLocale().toString(DateOf(pValue), ShortDateFormat());
}

QString FormatLongTime(tDateTime pValue) {
  return QLocale().toString(TimeOf(pValue), LongTimeFormat());
}

QString FormatLongTimeMs(tDateTime pValue) {
  return QLocale().toString(TimeOf(pValue), LongTimeMsFormat());
}

QString FormatDateTime(tDateTime pValue) {
  return FormatShortDate(pValue) + QLatin1Char(' ') + FormatLongTime(pValue);
}

QString FormatDateTimePattern(tDateTime pValue, const QString& pPattern) {
  return QLocale().toString(ToQDateTime(pValue), pPattern);
}
