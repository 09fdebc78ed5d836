#include "protocol/r70/DMU_R70ifc.h"

#include "core/AbortLatch.h"
#include "core/Clock.h"
#include "core/DeviceInfo.h"
#include "core/Format.h"
#include "core/Utils.h"
#include "core/Wait.h"
#include "protocol/common/FrameCodec.h"
#include "protocol/r70/R70Values.h"

#include <QDate>
#include <QTimer>
#include <QtEndian>
#include <exception>

namespace {

constexpr std::int64_t cGiveUpOutstandingMs = 1000;
constexpr std::int64_t cRefreshMs = 1000;
constexpr double cCommandPauseMs = 100;
constexpr int cAdjustAttempts = 2;
constexpr int cParamAttempts = 6;
// Only the 1000 ms reply time-out is watched between the request and its reply; 10 ms
// ticks are ample for that and leave the line's pace to the zero-interval tick after a reply.
constexpr int cWatchIntervalMs = 10;

using FrameCodec::Bytes;
using FrameCodec::SingleOf;


QString ShortDate(int pYear, int pMonth, int pDay) {
  const QDate date(pYear, pMonth, pDay);
  if (!date.isValid())
    throw eConvertError(
        QStringLiteral("Ungültiges Datum: %1.%2.%3").arg(pDay).arg(pMonth).arg(pYear));
  return FormatShortDate(FromQDate(date));
}

} // namespace

tDMU_R70ifc::tDMU_R70ifc(std::unique_ptr<iComPort> pComObj, const bool pAutoBaud)
    : mCOM(pComObj.get()), mAutoBaud(pAutoBaud) {
  mR70 = std::make_unique<tDMU_R70>(std::move(pComObj), pAutoBaud);
}

tDMU_R70ifc::~tDMU_R70ifc() {
  if (mTimer) {
    mTimer->stop();
    if (mInTimerTick) {
      // Released from inside the timer's own signal: the timer must outlive that call.
      mTimer->disconnect();
      mTimer.release()->deleteLater();
    }
    mTimer.reset();
  }
  if (mCOM) {
    mCOM->SetOnTriggerAvail({});
    try {
      if (mCOM->Open()) mCOM->SetOpen(false);
    } catch (...) {
      // A vanished device may refuse closing; the stack is released all the same.
    }
  }
  mR70.reset(); // releases the data link and with it the port
}

tDMU_R70ifc::tOperatingMode tDMU_R70ifc::GetOperatingModeOfByte(quint8 pCode) {
  for (size_t i = 0; i < OperatingModeCodes.size(); ++i)
    if (OperatingModeCodes[i] == pCode) return tOperatingMode(i);
  return omPoll;
}

quint8 tDMU_R70ifc::Crc8Step(quint8 pCrc, quint8 pByte) {
  quint8 crc = pCrc ^ pByte;
  for (int bit = 0; bit < 8; ++bit)
    crc = (crc & 0x80) ? quint8((crc << 1) ^ 0x9B) : quint8(crc << 1);
  return crc;
}

quint8 tDMU_R70ifc::Crc8(const QByteArray& pBytes) {
  quint8 crc = 0;
  for (char c : pBytes)
    crc = Crc8Step(crc, quint8(c));
  return crc;
}

double tDMU_R70ifc::ReadFlashValue(quint8 pAddress, int pMode) {
  QByteArray b(4, '\0');
  if (pMode == 1) {
    // Three bytes stored: the upper ones of a single whose lowest byte is 0.
    for (int i = 0; i < 3; ++i)
      b[i + 1] = char(mR70->ReadFLASH(quint8(pAddress + i)));
  } else {
    for (int i = 0; i < 4; ++i)
      b[i] = char(mR70->ReadFLASH(quint8(pAddress + i)));
  }
  if (pMode == 0) return qFromLittleEndian<qint32>(b.constData());
  return SingleOf(b);
}

