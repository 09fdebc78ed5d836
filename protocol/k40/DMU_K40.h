#pragma once
// Command layer of the K40 protocol (K-40-P / K-41-P and ): one synchronous
// request/reply transaction per instrument command over an open port at 9600 bit/s.
#include "core/Types.h"
#include "serial/ComPortIntf.h"

#include <QByteArray>
#include <QString>
#include <memory>

class tDMU_K40 {
public:
  // Takes over the open port and installs its data-available handler on it.
  explicit tDMU_K40(std::unique_ptr<iComPort> pComObj);
  // Closes and releases the port.
  ~tDMU_K40();
  tDMU_K40(const tDMU_K40&) = delete;
  tDMU_K40& operator=(const tDMU_K40&) = delete;

  // Range start and end in the instrument's unit, the unit code (high nibble of cell 81) and
  // the gauge/absolute flag. Errors of the two range transactions pass unwrapped.
  void ReadRange(float& pMBA, float& pMBE, quint8& pUnit, tDruckKennung& pDruckkennung);
  quint8 ReadEEPROM(quint8 pAdr);
  void WriteEEPROM(quint8 pAdr, quint8 pDat);
  // The head number, four characters, used as serial number.
  QString ReadIdent();
  // Major and minor revision, "1.02" for 0x12.
  QString ReadFirmwareRevision();
  void ReadDateOfProduction(quint8& pMonth, quint8& pYear);
  void SetToPollMode();
  void SetAdjustOn(tToAdjust pToAdjust);
  void AdjustInc(tToAdjust pToAdjust);
  void AdjustDec(tToAdjust pToAdjust);
  void AdjustSave(tToAdjust pToAdjust);
  void FactoryReset(tToAdjust pToAdjust);
  // Sent without waiting for any reply.
  void SoftwareReset();
  // Closes the port for good: a transaction waiting now and every later one fail at once
  // with cReleasedText. For an instrument that is being removed.
  void Abort();

  iComPort* ComObj() const { return mComObj.get(); }

  // Reply time-out of every transaction.
  static constexpr quint32 cReplyTimeoutMs = 1500;
  // Raised when the object was destroyed while one of its transactions waited.
  static const char* const cReleasedText;

private:
  QByteArray Transact(const QByteArray& pCmd, const QByteArray& pPrefix, int pDataLength,
                      bool pAtEnd);
  void TriggerAvail(iComPort* pCP, quint16 pCount);
  // Pumps events for as long as pBytes take on the line at the port's rate.
  void WaitLineTime(int pBytes);

  std::unique_ptr<iComPort> mComObj;
  QByteArray mReceived;
  bool mAborted = false;
  // Cleared on destruction: a handler run inside a wait may destroy this object (the user
  // disconnects during a command), and the wait must then end without touching it.
  std::shared_ptr<bool> mAlive = std::make_shared<bool>(true);
};
