#pragma once
// R70 device interface: owns the R70 protocol stack on one open port, reads the instrument
// into its device information record, keeps the live exchange (status, temperature,
// pressure) running, and runs adjustment and parameter sequences with retries.
#include "core/AbortLatch.h"
#include "core/DateTime.h"
#include "core/Error.h"
#include "core/Types.h"
#include "protocol/common/LiveReplyWatch.h"
#include "protocol/r70/DMU_R70.h"
#include "serial/ComPortIntf.h"

#include <QByteArray>
#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>

class QTimer;
class tDeviceInfo;

class tDMU_R70ifc {
public:
  // The R70 operating modes; the K40 family has its own set, hence the class scope.
  enum tOperatingMode : quint8 { omPoll, omCyclPz, omCyclPzT, omCyclPk, omCyclPkT };
  static constexpr std::array<quint8, 5> OperatingModeCodes = {0x7F, 0x7C, 0x7B, 0x7E, 0x7D};

  // Builds the command layer on the open port; from here on the port belongs to the stack.
  tDMU_R70ifc(std::unique_ptr<iComPort> pComObj, const bool pAutoBaud);
  ~tDMU_R70ifc();
  tDMU_R70ifc(const tDMU_R70ifc&) = delete;
  tDMU_R70ifc& operator=(const tDMU_R70ifc&) = delete;

  // Reads the identity into pDeviceInfo and starts the live exchange. On failure everything
  // is released (the port with it) and the error passes on; the object is then unusable.
  void Initialize(tDeviceInfo* pDeviceInfo);
  // The adjustment panel's handler: false at the instrument's adjustment limit, and when
  // both attempts failed, so the user learns that nothing was stored.
  bool AdjustActionEvent(const tToAdjust pToAdjust, const tAdjustAction pAdjustAction);
  // Six attempts each; the sixth failure passes on and the live exchange stays stopped.
  void WriteOperatingParam(const tOperatingMode pOperatingMode, const quint16 pInterval);
  void FactoryOperatingParam();
  // Hands the port to the live exchange (true) or, once an outstanding reply is in, to the
  // command layer (false); public so that a page can resume after a failed sequence.
  void SetLiveActive(bool pOn);

  std::function<void()> OnNewValue() const { return FOnNewValue; }
  void SetOnNewValue(std::function<void()> pHandler) { FOnNewValue = std::move(pHandler); }
  std::function<void()> OnTimeOut() const { return FOnTimeOut; }
  void SetOnTimeOut(std::function<void()> pHandler) { FOnTimeOut = std::move(pHandler); }
  // Ends the connection for an instrument that is being removed: the live exchange stops, a
  // command waiting now and every later one fail at once, and the port closes. A memory
  // write in progress is finished first.
  void Abort();
  // Live replies discarded on this connection (wrong sum, wrong start, wrong length).
  quint32 BadReplies() const { return mWatch.SpoiltReplies(); }
  bool IsWerksDruckActive() const { return FIsWerksDruckActive; }
  void SetIsWerksDruckActive(bool pValue) { FIsWerksDruckActive = pValue; }
  tOperatingMode OperatingMode() const { return FOperatingMode; }
  quint16 OpInterval() const { return FOpInterval; }
  quint8 StatusByte() const { return FStatusByte; }
  void SetStatusByte(quint8 pValue) { FStatusByte = pValue; }

  // The port the stack runs on (owned by the data link); null once released.
  iComPort* ComPort() const { return mCOM; }

  static tOperatingMode GetOperatingModeOfByte(quint8 pCode);
  // CRC-8 of the EEPROM checksum: polynomial 0x9B, MSB first, initial 0, no final XOR.
  static quint8 Crc8Step(quint8 pCrc, quint8 pByte);
  static quint8 Crc8(const QByteArray& pBytes);

private:
  enum class tTimerHandler { None, LiveTimer, LiveTimeout, SettleLine };
  static constexpr std::int64_t cNever = std::numeric_limits<std::int64_t>::min() / 2;

  void TimerTick();
  void LiveTimer();
  void LiveTimeout();
  bool TimedOut();
  void DiscardReply();
  void SettleLine();
  void AbortNow();
  bool RunAdjustAction(const tToAdjust pToAdjust, const tAdjustAction pAdjustAction);
  void SetTimerHandler(tTimerHandler pHandler);
  void SendLive(const QByteArray& pRequest, const QByteArray& pExpectedStart, qint32 pDataLength);
  void LiveRx(iComPort* pCP, quint16 pCount);
  double ReadFlashValue(quint8 pAddress, int pMode);
  void WriteCalibrationDate();
  quint8 CalcEepromCrc();
  void ReadIdentity();
  void ReleaseAfterFailure();

  iComPort* mCOM = nullptr;
  std::unique_ptr<tDMU_R70> mR70;
  std::unique_ptr<QTimer> mTimer;
  tTimerHandler mTimerHandler = tTimerHandler::None;
  bool mTimerEnabled = false;
  QByteArray mReceived;
  std::int64_t mSendTime = 0;
  tLiveReplyWatch mWatch;
  QByteArray mExpectedRecStart;
  qint32 mExpectedDataLength = 0;
  std::int64_t mLastTempTime = cNever;
  std::int64_t mLastStatusTime = cNever;
  double mFaktorBarMBA = 1;
  double mFaktorBarMBE = 1;
  TTriggerAvailEvent mSaveTriggerAvail;
  tDeviceInfo* mDeviceInfo = nullptr;
  bool mAutoBaud;
  // The page may release this object from inside a handler it is called from (the time-out
  // leads to a disconnect); these let the tick notice that and leave the timer to die later.
  std::shared_ptr<bool> mAlive = std::make_shared<bool>(true);
  bool mInTimerTick = false;
  tAbortLatch mAbort{[this] { AbortNow(); }};

  std::function<void()> FOnTimeOut;
  std::function<void()> FOnNewValue;
  bool FIsWerksDruckActive = false;
  tOperatingMode FOperatingMode = omPoll;
  quint16 FOpInterval = 0;
  quint8 FStatusByte = 0;
};
