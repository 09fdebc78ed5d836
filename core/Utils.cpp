#include "core/Utils.h"

#include "core/Format.h"
#include "core/Wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <cstdio>

double ScaleLinear(double pSignalStart, double pSignalEnd, double pRangeStart, double pRangeEnd,
                   double pValue) {
  if (pRangeStart == pRangeEnd) {
    throw eUtils(
        QString::fromUtf8("MBA = MBE (%1) ist unzulässig!").arg(FormatFixed(pRangeStart, 2)));
  }
  if (pSignalStart == pSignalEnd) {
    throw eUtils(QString::fromUtf8("SignalBA = SignalBE (%1) ist unzulässig!")
                     .arg(FormatFixed(pSignalStart, 2)));
  }
  // Extended precision where the platform has it, so 4 ... 20 maps without rounding noise.
  const long double lSignalStart = pSignalStart;
  const long double lRangeStart = pRangeStart;
  return static_cast<double>(lSignalStart +
                             (static_cast<long double>(pSignalEnd) - lSignalStart) /
                                 (static_cast<long double>(pRangeEnd) - lRangeStart) *
                                 (static_cast<long double>(pValue) - lRangeStart));
}

std::uint8_t CalcChecksum(const QByteArray& pBytes) {
  // Both protocols count their frame lengths in one byte; a longer input is a caller's fault.
  if (pBytes.size() > 255) {
    throw eRangeError(QString::fromUtf8("Fehler bei Bereichsprüfung: Prüfsumme über %1 Bytes")
                          .arg(pBytes.size()));
  }
  std::uint8_t lSum = 0;
  for (const char lByte : pBytes)
    lSum = static_cast<std::uint8_t>(lSum + static_cast<std::uint8_t>(lByte));
  return static_cast<std::uint8_t>((lSum ^ 0xFF) + 1);
}

std::uint8_t DecimalsForRange(std::uint8_t pMaxChars, double pRangeStart, double pRangeEnd,
                              double pResolutionPercent) {
  const double lSpan = pRangeEnd - pRangeStart;
  const double lX = lSpan * (pResolutionPercent / 100 / 10);
  if (!std::isfinite(lX)) return 0;
  // The decimals needed are the negative decimal exponent of a tenth of the resolution band.
  char lBuffer[64];
  std::snprintf(lBuffer, sizeof lBuffer, "%.17E", lX);
  const QString lText = QString::fromLatin1(lBuffer);
  int lN = 0;
  const int lPos = lText.indexOf(QLatin1String("E-"));
  if (lPos >= 0) {
    // The exponent is read without leading zeros, and at most its first two digits count.
    const int lExp = lText.mid(lPos + 2).toInt();
    lN = QString::number(lExp).left(2).toInt();
  }
  const int lLength = QString::number(std::trunc(lSpan), 'f', 0).size() + 1;
  if (lN != 0 && lN + lLength > pMaxChars) {
    lN = pMaxChars - lLength;
    if (lN < 0) lN = 0;
  }
  return static_cast<std::uint8_t>(lN);
}

QString GetToken(const QString& pSource, std::uint16_t pIndex, QChar pSeparator) {
  const QString lNotFound(pSeparator);
  if (pSource.isEmpty()) return lNotFound;
  const int lLength = pSource.size();
  // 1-based position as the field rule counts it; the last character is never examined.
  int lPos = 1;
  int lField = 1;
  while (lField < pIndex && lPos < lLength) {
    if (pSource.at(lPos - 1) == pSeparator) ++lField;
    ++lPos;
  }
  if (lField != pIndex) return lNotFound;
  if (pSource.at(lPos - 1) == pSeparator) return QString();
  const int lEnd = pSource.indexOf(pSeparator, lPos - 1);
  return pSource.mid(lPos - 1, lEnd < 0 ? -1 : lEnd - (lPos - 1));
}

bool IsTimeElapsed(tDateTime pStart, tDateTime pDifference) {
  if (pStart < 1.0 && pDifference > 1.0) {
    throw eUtils(QString::fromUtf8(
        "Startzeit mit Jahresangabe und Differenzzeit ohne Jahresangabe ist unzulässig!"));
  }
  if (pStart < 0 || pDifference < 0) {
    throw eUtils(QString::fromUtf8("Start- bzw. Differenzzeit dürfen nicht negativ sein!"));
  }
  const tDateTime lNow = pStart >= 1.0 ? NowDateTime() : TimeOfDayNow();
  tDateTime lElapsed = lNow - pStart;
  if (pDifference >= 1.0 && lElapsed > 0) {
    // Differences of a day or more are compared in whole seconds.
    qint64 lMSec = std::llround(lElapsed * MSecsPerDay);
    lMSec -= lMSec % 1000;
    lElapsed = static_cast<double>(lMSec) / MSecsPerDay;
  }
  return lElapsed > pDifference;
}

tDateTime MSecToDateTime(std::uint32_t pMSec) {
  const std::uint32_t lDays = pMSec / 86400000u;
  const std::uint32_t lRest = pMSec % 86400000u;
  return static_cast<double>(lDays) + static_cast<double>(lRest) / MSecsPerDay;
}

tDateTime SecToDateTime(std::uint32_t pSec) {
  const std::uint32_t lDays = pSec / 86400u;
  const std::uint32_t lRest = pSec % 86400u;
  return static_cast<double>(lDays) + static_cast<double>(lRest) * 1000.0 / MSecsPerDay;
}

void Delay(double pMSec, bool pKeepResponsive) {
  if (pMSec < 0) throw eUtils(QString::fromUtf8("Negatives Delay ist nicht erlaubt!"));
  // The last stretch is slept to the microsecond, so the delay ends on time without the
  // event loop's millisecond timers; before that the thread waits for events.
  constexpr double cPollMSec = 10.0;
  QElapsedTimer lClock;
  lClock.start();
  const auto lElapsed = [&lClock] { return lClock.nsecsElapsed() / 1.0e6; };

  if (pKeepResponsive && QCoreApplication::instance() != nullptr &&
      QThread::currentThread() == QCoreApplication::instance()->thread()) {
    // Block in the event loop until the polled stretch: any event (serial data, input, a
    // timer) is handled at once meanwhile.
    const double lWait = pMSec - cPollMSec;
    if (lWait > 0) WaitUntil({}, static_cast<std::int64_t>(lWait));
  } else if (!pKeepResponsive) {
    // Nothing has to run meanwhile: sleep until shortly before the end.
    while (pMSec - lElapsed() > 2.0) {
      QThread::usleep(static_cast<unsigned long>((pMSec - lElapsed() - 2.0) * 1000.0));
    }
  } else {
    // No event loop in this thread: sleep in 5 ms steps until the polled stretch.
    while (pMSec - lElapsed() > cPollMSec)
      QThread::msleep(5);
  }
  // Sleeping, not polling: a core is not spun while nothing happens.
  for (double lLeft = pMSec - lElapsed(); lLeft > 0; lLeft = pMSec - lElapsed())
    QThread::usleep(static_cast<unsigned long>(lLeft * 1000.0) + 1);
}
