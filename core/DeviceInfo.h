#pragma once
// Everything known about one connected instrument, with a multi-listener change notification
// and the conversions of a pressure onto the measuring range in any unit.
#include "core/DateTime.h"
#include "core/Types.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

class tDeviceInfo;

// A change handler of the device information record: a routine bound to an object, called
// with the record as sender. Unlike a bare std::function, it knows which routine it calls, so
// that DeleteEvent can remove every registration of that routine whatever object it is bound
// to. Build it from an object and a member function, or from a free function:
//
//   lInfo.AddEvent(tNotifyEvent(this, &TFormMain::DeviceInfoUpdated));
//   lInfo.DeleteEvent(tNotifyEvent(this, &TFormMain::DeviceInfoUpdated));
//
// Two handlers have the same routine when their member-function pointers (of the same class)
// or their free-function pointers compare equal.
class tNotifyEvent {
public:
  tNotifyEvent() = default;

  // pMethod may be declared in a base class of T; the routine is then the base's.
  template <typename T, typename B>
  requires std::is_base_of_v<B, T> tNotifyEvent(T* pObject,
                                                void (B::*pMethod)(tDeviceInfo* pSender))
      : mObject(pObject), mCall([pObject, pMethod](tDeviceInfo* pSender) {
          (static_cast<B*>(pObject)->*pMethod)(pSender);
        }),
        mRoutine(std::make_shared<const Routine<void (B::*)(tDeviceInfo*)>>(pMethod)) {}

  explicit tNotifyEvent(void (*pFunction)(tDeviceInfo* pSender))
      : mCall(pFunction),
        mRoutine(std::make_shared<const Routine<void (*)(tDeviceInfo*)>>(pFunction)) {}

  explicit operator bool() const { return static_cast<bool>(mCall); }
  void operator()(tDeviceInfo* pSender) const { mCall(pSender); }
  // The object the routine is bound to (nullptr for a free function).
  const void* Object() const { return mObject; }
  // Same routine, whatever object each is bound to.
  bool SameRoutine(const tNotifyEvent& pOther) const {
    return mRoutine && pOther.mRoutine && mRoutine->Equals(*pOther.mRoutine);
  }

private:
  struct RoutineBase {
    virtual ~RoutineBase() = default;
    virtual bool Equals(const RoutineBase& pOther) const = 0;
  };
  template <typename P> struct Routine final : RoutineBase {
    explicit Routine(P pPointer) : mPointer(pPointer) {}
    bool Equals(const RoutineBase& pOther) const override {
      const auto* lOther = dynamic_cast<const Routine<P>*>(&pOther);
      return lOther && lOther->mPointer == mPointer;
    }
    P mPointer;
  };

  const void* mObject = nullptr;
  std::function<void(tDeviceInfo*)> mCall;
  std::shared_ptr<const RoutineBase> mRoutine;
};

// One registration of the record's handler list.
struct tEventClass {
  tNotifyEvent mEvent;
  // Set when DeleteEvent removes the registration while a notification is under way, so the
  // running notification skips it.
  bool mRemoved = false;
};

class tDeviceInfo {
public:
  tDeviceInfo();
  ~tDeviceInfo();
  tDeviceInfo(const tDeviceInfo&) = delete;
  tDeviceInfo& operator=(const tDeviceInfo&) = delete;

  // Appends the handler and calls it once at once, so a new listener starts with the data.
  void AddEvent(const tNotifyEvent& pHandler);
  // Removes every registration of the same routine, whatever object it is bound to.
  void DeleteEvent(const tNotifyEvent& pHandler);
  // Number of registrations (for diagnostics and tests).
  int EventCount() const { return static_cast<int>(mEventList.size()); }

  // Clears identity, range and signal data between Updating true and false; ComNr,
  // Accuracy and the live values stay.
  void Reset();

  // pPinBar mapped onto the range in pUnitMBA (negative pressures) or pUnitMBE, into the
  // output signal when the unit is SignalUnitStr, or into percent for "%". pDigits receives
  // the decimals to show. Raises eError / eUtils; the record is never changed.
  double GetPressureInAUnit(const double pPinBar, const QString& pUnitMBA, const QString& pUnitMBE,
                            int& pDigits) const;
  // The same for PressureBar.
  double GetPressureInAUnit(const QString& pUnitMBA, const QString& pUnitMBE, int& pDigits) const;
  // Temperature in "°C", "K" or "°F" (exact, case-sensitive); else eError "Unbekannte Temperatur!".
  double GetTemperatureInAUnit(const QString& pUnitTemp) const;

  // Range text such as "0 ... 16 bar rel." or "-1 bar ... 15 psi abs."; empty after Reset.
  QString MBRange() const;
  // Output signal text such as "4 ... 20 mA", or "RS-232" / "USB"; empty without a type.
  QString SignalRange() const;

