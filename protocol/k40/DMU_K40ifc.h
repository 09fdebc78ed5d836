#pragma once
// Device interface of a K40-family instrument: reads it into the device information record,
// keeps polling its live values, and runs adjustment and parameter sequences on the command
// layer. Everything runs on the GUI thread, driven by one timer and the port's notification.
#include "core/AbortLatch.h"
#include "core/DeviceInfo.h"
#include "core/Types.h"
#include "protocol/common/LiveReplyWatch.h"
#include "protocol/k40/DMU_K40.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>

class QTimer;

class tDMU_K40ifc {
public:
  // This family's operating modes; their codes in cell 101 are 0xFF, 0xFE, 0xFD.
  enum tOperatingMode : quint8 { omPoll = 0, omCyclP = 1, omCyclPT = 2 };
  // Sender: this object (OnNewValue) or the live-value timer (OnTimeOut).
  using tSenderEvent = std::function<void(void* Sender)>;

  // Builds the command layer on the open port; from here on the port belongs to it.
  explicit tDMU_K40ifc(std::unique_ptr<iComPort> pComObj);
  // Stops the timer and releases the command layer, which closes and releases the port.
  ~tDMU_K40ifc();
  tDMU_K40ifc(const tDMU_K40ifc&) = delete;
  tDMU_K40ifc& operator=(const tDMU_K40ifc&) = delete;

  // Reads the instrument into pDeviceInfo and starts polling. On failure the timer and the
  // command layer (with the port) are released and the error is raised unchanged.
  void Initialize(tDeviceInfo* pDeviceInfo);
  // Handler of the adjustment panel; failed commands are retried, up to 6 attempts.
  bool AdjustActionEvent(tToAdjust pToAdjust, tAdjustAction pAdjustAction);
  void WriteOperatingParam(tOperatingMode pOperatingMode, quint8 pResponseTime, quint16 pInterval);
  // Reads the factory parameters into the three properties and writes them back.
  void FactoryOperatingParam();
  // Off: stops the live loop after its pending reply (at most 1 s) and gives the port back
  // to the command layer; on: resumes it. A page whose parameter write failed (polling then
  // stays paused) resumes the live values with SetPolling(true).
  void SetPolling(bool pOn);
  static tOperatingMode GetOperatingModeOfByte(quint8 pOpModeByte);
  static quint8 OperatingModeCode(tOperatingMode pOperatingMode);
  // Month and two-digit year in the order and with the separator of the short date format.
  static QString MonthYearText(int pMonth, int pYear);
  // Ends the connection for an instrument that is being removed: polling stops, a command
  // waiting now and every later one fail at once, and the port closes. A memory write in
  // progress is finished first.
  void Abort();
  // Live replies discarded on this connection (wrong sum, wrong start, wrong length).
  quint32 BadReplies() const { return mWatch.SpoiltReplies(); }

  tSenderEvent OnNewValue() const { return FOnNewValue; }
  void SetOnNewValue(tSenderEvent pHandler) { FOnNewValue = std::move(pHandler); }
  tSenderEvent OnTimeOut() const { return FOnTimeOut; }
  void SetOnTimeOut(tSenderEvent pHandler) { FOnTimeOut = std::move(pHandler); }
  bool IsWerksDruckActive() const { return FIsWerksDruckActive; }
  void SetIsWerksDruckActive(bool pValue) { FIsWerksDruckActive = pValue; }
  quint8 OpResponse() const { return FOpResponse; }
  void SetOpResponse(quint8 pValue) { FOpResponse = pValue; }
  tOperatingMode OperatingMode() const { return FOperatingMode; }
  void SetOperatingMode(tOperatingMode pValue) { FOperatingMode = pValue; }
  quint16 OpInterval() const { return FOpInterval; }
  void SetOpInterval(quint16 pValue) { FOpInterval = pValue; }
  quint8 StatusByte() const { return FStatusByte; }

  // Time-out of a pending live reply, and how often the pending reply is checked: the check
  // only compares time stamps, so it need not run every millisecond.
  static constexpr quint32 cLiveTimeoutMs = tLiveReplyWatch::cTimeoutMs;
  static constexpr int cWatchIntervalMs = 10;
  // Status and temperature are refreshed once a second between the pressure requests.
  static constexpr std::int64_t cRefreshMs = 1000;
  static constexpr int cAdjustAttempts = 6;

private:
  using tTimerStep = void (tDMU_K40ifc::*)();
  static constexpr std::int64_t cNever = std::numeric_limits<std::int64_t>::min() / 2;

  void RequestNext();
  void CheckReplyTimeout();
  bool TimedOut();
  void DiscardReply();
  void AbortNow();
  void SettleLine();
  void SendRequest(const QByteArray& pCommand, const QByteArray& pPrefix, int pDataLength);
  void ParseLiveReply(iComPort* pCP, quint16 pCount);
  void RunAdjustAction(tToAdjust pToAdjust, tAdjustAction pAdjustAction);
  void CopyFactoryCalibration(tToAdjust pToAdjust);
  void StoreAdjustDate();
  void ScheduleNext();
  void ReleaseTimer();
  TTriggerAvailEvent LiveParser();

  iComPort* mComObj = nullptr;
  std::unique_ptr<tDMU_K40> mK40;
  QTimer* mTimer = nullptr;
  tTimerStep mTimerStep = nullptr;
  bool mPollingActive = false;
  QByteArray mReceived;
  tLiveReplyWatch mWatch;
  QByteArray mExpectedRecStart;
  qint32 mExpectedDataLength = 0;
  std::int64_t mLastTempTime = cNever;
  std::int64_t mLastStatusTime = cNever;
  tAbortLatch mAbort{[this] { AbortNow(); }};
  TTriggerAvailEvent mSaveTriggerAvail;
  tPressureUnit mPUnitType = tPressureUnit::bar;
  tDeviceInfo* mDeviceInfo = nullptr;
  quint8 mKalibOffs = 0;
  // Cleared on destruction, so that a wait inside a command notices when a handler it ran
  // has destroyed this object.
  std::shared_ptr<bool> mAlive = std::make_shared<bool>(true);

  tSenderEvent FOnTimeOut;
  tSenderEvent FOnNewValue;
  bool FIsWerksDruckActive = false;
  quint8 FOpResponse = 0;
  tOperatingMode FOperatingMode = omPoll;
  quint16 FOpInterval = 0;
  quint8 FStatusByte = 0;
};
