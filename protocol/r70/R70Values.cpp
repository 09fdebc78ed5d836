#include "protocol/r70/R70Values.h"

#include <QtEndian>

namespace R70Values {

QString FirmwareText(const QByteArray& pData) {
  return QString::number(quint8(pData[0])) + '.' + QString::number(quint8(pData[1]));
}

QString SerialDigits(const QByteArray& pData) {
  return QString::asprintf("%.7d", qFromLittleEndian<qint32>(pData.constData()));
}

double Accuracy(quint8 pByte) {
  return pByte / 200.0;
}

double Temperature(const QByteArray& pData) {
  const qint16 t = qint16(quint16(quint8(pData[0])) << 8 | quint8(pData[1]));
  return t * 0.0625;
}

} // namespace R70Values