  std::int32_t ComNr() const { return FComNr; }
  void SetComNr(const std::int32_t pValue);
  bool Updating() const { return FUpdating; }
  void SetUpdating(const bool pValue);
  float MBAinUnit() const { return FMBAinUnit; }
  void SetMBAinUnit(const float pValue);
  float MBEinUnit() const { return FMBEinUnit; }
  void SetMBEinUnit(const float pValue);
  const QString& MBAUnitStr() const { return FMBAUnitStr; }
  void SetMBAUnitStr(const QString& pValue);
  const QString& MBEUnitStr() const { return FMBEUnitStr; }
  void SetMBEUnitStr(const QString& pValue);
  float MBAinBar() const { return FMBAinBar; }
  void SetMBAinBar(const float pValue);
  float MBEinBar() const { return FMBEinBar; }
  void SetMBEinBar(const float pValue);
  tDruckKennung Druckkennung() const { return FDruckkennung; }
  void SetDruckkennung(const tDruckKennung pValue);
  float SBA() const { return FSBA; }
  void SetSBA(const float pValue);
  float SBE() const { return FSBE; }
  void SetSBE(const float pValue);
  const QString& SignalTypeStr() const { return FSignalTypeStr; }
  void SetSignalTypeStr(const QString& pValue);
  const QString& SignalUnitStr() const { return FSignalUnitStr; }
  void SetSignalUnitStr(const QString& pValue);
  const QString& SerialNr() const { return FSerialNr; }
  void SetSerialNr(const QString& pValue);
  float Accuracy() const { return FAccuracy; }
  void SetAccuracy(const float pValue);
  const QString& ProductNr() const { return FProductNr; }
  void SetProductNr(const QString& pValue);
  tDeviceType DeviceType() const { return FDeviceType; }
  void SetDeviceType(const tDeviceType pValue);
  const QString& FirmwareVersion() const { return FFirmwareVersion; }
  void SetFirmwareVersion(const QString& pValue);
  const QString& LastCalib() const { return FLastCalib; }
  void SetLastCalib(const QString& pValue);
  const QString& DateProduction() const { return FDateProduction; }
  void SetDateProduction(const QString& pValue);
  const QString& Ident() const { return FIdent; }
  void SetIdent(const QString& pValue);
  const QString& Tag() const { return FTag; }
  void SetTag(const QString& pValue);

  // Live values: stored without notification; readers poll them.
  double PressureWerkUnit() const { return FPressureWerkUnit; }
  void SetPressureWerkUnit(const double pValue);
  double PressureBar() const { return FPressureBar; }
  void SetPressureBar(const double pValue);
  double Temperature() const { return FTemperature; }
  void SetTemperature(const double pValue);
  double PressureUnit() const { return FPressureUnit; }
  void SetPressureUnit(const double pValue);
  tDateTime LastPressureTime() const { return FLastPressureTime; }
  tDateTime LastPressureWerkTime() const { return FLastPressureWerkTime; }
  // True while the factory pressure is older than the pressure. Told by arrival order, not
  // by the wall-clock stamps above, which jump with the clock.
  bool PressureWerkIsOlder() const { return mPressureWerkSeq < mPressureSeq; }

private:
  void NotifyChanged();
  template <typename V> void Change(V& pField, const V& pValue);

  std::vector<std::shared_ptr<tEventClass>> mEventList;
  // Shared with running notifications, so a handler that destroys the record ends them safely.
  std::shared_ptr<bool> mAlive;

  std::int32_t FComNr = 0;
  bool FUpdating = false;
  float FMBAinUnit = 0;
  float FMBEinUnit = 0;
  QString FMBAUnitStr;
  QString FMBEUnitStr;
  float FMBAinBar = 0;
  float FMBEinBar = 0;
  tDruckKennung FDruckkennung = dkRelativ;
  float FSBA = 0;
  float FSBE = 0;
  QString FSignalTypeStr;
  QString FSignalUnitStr;
  QString FSerialNr;
  float FAccuracy = 0;
  QString FProductNr;
  tDeviceType FDeviceType = dtNone;
  QString FFirmwareVersion;
  QString FLastCalib;
  QString FDateProduction;
  QString FIdent;
  QString FTag;
  double FPressureWerkUnit = 0;
  double FPressureBar = 0;
  double FTemperature = 0;
  double FPressureUnit = 0;
  tDateTime FLastPressureTime = 0;
  tDateTime FLastPressureWerkTime = 0;
  quint64 mSampleSeq = 0;
  quint64 mPressureSeq = 0;
  quint64 mPressureWerkSeq = 0;
};
