#pragma once
// How the R70 protocol writes its values into data bytes. The command layer, the device
// interface and the traffic decoder read them the same way.
#include <QByteArray>
#include <QString>

namespace R70Values {

// Firmware revision of an "sr" reply: the two bytes in decimal, 2 and 15 give "2.15".
QString FirmwareText(const QByteArray& pData);
// Serial digits of a "K" reply: a signed 32-bit number, least significant byte first, with
// at least seven digits.
QString SerialDigits(const QByteArray& pData);
// Accuracy of a "GK" reply from its data byte.
double Accuracy(quint8 pByte);
// Temperature of a "t" live reply in °C: signed, most significant byte first, in 1/16 °C.
double Temperature(const QByteArray& pData);

} // namespace R70Values
