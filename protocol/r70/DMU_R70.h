#pragma once
// R70 command layer: one typed operation per instrument command, each a few transfers on the
// data link. Every failure comes back as eDMU_R70 whose text names the operation.
#include "core/Error.h"
#include "core/Types.h"
#include "protocol/r70/R70_DataLink.h"
#include "serial/ComPortIntf.h"

#include <QString>
#include <memory>

CORVANE_DECLARE_ERROR(eDMU_R70)

// Measuring range as "MA"/"ME" report it.
struct tR70Range {
  float Start = 0;
  float End = 0;
  quint8 StartCode = 0;
  quint8 EndCode = 0;
};

// Production month and year (minus 2000) as "HD" reports them.
struct tR70ProductionDate {
  quint8 Month = 0;
  quint8 Year = 0;
};

class tDMU_R70 {
public:
  // Builds the serial data link on the open port; the link owns the port from here on.
  tDMU_R70(std::unique_ptr<iComPort> pComObj, bool pAutoBaud);
  ~tDMU_R70();
  tDMU_R70(const tDMU_R70&) = delete;
  tDMU_R70& operator=(const tDMU_R70&) = delete;

  // Ends all traffic for good (see iR70_DataLink::Abort).
  void Abort() { mDataLink->Abort(); }

  quint8 ReadEEPROM(quint8 pAddress);
  quint8 ReadFLASH(quint8 pAddress);
  void WriteEEPROM(quint8 pAddress, quint8 pValue);
  void SoftwareReset();
  QString ReadFirmwareRevision();
  QString ReadSerialDigits();
  QString ReadSerialNumber();
  tR70Range ReadRange();
  tR70ProductionDate ReadDateOfProduction();
  double ReadAccuracy();
  // pToAdjust: zero point ("NP") or span ("SP"); pStep: 0, 1, 2 for steps of 1, 10, 100.
  // A target or step outside these raises "Falscher Parameter!".
  void SetAdjustOn(tToAdjust pToAdjust);
  bool AdjustInc(tToAdjust pToAdjust, quint8 pStep);
  bool AdjustDec(tToAdjust pToAdjust, quint8 pStep);
  void AdjustSave(tToAdjust pToAdjust);
  void FactoryReset(tToAdjust pToAdjust);

private:
  QByteArray Transfer(const QByteArray& pRequest, const QByteArray& pExpectedStart,
                      qint32 pDataLength);
  bool AdjustStep(tToAdjust pToAdjust, quint8 pCode, const QString& pPrefix);

  std::unique_ptr<iR70_DataLink> mDataLink;
};
