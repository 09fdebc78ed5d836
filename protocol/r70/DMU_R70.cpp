#include "protocol/r70/DMU_R70.h"

#include "protocol/common/FrameCodec.h"
#include "protocol/r70/DMU_R70DataLinkRS232.h"
#include "protocol/r70/R70Values.h"

#include <exception>

namespace {

const char* const cAdjustName[] = {"NP", "SP"};
constexpr quint8 cRaiseCode[] = {0x11, 0x12, 0x13};
constexpr quint8 cLowerCode[] = {0x44, 0x45, 0x46};
constexpr quint8 cAdjustOn = 0xAA;
constexpr quint8 cAdjustConfirm = 0x88;

using FrameCodec::Bytes;
using FrameCodec::SingleOf;

// Runs pWork and turns any failure into eDMU_R70 with pPrefix before the failure's text;
// nested calls therefore repeat their prefixes.
template <typename F> auto Wrapped(const QString& pPrefix, F&& pWork) -> decltype(pWork()) {
  try {
    return pWork();
  } catch (const eError& e) {
    throw eDMU_R70(pPrefix + e.Message(), e);
  } catch (const std::exception& e) {
    throw eDMU_R70(pPrefix + ErrorText(e));
  }
}

QString NameOf(tToAdjust pToAdjust) {
  if (pToAdjust != taNp && pToAdjust != taSp) throw eDMU_R70(QStringLiteral("Falscher Parameter!"));
  return QString::fromLatin1(cAdjustName[pToAdjust]);
}

quint8 CodeOfStep(const quint8 (&pCodes)[3], quint8 pStep) {
  if (pStep > 2) throw eDMU_R70(QStringLiteral("Falscher Parameter!"));
  return pCodes[pStep];
}


} // namespace

tDMU_R70::tDMU_R70(std::unique_ptr<iComPort> pComObj, bool pAutoBaud)
    : mDataLink(std::make_unique<tDMU_R70DataLinkRS232>(std::move(pComObj), pAutoBaud)) {}


tDMU_R70::~tDMU_R70() = default;

QByteArray tDMU_R70::Transfer(const QByteArray& pRequest, const QByteArray& pExpectedStart,
                              qint32 pDataLength) {
  QByteArray reply;
  mDataLink->Transfer(pRequest, pExpectedStart, reply, pDataLength);
  return reply;
}

quint8 tDMU_R70::ReadEEPROM(quint8 pAddress) {
  return Wrapped(QStringLiteral("Fehler beim Lesen des EEPROM: "), [&] {
    return quint8(Transfer(Bytes({'E', 'R', pAddress}), Bytes({0x1C, pAddress}), 1)[0]);
  });
}

quint8 tDMU_R70::ReadFLASH(quint8 pAddress) {
  return Wrapped(QStringLiteral("Fehler beim Lesen des FLASH: "), [&] {
    return quint8(Transfer(Bytes({'F', 'R', pAddress}), Bytes({0x1E, pAddress}), 1)[0]);
  });
}

void tDMU_R70::WriteEEPROM(quint8 pAddress, quint8 pValue) {
  Wrapped(QStringLiteral("Fehler beim Schreiben des EEPROM: "), [&] {
    Transfer(Bytes({'X', pAddress, pValue}), Bytes({0x1D, pAddress, pValue}), 0);
  });
}

void tDMU_R70::SoftwareReset() {
  Wrapped(QStringLiteral("Fehler beim Reset: "), [&] {
    Transfer(Bytes({'R', 'S', 0x00}), QByteArray(), -2);
  });
}

QString tDMU_R70::ReadFirmwareRevision() {
  return Wrapped(QStringLiteral("Fehler beim Lesen der Firmware-Version: "),
                 [&] { return R70Values::FirmwareText(Transfer("SRH", "sr", 2)); });
}

QString tDMU_R70::ReadSerialDigits() {
  return Wrapped(QStringLiteral("Fehler beim Lesen der Seriennummer: "), [&] {
    return R70Values::SerialDigits(Transfer(Bytes({'K', 'N', 0x00}), "K", 4));
  });
}