void tDMU_R70ifc::Initialize(tDeviceInfo* pDeviceInfo) {
  mDeviceInfo = pDeviceInfo;
  try {
    if (!mR70) throw eError(QStringLiteral("R70-Protokoll nicht verfügbar"));
    mDeviceInfo->SetUpdating(true);
    ReadIdentity();

    mSaveTriggerAvail = mCOM->OnTriggerAvail();
    mCOM->SetOnTriggerAvail([this](iComPort* pCP, quint16 pCount) { LiveRx(pCP, pCount); });
    mTimer = std::make_unique<QTimer>();
    QObject::connect(mTimer.get(), &QTimer::timeout, mTimer.get(), [this] { TimerTick(); });
    if (mAbort.Requested()) throw eError(QStringLiteral("Verbindung beendet"));
    // Status and temperature are the first live requests.
    mLastTempTime = cNever;
    mLastStatusTime = cNever;
    mWatch.Start();
    mTimerEnabled = true;
    SetTimerHandler(tTimerHandler::LiveTimer);
  } catch (...) {
    ReleaseAfterFailure();
    throw;
  }
}

void tDMU_R70ifc::ReleaseAfterFailure() {
  mTimerEnabled = false;
  mTimer.reset();
  // The data link closes and releases the port; the reference here is only forgotten.
  if (mCOM) mCOM->SetOnTriggerAvail({});
  mR70.reset();
  mCOM = nullptr;
}

void tDMU_R70ifc::ReadIdentity() {
  tR70Range range;
  try {
    range = mR70->ReadRange();
  } catch (const std::exception&) {
    range = mR70->ReadRange();
  }
  mDeviceInfo->SetMBAUnitStr(UnitTextFromR70Code(range.StartCode));
  mDeviceInfo->SetMBEUnitStr(UnitTextFromR70Code(range.EndCode));
  mDeviceInfo->SetMBAinUnit(range.Start);
  mDeviceInfo->SetMBEinUnit(range.End);

  mFaktorBarMBA = ReadFlashValue(149, 2);
  mFaktorBarMBE = ReadFlashValue(153, 2);
  mDeviceInfo->SetMBAinBar(float(range.Start * mFaktorBarMBA));
  mDeviceInfo->SetMBEinBar(float(range.End * mFaktorBarMBE));
  // Bit 0 of the end's unit code marks an absolute range.
  mDeviceInfo->SetDruckkennung((range.EndCode & 0x01) ? dkAbsolut : dkRelativ);

  mDeviceInfo->SetSignalUnitStr(QString());
  mDeviceInfo->SetSignalTypeStr(QStringLiteral("Digit"));
  const quint8 kind = mR70->ReadFLASH(166);
  if (kind != 0) {
    mDeviceInfo->SetSBA(float(ReadFlashValue(160, 1)));
    mDeviceInfo->SetSBE(float(ReadFlashValue(163, 1)));
    switch (kind) {
    case 1:
      mDeviceInfo->SetSignalUnitStr(QStringLiteral("V"));
      mDeviceInfo->SetSignalTypeStr(QStringLiteral("2L"));
      break;
    case 2:
      mDeviceInfo->SetSignalUnitStr(QStringLiteral("mA"));
      mDeviceInfo->SetSignalTypeStr(QStringLiteral("2L"));
      break;
    case 3:
      mDeviceInfo->SetSignalUnitStr(QStringLiteral("mA"));
      mDeviceInfo->SetSignalTypeStr(QStringLiteral("3L"));
      break;
    case 5:
      mDeviceInfo->SetSignalUnitStr(QString());
      mDeviceInfo->SetSignalTypeStr(QStringLiteral("USB"));
      break;
    default:
      throw eError(QStringLiteral("Unknown Output: ") + QString::number(kind));
    }
  }

  mDeviceInfo->SetAccuracy(float(mR70->ReadAccuracy()));

  const QString serial = mR70->ReadSerialNumber();
  // The first and last characters frame the digits; only the digits identify the instrument.
  const QString serialNr = serial.mid(1, qMax<qsizetype>(0, serial.size() - 2));
  mDeviceInfo->SetSerialNr(serialNr);
  mDeviceInfo->SetTag(serialNr);
  mDeviceInfo->SetIdent(serialNr);

  mDeviceInfo->SetProductNr(QString::number(qint32(ReadFlashValue(129, 0))));

  const int calibYear = 2000 + mR70->ReadEEPROM(12);
  const int calibMonth = mR70->ReadEEPROM(11);
  const int calibDay = mR70->ReadEEPROM(10);
  mDeviceInfo->SetLastCalib(ShortDate(calibYear, calibMonth, calibDay));

  const tR70ProductionDate production = mR70->ReadDateOfProduction();
  const int productionDay = mR70->ReadFLASH(157);
  mDeviceInfo->SetDateProduction(
      ShortDate(2000 + production.Year, production.Month, productionDay));

  mDeviceInfo->SetFirmwareVersion(mR70->ReadFirmwareRevision());
  mDeviceInfo->SetUpdating(false);

  if (mDeviceInfo->SignalTypeStr() == QLatin1String("USB")) {
    FOperatingMode = GetOperatingModeOfByte(mR70->ReadEEPROM(35));
    const int high = mR70->ReadEEPROM(37);
    const int low = mR70->ReadEEPROM(36);
    FOpInterval = quint16(high * 256 + low);
  }
}

