#include "core/DeviceInfo.h"

#include "core/Error.h"
#include "core/Format.h"
#include "core/Utils.h"

#include <algorithm>

tDeviceInfo::tDeviceInfo() : mAlive(std::make_shared<bool>(true)) {}

tDeviceInfo::~tDeviceInfo() {
  *mAlive = false;
}

void tDeviceInfo::NotifyChanged() {
  // The list as it stands now: handlers added meanwhile wait for the next change, and a
  // registration removed meanwhile is skipped rather than called or freed under our feet.
  const std::vector<std::shared_ptr<tEventClass>> lHandlers = mEventList;
  const std::shared_ptr<bool> lAlive = mAlive;
  for (const auto& lEntry : lHandlers) {
    if (!*lAlive) return;
    if (!lEntry->mRemoved && lEntry->mEvent) lEntry->mEvent(this);
  }
}

template <typename V> void tDeviceInfo::Change(V& pField, const V& pValue) {
  if (pField == pValue) return;
  pField = pValue;
  NotifyChanged();
}

void tDeviceInfo::AddEvent(const tNotifyEvent& pHandler) {
  auto lEntry = std::make_shared<tEventClass>();
  lEntry->mEvent = pHandler;
  mEventList.push_back(lEntry);
  if (lEntry->mEvent) lEntry->mEvent(this);
}

void tDeviceInfo::DeleteEvent(const tNotifyEvent& pHandler) {
  const auto lSame = [&pHandler](const std::shared_ptr<tEventClass>& pEntry) {
    if (!pEntry->mEvent.SameRoutine(pHandler)) return false;
    pEntry->mRemoved = true;
    return true;
  };
  mEventList.erase(std::remove_if(mEventList.begin(), mEventList.end(), lSame), mEventList.end());
}

void tDeviceInfo::Reset() {
  SetUpdating(true);
  SetDeviceType(dtNone);
  SetMBAinBar(0);
  SetMBEinBar(0);
  SetMBAinUnit(0);
  SetMBEinUnit(0);
  SetMBAUnitStr(QString());
  SetMBEUnitStr(QString());
  SetDruckkennung(dkNo);
  SetSBA(0);
  SetSBE(0);
  SetSignalUnitStr(QString());
  SetSignalTypeStr(QString());
  SetSerialNr(QString());
  SetProductNr(QString());
  SetLastCalib(QString());
  SetDateProduction(QString());
  SetFirmwareVersion(QString());
  SetIdent(QString());
  SetTag(QString());
  SetUpdating(false);
}

double tDeviceInfo::GetPressureInAUnit(const double pPinBar, const QString& pUnitMBA,
                                       const QString& pUnitMBE, int& pDigits) const {
  // A compound range shows pressures below zero in its start unit.
  const QString& lUnit = pPinBar < 0 ? pUnitMBA : pUnitMBE;
  double lLo = 0;
  double lHi = 0;
  if (lUnit == FSignalUnitStr) {
    lLo = FSBA;
    lHi = FSBE;
  } else if (lUnit == QLatin1String("%")) {
    lLo = 0;
    lHi = 100;
  } else {
    const int lIndex = PressureUnitIndex(lUnit);
    if (lIndex >= 0) {
      const double lFactor = PressureUnitFactors[static_cast<std::size_t>(lIndex)];
      // A gas-density unit has no factor: it cannot be converted from bar.
      if (lFactor == 0) throw eError(QStringLiteral("Unknown pressure unit: ") + lUnit);
      lLo = FMBAinBar / lFactor;
      lHi = FMBEinBar / lFactor;
    }
    if (lLo == 0 && lHi == 0) throw eError(QStringLiteral("Unknown pressure unit: ") + lUnit);
  }
  const int lDigits = DecimalsForRange(6, lLo, lHi, 0.1);
  const double lResult = ScaleLinear(lLo, lHi, FMBAinBar, FMBEinBar, pPinBar);
  pDigits = lDigits;
  return lResult;
}

double tDeviceInfo::GetPressureInAUnit(const QString& pUnitMBA, const QString& pUnitMBE,
                                       int& pDigits) const {
  return GetPressureInAUnit(FPressureBar, pUnitMBA, pUnitMBE, pDigits);
}

double tDeviceInfo::GetTemperatureInAUnit(const QString& pUnitTemp) const {
  if (pUnitTemp == TemperatureUnitNames[0]) return FTemperature;
  if (pUnitTemp == TemperatureUnitNames[1]) return FTemperature + 273.15;
  if (pUnitTemp == TemperatureUnitNames[2]) return FTemperature * 1.8 + 32;
  throw eError(QStringLiteral("Unbekannte Temperatur!"));
}

