#include "protocol/k40/DMU_K40ifc.h"

#include "core/Clock.h"
#include "core/Format.h"
#include "core/Utils.h"
#include "core/Wait.h"
#include "protocol/common/FrameCodec.h"
#include "protocol/k40/K40Values.h"

#include <QDate>
#include <QLocale>
#include <QTimer>

namespace {

struct tOutputSignal {
  double SBA;
  double SBE;
  const char* UnitStr;
  const char* TypeStr;
  quint8 KalibOffs;
};

// Indexed by the output-signal code of cell 127 (1 to 10); KalibOffs is the first cell of the
// factory calibration block of that output, 0 where the output has none.
constexpr tOutputSignal OutputSignalTable[10] = {
    {0, 10, "V", "3L", 123},  {0, 5, "V", "3L", 117},   {0, 0, "", "", 0}, {4, 20, "mA", "3L", 111},
    {4, 20, "mA", "2L", 111}, {0, 6, "V", "3L", 97},    {0, 0, "", "", 0}, {0, 20, "mA", "3L", 103},
    {0, 20, "mA", "3L", 103}, {0, 0, "", "RS-232", 97},
};

constexpr quint8 OperatingModeCodes[3] = {0xFF, 0xFE, 0xFD};

QByteArray LiveCmd(const char* pName) {
  return QByteArray(pName, 2) + char(0x00);
}

} // namespace

tDMU_K40ifc::tDMU_K40ifc(std::unique_ptr<iComPort> pComObj)
    : mComObj(pComObj.get()), mK40(std::make_unique<tDMU_K40>(std::move(pComObj))) {}

tDMU_K40ifc::~tDMU_K40ifc() {
  *mAlive = false;
  ReleaseTimer();
  if (mComObj) {
    try {
      mComObj->SetOpen(false);
    } catch (...) {
      // A vanished device may refuse closing; the command layer releases the port anyway.
    }
  }
  mK40.reset();
}

void tDMU_K40ifc::ReleaseTimer() {
  if (!mTimer) return;
  mTimer->stop();
  mTimer->disconnect();
  // The timer may be the sender of the tick that is destroying this object.
  mTimer->deleteLater();
  mTimer = nullptr;
  mTimerStep = nullptr;
  mPollingActive = false;
}

TTriggerAvailEvent tDMU_K40ifc::LiveParser() {
  return [this](iComPort* pCP, quint16 pCount) { ParseLiveReply(pCP, pCount); };
}

void tDMU_K40ifc::Abort() {
  mAbort.Request();
}

void tDMU_K40ifc::AbortNow() {
  ReleaseTimer();
  if (mK40) mK40->Abort();
}

void tDMU_K40ifc::Initialize(tDeviceInfo* pDeviceInfo) {
  mDeviceInfo = pDeviceInfo;
  FStatusByte = 0;
  try {
    float mba = 0, mbe = 0;
    quint8 unit = 0;
    tDruckKennung kennung = dkRelativ;
    try {
      mK40->ReadRange(mba, mbe, unit, kennung);
    } catch (const eError&) {
      mK40->ReadRange(mba, mbe, unit, kennung);
    }
    mPUnitType = UnitFromK40Code(unit);

    tDeviceInfo& info = *mDeviceInfo;
    info.SetUpdating(true);
    info.SetMBAinUnit(mba);
    info.SetMBEinUnit(mbe);
    info.SetDruckkennung(kennung);
    info.SetMBAUnitStr(PressureUnitNames[mPUnitType]);
    info.SetMBEUnitStr(PressureUnitNames[mPUnitType]);
    info.SetMBAinBar(float(mba * PressureUnitFactors[mPUnitType]));
    info.SetMBEinBar(float(mbe * PressureUnitFactors[mPUnitType]));

    const quint8 code = mK40->ReadEEPROM(127);
    if (code >= 1 && code <= 10) {
      const tOutputSignal& s = OutputSignalTable[code - 1];
      info.SetSBA(float(s.SBA));
      info.SetSBE(float(s.SBE));
      info.SetSignalUnitStr(QString::fromUtf8(s.UnitStr));
      info.SetSignalTypeStr(QString::fromUtf8(s.TypeStr));
      mKalibOffs = s.KalibOffs;
    } else {
      info.SetSBA(0);
      info.SetSBE(0);
      info.SetSignalUnitStr(QString());
      info.SetSignalTypeStr(QString());
    }

    info.SetAccuracy(float(mK40->ReadEEPROM(57) / 100.0));
    info.SetSerialNr(mK40->ReadIdent());
    const quint8 calibYear = mK40->ReadEEPROM(80);
    const quint8 calibMonth = mK40->ReadEEPROM(79);
    info.SetLastCalib(MonthYearText(calibMonth, calibYear));
    quint8 month = 0, year = 0;
    mK40->ReadDateOfProduction(month, year);
    info.SetDateProduction(MonthYearText(month, year));
    info.SetTag(info.SerialNr() + " " + QString::asprintf("%.2d/%.2d", month, year));
    info.SetIdent(info.Tag());
    info.SetFirmwareVersion(mK40->ReadFirmwareRevision());
    info.SetUpdating(false);

    if (info.DeviceType() == dtK4xP) {
      FOperatingMode = GetOperatingModeOfByte(mK40->ReadEEPROM(101));
      const quint8 high = mK40->ReadEEPROM(103);
      const quint8 low = mK40->ReadEEPROM(102);
      FOpInterval = quint16(high * 256 + low);
      FOpResponse = quint8(mK40->ReadEEPROM(104) / 17);
    }

    mSaveTriggerAvail = mComObj->OnTriggerAvail();
    mComObj->SetOnTriggerAvail(LiveParser());
    mTimer = new QTimer();
    mTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(mTimer, &QTimer::timeout, mTimer, [this] {
      if (mTimerStep) (this->*mTimerStep)();
    });
    if (mAbort.Requested()) throw eError(QString::fromUtf8(tDMU_K40::cReleasedText));
    mTimerStep = &tDMU_K40ifc::RequestNext;
    mPollingActive = true;
    mLastTempTime = cNever;
    mWatch.Start();
    ScheduleNext();
  } catch (...) {
    ReleaseTimer();
    mComObj = nullptr;
    mK40.reset();
    throw;
  }
}