void tDMU_R70ifc::SetTimerHandler(tTimerHandler pHandler) {
  mTimerHandler = pHandler;
  if (!mTimer || !mTimerEnabled) return;
  mTimer->start(pHandler == tTimerHandler::LiveTimer ? 0 : cWatchIntervalMs);
}

void tDMU_R70ifc::TimerTick() {
  const std::weak_ptr<bool> alive = mAlive;
  mInTimerTick = true;
  switch (mTimerHandler) {
  case tTimerHandler::LiveTimer:
    LiveTimer();
    break;
  case tTimerHandler::LiveTimeout:
    LiveTimeout();
    break;
  case tTimerHandler::SettleLine:
    SettleLine();
    break;
  case tTimerHandler::None:
    break;
  }
  if (alive.expired()) return;
  mInTimerTick = false;
}

void tDMU_R70ifc::LiveTimer() {
  SetTimerHandler(tTimerHandler::LiveTimeout);
  if (MSecsElapsed(mLastStatusTime, cRefreshMs)) {
    SendLive(Bytes({'U', 0x00, 0x00}), "u", 1);
  } else if (MSecsElapsed(mLastTempTime, cRefreshMs)) {
    SendLive("TWH", "t", 2);
  } else if (FIsWerksDruckActive && mDeviceInfo->PressureWerkIsOlder()) {
    SendLive(Bytes({'P', 'R', 0x00}), "X", 5);
  } else {
    SendLive(Bytes({'P', 'Z', 0x00}), "P", 5);
  }
}

bool tDMU_R70ifc::TimedOut() {
  if (!mWatch.TimedOut()) return false;
  mTimerEnabled = false;
  mTimer->stop();
  // A copy: the handler may release this object, and with it the handler itself.
  const std::function<void()> handler = FOnTimeOut;
  if (handler) handler();
  return true;
}

void tDMU_R70ifc::LiveTimeout() {
  if (TimedOut()) return;
  if (mWatch.Stalled(!mReceived.isEmpty())) DiscardReply();
}

void tDMU_R70ifc::DiscardReply() {
  mWatch.Spoilt();
  mExpectedRecStart.clear();
  SetTimerHandler(tTimerHandler::SettleLine);
}

void tDMU_R70ifc::SettleLine() {
  // Spoilt replies that come back at once never leave time for the reply watch.
  if (TimedOut()) return;
  if (mWatch.Settled()) SetTimerHandler(tTimerHandler::LiveTimer);
}

void tDMU_R70ifc::SendLive(const QByteArray& pRequest, const QByteArray& pExpectedStart,
                           qint32 pDataLength) {
  FrameCodec::SendRequest(*mCOM, pRequest, mAutoBaud);
  mReceived.clear();
  mSendTime = MonotonicMSecs();
  mWatch.Sent();
  mExpectedRecStart = pExpectedStart;
  mExpectedDataLength = pDataLength;
}

