#pragma once
// Small stateless helpers shared by the protocol layers, the pages, the device information
// record and the localisation engine.
#include "core/DateTime.h"
#include "core/Error.h"

#include <QByteArray>
#include <QChar>
#include <QString>
#include <cstdint>

// Errors of these helpers; their texts are fixed German technical texts.
CORVANE_DECLARE_ERROR(eUtils)

// value mapped linearly from [pRangeStart, pRangeEnd] onto [pSignalStart, pSignalEnd], not
// clamped. Equal range ends raise eUtils "MBA = MBE (%f) ist unzulässig!" (checked first),
// equal signal ends "SignalBA = SignalBE (%f) ist unzulässig!".
double ScaleLinear(double pSignalStart, double pSignalEnd, double pRangeStart, double pRangeEnd,
                   double pValue);

// The byte that makes the bytes plus the checksum add up to 0 modulo 256. More than 255
// bytes raise eRangeError.
std::uint8_t CalcChecksum(const QByteArray& pBytes);

// Decimals to show for a value of the range so that a tenth of the resolution band is
// visible, limited by the characters available (callers pass 6 and 0.1 %).
std::uint8_t DecimalsForRange(std::uint8_t pMaxChars, double pRangeStart, double pRangeEnd,
                              double pResolutionPercent);

// Field pIndex (from 1) of pSource split at pSeparator; the separator itself as a
// one-character text when there is no such field (empty source, index 0, past the end, or a
// trailing separator). An empty field gives the empty text.
QString GetToken(const QString& pSource, std::uint16_t pIndex, QChar pSeparator);

// True once strictly more than pDifference has passed since pStart (a value from
// NowDateTime, or a time of day from TimeOfDayNow). Raises eUtils for a date-less start with
// a difference above a day, or negative arguments.
bool IsTimeElapsed(tDateTime pStart, tDateTime pDifference);

// A count of milliseconds or seconds as a date-time difference, exact to the unit.
tDateTime MSecToDateTime(std::uint32_t pMSec);
tDateTime SecToDateTime(std::uint32_t pSec);

// Waits pMSec milliseconds. With pKeepResponsive, pending events (timers, serial data, input)
// are processed while it waits, so callers must tolerate re-entry; the wait blocks in the
// event loop rather than spinning, and only the last 10 ms are polled for precision. Negative
// times raise eUtils "Negatives Delay ist nicht erlaubt!".
void Delay(double pMSec, bool pKeepResponsive);