void tDMU_K40ifc::ScheduleNext() {
  // The next request goes out on the first pass of the event loop after a reply, not on the
  // next tick of a 1 ms timer, which would cost about a millisecond per exchange.
  mTimer->setSingleShot(true);
  mTimer->start(0);
}

void tDMU_K40ifc::RequestNext() {
  mTimerStep = &tDMU_K40ifc::CheckReplyTimeout;
  if (mDeviceInfo->DeviceType() != dtK4xP) mLastStatusTime = MonotonicMSecs();
  if (MSecsElapsed(mLastStatusTime, cRefreshMs))
    SendRequest(LiveCmd("PK"), "k", 3);
  else if (MSecsElapsed(mLastTempTime, cRefreshMs))
    SendRequest(LiveCmd("TW"), "T", 3);
  else if (FIsWerksDruckActive && mDeviceInfo->PressureWerkIsOlder())
    SendRequest(LiveCmd("PR"), "X", 3);
  else
    SendRequest(LiveCmd("PZ"), "P", 3);
  // Watching for the time-out only compares time stamps; a coarse tick is enough.
  mTimer->setSingleShot(false);
  mTimer->start(cWatchIntervalMs);
}

void tDMU_K40ifc::SendRequest(const QByteArray& pCommand, const QByteArray& pPrefix,
                              int pDataLength) {
  FrameCodec::SendRequest(*mComObj, pCommand, false);
  mReceived.clear();
  mWatch.Sent();
  mExpectedRecStart = pPrefix;
  mExpectedDataLength = pDataLength;
}

bool tDMU_K40ifc::TimedOut() {
  if (!mWatch.TimedOut()) return false;
  mTimer->stop();
  mPollingActive = false;
  if (FOnTimeOut) FOnTimeOut(mTimer);
  return true;
}

void tDMU_K40ifc::CheckReplyTimeout() {
  if (TimedOut()) return;
  if (mWatch.Stalled(!mReceived.isEmpty())) DiscardReply();
}

void tDMU_K40ifc::DiscardReply() {
  mWatch.Spoilt();
  mExpectedRecStart.clear();
  if (!mPollingActive) return;
  mTimerStep = &tDMU_K40ifc::SettleLine;
  mTimer->setSingleShot(false);
  mTimer->start(cWatchIntervalMs);
}

void tDMU_K40ifc::SettleLine() {
  // Spoilt replies that come back at once never leave time for the reply watch.
  if (TimedOut() || !mWatch.Settled()) return;
  mTimerStep = &tDMU_K40ifc::RequestNext;
  if (mPollingActive) ScheduleNext();
}

