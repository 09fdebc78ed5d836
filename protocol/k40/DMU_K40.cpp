#include "protocol/k40/DMU_K40.h"

#include "core/Utils.h"
#include "core/Wait.h"
#include "protocol/common/FrameCodec.h"
#include "protocol/k40/K40Values.h"

namespace {

QByteArray Cmd(char pA, char pB, quint8 pParam) {
  QByteArray b;
  b.append(pA);
  b.append(pB);
  b.append(char(pParam));
  return b;
}

QString AdjustName(tToAdjust pToAdjust) {
  switch (pToAdjust) {
  case taNp:
    return QStringLiteral("NP");
  case taSp:
    return QStringLiteral("SP");
  }
  return QString();
}

// Runs pAction and rethrows any error with pPrefix in front of its message.
template <typename F> auto Wrapped(const QString& pPrefix, F&& pAction) -> decltype(pAction()) {
  try {
    return pAction();
  } catch (const eError& e) {
    throw eError(pPrefix + e.Message(), e);
  } catch (const std::exception& e) {
    throw eError(pPrefix + QString::fromLocal8Bit(e.what()));
  }
}

} // namespace

const char* const tDMU_K40::cReleasedText = "Verbindung beendet";

tDMU_K40::tDMU_K40(std::unique_ptr<iComPort> pComObj) : mComObj(std::move(pComObj)) {
  mComObj->SetOnTriggerAvail([this](iComPort* pCP, quint16 pCount) { TriggerAvail(pCP, pCount); });
}

tDMU_K40::~tDMU_K40() {
  *mAlive = false;
  if (!mComObj) return;
  try {
    mComObj->SetOnTriggerAvail({});
    mComObj->SetOpen(false);
  } catch (...) {
    // Closing a port whose device has vanished may fail; it is released all the same.
  }
}

void tDMU_K40::TriggerAvail(iComPort* pCP, quint16 pCount) {
  for (quint16 i = 0; i < pCount; ++i)
    mReceived.append(char(pCP->ReadByte()));
}

void tDMU_K40::Abort() {
  mAborted = true;
  if (!mComObj) return;
  try {
    mComObj->SetOnTriggerAvail({});
    mComObj->SetOpen(false);
  } catch (...) {
    // A vanished device may refuse closing; nothing more is sent either way.
  }
}

QByteArray tDMU_K40::Transact(const QByteArray& pCmd, const QByteArray& pPrefix, int pDataLength,
                              bool pAtEnd) {
  if (mAborted) throw eError(QString::fromUtf8(cReleasedText));
  FrameCodec::SendRequest(*mComObj, pCmd, false);
  mReceived.clear();
  // No reply is expected. Still let the frame leave the line before returning: the next
  // request starts by clearing the transmit buffer and would otherwise discard it unsent.
  if (pDataLength == -2 && pPrefix.isEmpty()) {
    WaitLineTime(int(pCmd.size()) + 2);
    return QByteArray();
  }
  const qsizetype total = FrameCodec::ReplyLength(pPrefix.size(), pDataLength);
  const std::shared_ptr<bool> alive = mAlive;
  QByteArray reply;
  const auto arrived = [&] {
    if (!*alive || mAborted) return true;
    // At the end: whatever came before the reply (an echo, a stray byte) is passed over.
    const bool complete = pAtEnd ? mReceived.size() >= total : mReceived.size() == total;
    reply = pAtEnd ? mReceived.right(total) : mReceived;
    return complete && reply.startsWith(pPrefix);
  };
  const bool done = WaitUntil(arrived, cReplyTimeoutMs);
  if (!*alive || mAborted) throw eError(QString::fromUtf8(cReleasedText));
  if (!done) throw eError(QStringLiteral("Timeout!"));
  if (pDataLength == -2) return QByteArray();
  if (!FrameCodec::SumValid(reply)) throw eError(QStringLiteral("Checksumme fehlerhaft"));
  return FrameCodec::Data(reply, pPrefix, pDataLength);
}

void tDMU_K40::WaitLineTime(int pBytes) {
  const int baud = mComObj->Baud() > 0 ? mComObj->Baud() : 9600;
  const qint64 lineMs = (qint64(pBytes) * 10 * 1000 + baud - 1) / baud + 2;
  const std::shared_ptr<bool> alive = mAlive;
  WaitUntil([&] { return !*alive || mAborted; }, lineMs);
}

void tDMU_K40::ReadRange(float& pMBA, float& pMBE, quint8& pUnit, tDruckKennung& pDruckkennung) {
  const QByteArray start = Transact(Cmd('M', 'A', 0x00), QByteArray(1, char(0x03)), 3, false);
  pMBA = K40Values::RangeValue(start, true);
  pDruckkennung = K40Values::RangeKennung(start);
  const QByteArray end = Transact(Cmd('M', 'E', 0x00), QByteArray(1, char(0x04)), 3, false);
  pMBE = K40Values::RangeValue(end, false);
  pUnit = ReadEEPROM(81) & 0xF0;
}