QString tDeviceInfo::MBRange() const {
  if (FMBAUnitStr.isEmpty() && FMBEUnitStr.isEmpty() && FDruckkennung == dkNo) return QString();
  QString lText = FormatRoundedGeneral(FMBAinUnit, 5);
  if (FMBAUnitStr != FMBEUnitStr) lText += QLatin1Char(' ') + FMBAUnitStr;
  lText += QStringLiteral(" ... ") + FormatRoundedGeneral(FMBEinUnit, 5) + QLatin1Char(' ') +
           FMBEUnitStr + QLatin1Char(' ') + DruckKennungText[FDruckkennung];
  return lText;
}

QString tDeviceInfo::SignalRange() const {
  if (FSignalTypeStr.isEmpty()) return QString();
  if (FSignalTypeStr == QLatin1String("RS-232") || FSignalTypeStr == QLatin1String("USB")) {
    return FSignalTypeStr;
  }
  return FormatGeneral(FSBA) + QStringLiteral(" ... ") + FormatGeneral(FSBE) + QLatin1Char(' ') +
         FSignalUnitStr;
}

void tDeviceInfo::SetComNr(const std::int32_t pValue) {
  Change(FComNr, pValue);
}
void tDeviceInfo::SetUpdating(const bool pValue) {
  Change(FUpdating, pValue);
}
void tDeviceInfo::SetMBAinUnit(const float pValue) {
  Change(FMBAinUnit, pValue);
}
void tDeviceInfo::SetMBEinUnit(const float pValue) {
  Change(FMBEinUnit, pValue);
}
void tDeviceInfo::SetMBAUnitStr(const QString& pValue) {
  Change(FMBAUnitStr, pValue);
}
void tDeviceInfo::SetMBEUnitStr(const QString& pValue) {
  Change(FMBEUnitStr, pValue);
}
void tDeviceInfo::SetMBAinBar(const float pValue) {
  Change(FMBAinBar, pValue);
}
void tDeviceInfo::SetMBEinBar(const float pValue) {
  Change(FMBEinBar, pValue);
}
void tDeviceInfo::SetDruckkennung(const tDruckKennung pValue) {
  Change(FDruckkennung, pValue);
}
void tDeviceInfo::SetSBA(const float pValue) {
  Change(FSBA, pValue);
}
void tDeviceInfo::SetSBE(const float pValue) {
  Change(FSBE, pValue);
}
void tDeviceInfo::SetSignalTypeStr(const QString& pValue) {
  Change(FSignalTypeStr, pValue);
}
void tDeviceInfo::SetSignalUnitStr(const QString& pValue) {
  Change(FSignalUnitStr, pValue);
}
void tDeviceInfo::SetSerialNr(const QString& pValue) {
  Change(FSerialNr, pValue);
}
void tDeviceInfo::SetAccuracy(const float pValue) {
  Change(FAccuracy, pValue);
}
void tDeviceInfo::SetProductNr(const QString& pValue) {
  Change(FProductNr, pValue);
}
void tDeviceInfo::SetDeviceType(const tDeviceType pValue) {
  Change(FDeviceType, pValue);
}
void tDeviceInfo::SetFirmwareVersion(const QString& pValue) {
  Change(FFirmwareVersion, pValue);
}
void tDeviceInfo::SetLastCalib(const QString& pValue) {
  Change(FLastCalib, pValue);
}
void tDeviceInfo::SetDateProduction(const QString& pValue) {
  Change(FDateProduction, pValue);
}
void tDeviceInfo::SetIdent(const QString& pValue) {
  Change(FIdent, pValue);
}
void tDeviceInfo::SetTag(const QString& pValue) {
  Change(FTag, pValue);
}

void tDeviceInfo::SetPressureWerkUnit(const double pValue) {
  FPressureWerkUnit = pValue;
  FLastPressureWerkTime = NowDateTime();
  mPressureWerkSeq = ++mSampleSeq;
}

void tDeviceInfo::SetPressureBar(const double pValue) {
  FPressureBar = pValue;
  FLastPressureTime = NowDateTime();
  mPressureSeq = ++mSampleSeq;
}

void tDeviceInfo::SetTemperature(const double pValue) {
  FTemperature = pValue;
}

void tDeviceInfo::SetPressureUnit(const double pValue) {
  FPressureUnit = pValue;
  FLastPressureTime = NowDateTime();
  mPressureSeq = ++mSampleSeq;
}