void tDMU_K40ifc::ParseLiveReply(iComPort* pCP, quint16 pCount) {
  for (quint16 i = 0; i < pCount; ++i)
    mReceived.append(char(pCP->ReadByte()));
  if (pCount > 0) mWatch.BytesArrived();
  // Bytes while no request is pending belong to no exchange; the next request clears them.
  if (mExpectedRecStart.isEmpty() || mExpectedDataLength == -2) return;
  const FrameCodec::tReply verdict =
      FrameCodec::Judge(mReceived, mExpectedRecStart, mExpectedDataLength);
  if (verdict == FrameCodec::tReply::Incomplete) return;
  // A wrong start, a wrong sum or bytes beyond the reply: the sample is lost, the loop is not.
  if (verdict != FrameCodec::tReply::Valid) {
    DiscardReply();
    return;
  }
  mWatch.Valid();
  const QByteArray data = FrameCodec::Data(mReceived, mExpectedRecStart, mExpectedDataLength);
  mReceived = data;
  const char kind = mExpectedRecStart[0];
  bool notify = true;
  switch (kind) {
  case 'P':
    mDeviceInfo->SetPressureUnit(K40Values::Pressure(data));
    mDeviceInfo->SetPressureBar(mDeviceInfo->PressureUnit() * PressureUnitFactors[mPUnitType]);
    break;
  case 'X':
    mDeviceInfo->SetPressureWerkUnit(K40Values::Pressure(data));
    break;
  case 'T':
    mDeviceInfo->SetTemperature(K40Values::Temperature(data));
    mLastTempTime = MonotonicMSecs();
    break;
  case 'k':
    mLastStatusTime = MonotonicMSecs();
    notify = K40Values::Status(data) != FStatusByte;
    FStatusByte = K40Values::Status(data);
    break;
  default:
    break;
  }
  // Schedule the next request before telling the page, so that an error raised by the
  // page's handler cannot stall the loop into a time-out.
  mExpectedRecStart.clear();
  mTimerStep = &tDMU_K40ifc::RequestNext;
  if (mPollingActive) ScheduleNext();
  if (notify && FOnNewValue) FOnNewValue(this);
}

void tDMU_K40ifc::SetPolling(bool pOn) {
  if (!mTimer || !mComObj || mAbort.Requested()) return;
  if (pOn) {
    mComObj->SetOnTriggerAvail(LiveParser());
    mTimerStep = &tDMU_K40ifc::RequestNext;
    mPollingActive = true;
    mWatch.Start();
    ScheduleNext();
    return;
  }
  mTimer->stop();
  mPollingActive = false;
  const std::shared_ptr<bool> alive = mAlive;
  // Let a pending live reply reach the parser, not the next command transaction.
  WaitUntil([&] { return !*alive || mAbort.Requested() || mExpectedRecStart.isEmpty(); },
            cLiveTimeoutMs);
  if (!*alive || mAbort.Requested()) return;
  mExpectedRecStart.clear();
  mTimerStep = nullptr;
  mComObj->SetOnTriggerAvail(mSaveTriggerAvail);
}

bool tDMU_K40ifc::AdjustActionEvent(tToAdjust pToAdjust, tAdjustAction pAdjustAction) {
  const std::shared_ptr<bool> alive = mAlive;
  if (mAbort.Requested()) return false;
  SetPolling(false);
  if (!*alive || mAbort.Requested()) return false;
  bool done = false;
  {
    const tAbortLatch::tWrite write(mAbort,
                                    pAdjustAction == aaOK || pAdjustAction == aaFactoryReset);
    for (int attempt = 0; attempt < cAdjustAttempts && !done; ++attempt) {
      try {
        RunAdjustAction(pToAdjust, pAdjustAction);
        done = true;
      } catch (const std::exception&) {
        // The instrument missed the command; the next attempt sends it again.
      }
      if (!*alive) return false;
    }
  }
  if (!*alive) return false;
  if (mAbort.Requested()) return done;
  SetPolling(true);
  // Six failed attempts are a failure the user must see, not a stored adjustment.
  return done;
}

void tDMU_K40ifc::RunAdjustAction(tToAdjust pToAdjust, tAdjustAction pAdjustAction) {
  if (!mK40) throw eError(QString::fromUtf8(tDMU_K40::cReleasedText));
  switch (pAdjustAction) {
  case aaOn:
    mK40->SetAdjustOn(pToAdjust);
    break;
  case aaInc1:
  case aaInc10:
  case aaInc100:
    mK40->AdjustInc(pToAdjust);
    break;
  case aaDec1:
  case aaDec10:
  case aaDec100:
    mK40->AdjustDec(pToAdjust);
    break;
  case aaOK:
    mK40->AdjustSave(pToAdjust);
    StoreAdjustDate();
    break;
  case aaCancel:
    mK40->SoftwareReset();
    break;
  case aaFactoryReset:
    CopyFactoryCalibration(pToAdjust);
    mK40->FactoryReset(pToAdjust);
    StoreAdjustDate();
    break;
  }
}