quint8 tDMU_K40::ReadEEPROM(quint8 pAdr) {
  return Wrapped(QStringLiteral("Fehler beim Lesen des EEPROM: "), [&] {
    QByteArray prefix;
    prefix.append(char(0x1C)).append(char(pAdr));
    return quint8(Transact(Cmd('E', 'R', pAdr), prefix, 1, false)[0]);
  });
}

void tDMU_K40::WriteEEPROM(quint8 pAdr, quint8 pDat) {
  Wrapped(QStringLiteral("Fehler beim Schreiben des EEPROM: "), [&] {
    QByteArray prefix;
    prefix.append(char(0x1D)).append(char(pAdr)).append(char(pDat));
    Transact(Cmd('X', char(pAdr), pDat), prefix, 0, false);
  });
}

QString tDMU_K40::ReadIdent() {
  return Wrapped(QStringLiteral("Fehler beim Lesen der Kopfnummer: "), [&] {
    return K40Values::IdentText(Transact(Cmd('K', 'N', 0x00), QByteArray("K"), 4, false));
  });
}

QString tDMU_K40::ReadFirmwareRevision() {
  return Wrapped(QStringLiteral("Fehler beim Lesen der Firmware-Version: "), [&] {
    const quint8 b = quint8(Transact(Cmd('S', 'R', 0x00), QByteArray(1, char(0x01)), 2, false)[0]);
    return K40Values::FirmwareText(b);
  });
}

void tDMU_K40::ReadDateOfProduction(quint8& pMonth, quint8& pYear) {
  Wrapped(QStringLiteral("Fehler beim Lesen des Herstelldatums: "), [&] {
    const QByteArray d = Transact(Cmd('H', 'D', 0x00), QByteArray(1, char(0x08)), 2, false);
    pMonth = quint8(d[0]);
    pYear = quint8(d[1]);
  });
}

void tDMU_K40::SetToPollMode() {
  Wrapped(QStringLiteral("Fehler beim Poll-Mode Einstellen: "), [&] {
    // Cyclic frames may still be arriving: only the newest bytes count.
    Transact(Cmd('S', 'O', 0xFF), QByteArray("so\xFF", 3), 0, true);
  });
}

void tDMU_K40::SetAdjustOn(tToAdjust pToAdjust) {
  const QString name = AdjustName(pToAdjust);
  Wrapped("Fehler beim Einschalten Verstellung " + name + ": ", [&] {
    const QByteArray n = name.toLatin1();
    Transact(Cmd(n[0], n[1], 0xAA), QByteArray("NP"), 0, false);
  });
}

void tDMU_K40::AdjustInc(tToAdjust pToAdjust) {
  const QString name = AdjustName(pToAdjust);
  Wrapped("Fehler beim Anheben der Verstellung " + name + ": ", [&] {
    const QByteArray n = name.toLatin1();
    Transact(Cmd(n[0], n[1], 0x11), QByteArray("NP"), 0, false);
  });
}

void tDMU_K40::AdjustDec(tToAdjust pToAdjust) {
  const QString name = AdjustName(pToAdjust);
  Wrapped("Fehler beim Absenken der Verstellung " + name + ": ", [&] {
    // The span is lowered with "U", not "D".
    const QByteArray cmd = pToAdjust == taSp ? QByteArray("SPU") : QByteArray("NPD");
    Transact(cmd, QByteArray("NP"), 0, false);
  });
}

void tDMU_K40::AdjustSave(tToAdjust pToAdjust) {
  const QString name = AdjustName(pToAdjust);
  Wrapped("Fehler beim Bestätigen der Verstellung " + name + ": ", [&] {
    const QByteArray n = name.toLatin1();
    Transact(Cmd(n[0], n[1], 0x88), QByteArray("NP"), 0, false);
  });
}

void tDMU_K40::FactoryReset(tToAdjust pToAdjust) {
  const QString name = AdjustName(pToAdjust);
  Wrapped("Fehler beim Reset " + name + ": ", [&] {
    QByteArray cmd;
    if (pToAdjust == taNp)
      cmd = Cmd('R', 'N', 0x88);
    else if (pToAdjust == taSp)
      cmd = Cmd('R', 'S', 0x88);
    else
      throw eError(QStringLiteral("Falscher Parameter!"));
    Transact(cmd, QByteArray("RN"), 0, false);
  });
}

void tDMU_K40::SoftwareReset() {
  Wrapped(QStringLiteral("Fehler beim Reset: "),
          [&] { Transact(Cmd('R', 'S', 0x00), QByteArray(), -2, false); });
}
