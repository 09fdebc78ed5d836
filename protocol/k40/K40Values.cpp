#include "protocol/k40/K40Values.h"

#include <cmath>
#include <cstdlib>

namespace K40Values {

float RangeValue(const QByteArray& pData, bool pStart) {
  const int b1 = quint8(pData[0]), b2 = quint8(pData[1]), b3 = quint8(pData[2]);
  int mantissa = pStart ? b1 * 256 + (b2 & 0x7F) : b1 * 256 + b2;
  if (pStart && (b2 & 0x80)) mantissa = -mantissa;
  int exponent = b3 & 0x3F;
  if (b3 & 0x40) exponent = -exponent;
  return float(mantissa * std::pow(10.0, exponent));
}

tDruckKennung RangeKennung(const QByteArray& pData) {
  return (quint8(pData[2]) & 0x80) ? dkAbsolut : dkRelativ;
}

double Pressure(const QByteArray& pData) {
  const int d1 = quint8(pData[0]), d2 = quint8(pData[1]), d3 = quint8(pData[2]);
  double magnitude = (d1 & 0x7F) * 256 + d2;
  int exponent = (d3 & 0x38) >> 3;
  if (d3 & 0x40) exponent = -exponent;
  double value = magnitude;
  for (int i = 0; i < std::abs(exponent); ++i)
    value = exponent < 0 ? value / 10 : value * 10;
  return (d1 & 0x80) ? -value : value;
}

double Temperature(const QByteArray& pData) {
  const int d1 = quint8(pData[0]), d2 = quint8(pData[1]);
  const double value = ((d1 & 0xFE) * 256 + d2) / 2.0;
  return (d1 & 0x01) ? -value : value;
}

quint8 Status(const QByteArray& pData) {
  return quint8(pData[2]);
}

QString FirmwareText(quint8 pRevision) {
  return QString::asprintf("%d.%.2d", pRevision >> 4, pRevision & 0x0F);
}

QString IdentText(const QByteArray& pData) {
  // Latin-1 stands for the ANSI code page.
  return QString::fromLatin1(pData);
}

} // namespace K40Values