void tDMU_K40ifc::CopyFactoryCalibration(tToAdjust pToAdjust) {
  // Outputs without a calibration block (codes 3, 7, unknown) would copy cells 0–3 over the
  // working calibration; the copy is skipped and the instrument's own reset still runs.
  if (mKalibOffs == 0) return;
  const int base = pToAdjust == taNp ? 2 : 0;
  for (int cell = base + 88; cell <= base + 89; ++cell)
    mK40->WriteEEPROM(quint8(cell), mK40->ReadEEPROM(quint8(mKalibOffs + cell - 88)));
}

void tDMU_K40ifc::StoreAdjustDate() {
  const QDate today = QDate::currentDate();
  const quint8 month = quint8(today.month());
  const quint8 year = quint8(today.year() % 100);
  mK40->WriteEEPROM(79, month);
  mK40->WriteEEPROM(80, year);
  if (mDeviceInfo) mDeviceInfo->SetLastCalib(MonthYearText(month, year));
}

void tDMU_K40ifc::WriteOperatingParam(tOperatingMode pOperatingMode, quint8 pResponseTime,
                                      quint16 pInterval) {
  // Both nibbles of cell 104 hold the response, so anything above 15 cannot be stored. It is
  // refused before any cell is written, so the instrument never keeps half a parameter set.
  if (pResponseTime > 15) throw eRangeError(QStringLiteral("Range check error"));
  const std::shared_ptr<bool> alive = mAlive;
  SetPolling(false);
  if (!*alive) return;
  if (!mK40 || mAbort.Requested()) throw eError(QString::fromUtf8(tDMU_K40::cReleasedText));
  {
    const tAbortLatch::tWrite write(mAbort, true);
    mK40->WriteEEPROM(101, OperatingModeCode(pOperatingMode));
    mK40->WriteEEPROM(102, quint8(pInterval & 0xFF));
    mK40->WriteEEPROM(103, quint8(pInterval >> 8));
    mK40->WriteEEPROM(104, quint8(pResponseTime * 17));
  }
  if (!*alive) return;
  SetPolling(true);
}

void tDMU_K40ifc::FactoryOperatingParam() {
  const std::shared_ptr<bool> alive = mAlive;
  SetPolling(false);
  if (!*alive) return;
  if (!mK40 || mAbort.Requested()) throw eError(QString::fromUtf8(tDMU_K40::cReleasedText));
  FOperatingMode = GetOperatingModeOfByte(mK40->ReadEEPROM(126));
  const quint8 high = mK40->ReadEEPROM(124);
  const quint8 low = mK40->ReadEEPROM(123);
  FOpInterval = quint16(high * 256 + low);
  FOpResponse = quint8(mK40->ReadEEPROM(125) / 17);
  WriteOperatingParam(FOperatingMode, FOpResponse, FOpInterval);
  if (!*alive) return;
  SetPolling(true);
}

tDMU_K40ifc::tOperatingMode tDMU_K40ifc::GetOperatingModeOfByte(quint8 pOpModeByte) {
  for (int m = 0; m < 3; ++m)
    if (OperatingModeCodes[m] == pOpModeByte) return tOperatingMode(m);
  throw eError("Unknown operating Mode: " + QString::number(pOpModeByte));
}

quint8 tDMU_K40ifc::OperatingModeCode(tOperatingMode pOperatingMode) {
  return OperatingModeCodes[std::min<int>(pOperatingMode, 2)];
}

QString tDMU_K40ifc::MonthYearText(int pMonth, int pYear) {
  const QDate date1(pYear + 3300, pMonth, 11);
  const QDate date2(pYear + 3300, pMonth, 22);
  if (!date1.isValid())
    throw eConvertError(QStringLiteral("Ungültiges Argument für Datumsverschlüsselung"));
  // The year 3300 + year is there to be cut out again by its "33". A two-digit year format
  // would show only the instrument's year, and cutting "33" out of it would break 2033; so
  // the year is always written with four digits.
  QString format = ShortDateFormat();
  if (!format.contains(QStringLiteral("yyyy")))
    format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
  const QLocale locale;
  const QString d1 = locale.toString(date1, format);
  const QString d2 = locale.toString(date2, format);
  QString merged;
  for (int i = 0; i < d1.size(); ++i)
    merged += (i < d2.size() && d1[i] == d2[i]) ? d1[i] : QChar('x');
  // The separator is the first character of the format that is no date letter.
  QString separator = QStringLiteral(".");
  for (QChar c : ShortDateFormat())
    if (!c.isLetter()) {
      separator = c;
      break;
    }
  const int century = merged.indexOf(QStringLiteral("33"));
  if (century >= 0) merged.remove(century, 2);
  const int a = merged.indexOf("xx" + separator);
  if (a >= 0) merged.remove(a, 2 + separator.size());
  const int b = merged.indexOf(separator + "xx");
  if (b >= 0) merged.remove(b, 2 + separator.size());
  return merged;
}
