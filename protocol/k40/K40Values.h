#pragma once
// How the K40 protocol writes its values into data bytes. The command layer, the device
// interface and the traffic decoder read them the same way.
#include "core/Types.h"

#include <QByteArray>
#include <QString>

namespace K40Values {

// Range start ("MA", pStart) or end ("ME") from the three data bytes: a mantissa and a
// power of ten. Only the start can be negative.
float RangeValue(const QByteArray& pData, bool pStart);
// Gauge or absolute range, from bit 7 of the third "MA" data byte.
tDruckKennung RangeKennung(const QByteArray& pData);
// Pressure of a "P" or "X" live reply in the unit of the instrument's range.
double Pressure(const QByteArray& pData);
// Temperature of a "T" live reply in °C.
double Temperature(const QByteArray& pData);
// Status byte of a "k" live reply.
quint8 Status(const QByteArray& pData);
// Firmware revision from the first "SR" data byte: 0x12 gives "1.02".
QString FirmwareText(quint8 pRevision);
// The head number of a "KN" reply; its characters are single bytes of the ANSI code page.
QString IdentText(const QByteArray& pData);

} // namespace K40Values