QString tDMU_R70::ReadSerialNumber() {
  return Wrapped(QStringLiteral("Fehler beim Lesen der Seriennummer: "), [&] {
    QString text = QChar(ReadFLASH(133));
    text += ReadSerialDigits();
    text += QChar(ReadFLASH(138));
    return text;
  });
}

tR70Range tDMU_R70::ReadRange() {
  tR70Range range;
  const QByteArray start = Wrapped(QStringLiteral("Fehler beim Lesen des MBA: "), [&] {
    return Transfer(Bytes({'M', 'A', 0x00}), Bytes({0x03}), 5);
  });
  const QByteArray end = Wrapped(QStringLiteral("Fehler beim Lesen des MBE: "), [&] {
    return Transfer(Bytes({'M', 'E', 0x00}), Bytes({0x04}), 5);
  });
  range.Start = SingleOf(start, 0);
  range.StartCode = quint8(start[4]);
  range.End = SingleOf(end, 0);
  range.EndCode = quint8(end[4]);
  return range;
}

tR70ProductionDate tDMU_R70::ReadDateOfProduction() {
  return Wrapped(QStringLiteral("Fehler beim Lesen des Herstelldatums: "), [&] {
    const QByteArray data = Transfer(Bytes({'H', 'D', 0x00}), Bytes({0x08}), 2);
    return tR70ProductionDate{quint8(data[0]), quint8(data[1])};
  });
}

double tDMU_R70::ReadAccuracy() {
  return Wrapped(QStringLiteral("Fehler beim Lesen der Genauigkeit: "), [&] {
    return R70Values::Accuracy(
        quint8(Transfer(Bytes({'G', 'K', 0x00}), Bytes({0x06, 0x00}), 1)[0]));
  });
}

void tDMU_R70::SetAdjustOn(tToAdjust pToAdjust) {
  const QString name = NameOf(pToAdjust);
  Wrapped("Fehler beim Einschalten Verstellung " + name + ": ", [&] {
    Transfer(name.toLatin1() + char(cAdjustOn), name.toLower().toLatin1() + char(cAdjustOn), 0);
  });
}

bool tDMU_R70::AdjustStep(tToAdjust pToAdjust, quint8 pCode, const QString& pPrefix) {
  const QString name = NameOf(pToAdjust);
  return Wrapped(pPrefix + name + ": ", [&] {
    const QByteArray data = Transfer(name.toLatin1() + char(pCode), name.toLower().toLatin1(), 1);
    // The instrument echoes the code of a step it made; 0x00 marks a refused step.
    if (quint8(data[0]) != pCode || data[0] == '\0')
      throw eError(QStringLiteral("Ungültiger Rückgabewert"));
    return true;
  });
}

bool tDMU_R70::AdjustInc(tToAdjust pToAdjust, quint8 pStep) {
  NameOf(pToAdjust);
  return AdjustStep(pToAdjust, CodeOfStep(cRaiseCode, pStep),
                    QStringLiteral("Fehler beim Anheben der Verstellung "));
}

bool tDMU_R70::AdjustDec(tToAdjust pToAdjust, quint8 pStep) {
  NameOf(pToAdjust);
  return AdjustStep(pToAdjust, CodeOfStep(cLowerCode, pStep),
                    QStringLiteral("Fehler beim Absenken der Verstellung "));
}

void tDMU_R70::AdjustSave(tToAdjust pToAdjust) {
  const QString name = NameOf(pToAdjust);
  Wrapped("Fehler beim Bestätigen der Verstellung " + name + ": ", [&] {
    Transfer(name.toLatin1() + char(cAdjustConfirm),
             name.toLower().toLatin1() + char(cAdjustConfirm), 0);
  });
}

void tDMU_R70::FactoryReset(tToAdjust pToAdjust) {
  const QString name = NameOf(pToAdjust);
  const QByteArray command = pToAdjust == taNp ? "RN" : "RS";
  Wrapped("Fehler beim Reset " + name + ": ",
          [&] { Transfer(command + char(cAdjustConfirm), command, 0); });
}