void tDMU_R70ifc::LiveRx(iComPort* pCP, quint16 pCount) {
  iComPort* port = pCP ? pCP : mCOM;
  for (quint16 i = 0; i < pCount; ++i)
    mReceived.append(char(port->ReadByte()));
  if (pCount > 0) mWatch.BytesArrived();
  // Bytes with no request outstanding (a late reply, cyclic output) belong to nobody.
  if (mExpectedRecStart.isEmpty()) {
    mReceived.clear();
    return;
  }
  if (mExpectedDataLength == -2) return;
  const FrameCodec::tReply verdict =
      FrameCodec::Judge(mReceived, mExpectedRecStart, mExpectedDataLength);
  if (verdict == FrameCodec::tReply::Incomplete) return;
  // A wrong start, a wrong sum or bytes beyond the reply: the sample is lost, the live
  // exchange is not.
  if (verdict != FrameCodec::tReply::Valid) {
    DiscardReply();
    return;
  }
  mWatch.Valid();

  const QByteArray data = mReceived.mid(mExpectedRecStart.size(), mExpectedDataLength);
  const char kind = mExpectedRecStart[0];
  bool changed = true;
  switch (kind) {
  case 'P': {
    const float v = SingleOf(data);
    mDeviceInfo->SetPressureUnit(v);
    // A compound range has different units at its two ends.
    mDeviceInfo->SetPressureBar(mDeviceInfo->PressureUnit() *
                                (v >= 0 ? mFaktorBarMBE : mFaktorBarMBA));
    break;
  }
  case 'X':
    mDeviceInfo->SetPressureWerkUnit(SingleOf(data));
    break;
  case 't': {
    mLastTempTime = MonotonicMSecs();
    mDeviceInfo->SetTemperature(R70Values::Temperature(data));
    break;
  }
  case 'u':
    mLastStatusTime = MonotonicMSecs();
    changed = quint8(data[0]) != FStatusByte;
    FStatusByte = quint8(data[0]);
    break;
  default:
    changed = false;
    break;
  }
  // The exchange is finished before the page hears of it, so a handler that stops the live
  // exchange finds no request outstanding.
  mExpectedRecStart.clear();
  SetTimerHandler(tTimerHandler::LiveTimer);
  const std::function<void()> handler = FOnNewValue;
  if (changed && handler) handler();
}

void tDMU_R70ifc::SetLiveActive(bool pOn) {
  if (!mTimer || !mCOM || mAbort.Requested()) return;
  if (pOn) {
    mCOM->SetOnTriggerAvail([this](iComPort* pCP, quint16 pCount) { LiveRx(pCP, pCount); });
    mTimerEnabled = true;
    mWatch.Start();
    SetTimerHandler(tTimerHandler::LiveTimer);
    return;
  }
  mTimerEnabled = false;
  mTimer->stop();
  if (!mExpectedRecStart.isEmpty()) {
    // The outstanding reply goes to the live parser, not to the first command.
    const std::weak_ptr<bool> alive = mAlive;
    const std::int64_t left = cGiveUpOutstandingMs - (MonotonicMSecs() - mSendTime);
    WaitUntil([&] { return alive.expired() || mAbort.Requested() || mExpectedRecStart.isEmpty(); },
              std::max<std::int64_t>(left, 0));
    if (alive.expired() || mAbort.Requested()) return;
    mExpectedRecStart.clear();
  }
  mTimerHandler = tTimerHandler::None;
  mCOM->SetOnTriggerAvail(mSaveTriggerAvail);
}

void tDMU_R70ifc::Abort() {
  mAbort.Request();
}

void tDMU_R70ifc::AbortNow() {
  mTimerEnabled = false;
  if (mTimer) mTimer->stop();
  mTimerHandler = tTimerHandler::None;
  if (mR70) mR70->Abort();
}

bool tDMU_R70ifc::AdjustActionEvent(const tToAdjust pToAdjust, const tAdjustAction pAdjustAction) {
  if (!mR70 || mAbort.Requested()) return false;
  SetLiveActive(false);
  if (mAbort.Requested()) return false;
  bool result = false;
  {
    const tAbortLatch::tWrite write(mAbort,
                                    pAdjustAction == aaOK || pAdjustAction == aaFactoryReset);
    for (int attempt = 0; attempt < cAdjustAttempts; ++attempt) {
      try {
        result = RunAdjustAction(pToAdjust, pAdjustAction);
        break;
      } catch (const std::exception&) {
        // The instrument missed the command; the next attempt sends it again. When every
        // attempt failed, the result stays false and the panel warns.
      }
      if (mAbort.Requested() && !mAbort.Writing()) break;
    }
  }
  SetLiveActive(true);
  return result;
}

bool tDMU_R70ifc::RunAdjustAction(const tToAdjust pToAdjust, const tAdjustAction pAdjustAction) {
  switch (pAdjustAction) {
  case aaOn:
    mR70->SetAdjustOn(pToAdjust);
    return true;
  case aaInc1:
    return mR70->AdjustInc(pToAdjust, 0);
  case aaInc10:
    return mR70->AdjustInc(pToAdjust, 1);
  case aaInc100:
    return mR70->AdjustInc(pToAdjust, 2);
  case aaDec1:
    return mR70->AdjustDec(pToAdjust, 0);
  case aaDec10:
    return mR70->AdjustDec(pToAdjust, 1);
  case aaDec100:
    return mR70->AdjustDec(pToAdjust, 2);
  case aaOK:
    mR70->AdjustSave(pToAdjust);
    WriteCalibrationDate();
    return true;
  case aaCancel:
    mR70->SoftwareReset();
    Delay(cCommandPauseMs, true);
    return true;
  case aaFactoryReset:
    mR70->FactoryReset(pToAdjust);
    WriteCalibrationDate();
    return true;
  }
  return false;
}

quint8 tDMU_R70ifc::CalcEepromCrc() {
  quint8 crc = 0;
  for (quint8 address = 0; address < 16; ++address)
    crc = Crc8Step(crc, mR70->ReadEEPROM(address));
  return crc;
}

void tDMU_R70ifc::WriteCalibrationDate() {
  const QDate today = QDate::currentDate();
  mR70->WriteEEPROM(10, quint8(today.day()));
  mR70->WriteEEPROM(11, quint8(today.month()));
  mR70->WriteEEPROM(12, quint8(today.year() % 100));
  mR70->WriteEEPROM(240, CalcEepromCrc());
  mDeviceInfo->SetLastCalib(FormatShortDate(FromQDate(today)));
}

void tDMU_R70ifc::WriteOperatingParam(const tOperatingMode pOperatingMode,
                                      const quint16 pInterval) {
  if (!mR70) throw eError(QStringLiteral("R70-Protokoll nicht verfügbar"));
  if (size_t(pOperatingMode) >= OperatingModeCodes.size())
    throw eError(QStringLiteral("Falscher Parameter!"));
  const quint8 code = OperatingModeCodes[pOperatingMode];
  SetLiveActive(false);
  Delay(cCommandPauseMs, true);
  if (mAbort.Requested()) throw eError(QStringLiteral("Verbindung beendet"));
  {
    const tAbortLatch::tWrite write(mAbort, true);
    for (int attempt = 1;; ++attempt) {
      try {
        mR70->WriteEEPROM(35, code);
        mR70->WriteEEPROM(35, code);
        mR70->WriteEEPROM(36, quint8(pInterval & 0xFF));
        mR70->WriteEEPROM(36, quint8(pInterval & 0xFF));
        mR70->WriteEEPROM(37, quint8(pInterval >> 8));
        break;
      } catch (const std::exception&) {
        if (attempt == cParamAttempts) throw;
      }
    }
  }
  // Keep the properties in step with what the instrument now holds.
  FOperatingMode = pOperatingMode;
  FOpInterval = pInterval;
  SetLiveActive(true);
}

void tDMU_R70ifc::FactoryOperatingParam() {
  if (!mR70) throw eError(QStringLiteral("R70-Protokoll nicht verfügbar"));
  SetLiveActive(false);
  Delay(cCommandPauseMs, true);
  for (int attempt = 1;; ++attempt) {
    if (mAbort.Requested()) throw eError(QStringLiteral("Verbindung beendet"));
    try {
      FOperatingMode = GetOperatingModeOfByte(mR70->ReadEEPROM(179));
      const int high = mR70->ReadEEPROM(181);
      const int low = mR70->ReadEEPROM(180);
      FOpInterval = quint16(high * 256 + low);
      WriteOperatingParam(FOperatingMode, FOpInterval);
      break;
    } catch (const std::exception&) {
      if (attempt == cParamAttempts) throw;
    }
  }
  SetLiveActive(true);
}
