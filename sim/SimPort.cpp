#include "sim/SimPort.h"

#include <QHash>
#include <QtDebug>
#include <algorithm>

namespace {
// Timers have millisecond steps and the event loop rounds its waits up to whole milliseconds,
// so a timer aimed exactly at a byte's time would fire up to a millisecond late on every
// exchange. Instead a byte is taken up to kEarlyNs before its time, and the timer is aimed
// at the first whole millisecond inside that window. The line keeps its own time: what either
// side sends in answer starts when the bytes it saw were due plus the time it took since they
// were handed to it. Bytes handed over early or late thus neither hide a side's own time
// nor add the timers' to it, and the line runs exactly at its rate from frame to frame.
constexpr qint64 kEarlyNs = 800'000;

// Which simulated port holds which instrument open: a second port on the same instrument is
// "already open", as a second program on the same device would be.
QHash<const tSimInstrument*, const tSimPort*>& Holders() {
  static QHash<const tSimInstrument*, const tSimPort*> lHolders;
  return lHolders;
}
} // namespace

tSimPort::tSimPort(tSimInstrument* pInstrument, QObject* pParent)
    : QObject(pParent), mInstrument(pInstrument) {
  mClock.start();
  for (QTimer* lTimer : {&mTxTimer, &mRxTimer}) {
    lTimer->setSingleShot(true);
    lTimer->setTimerType(Qt::PreciseTimer);
  }
  connect(&mTxTimer, &QTimer::timeout, this, &tSimPort::DeliverToInstrument);
  connect(&mRxTimer, &QTimer::timeout, this, &tSimPort::DeliverToProgram);
}

tSimPort::~tSimPort() {
  *mAlive = false;
  Detach();
}

void tSimPort::SetComNumber(qint64 pValue) {
  if (pValue < 0 || pValue > 65535)
    throw eRangeError(QStringLiteral("Range check error: COM%1").arg(pValue));
  FComNumber = static_cast<quint16>(pValue);
}

void tSimPort::SetBaud(int pValue) {
  FBaud = pValue;
  // Bytes still on their way keep the rate they were sent at; the instrument hears of the
  // new one when they have arrived.
  if (FOpen && mToInstrument.empty()) TellBaud(FBaud);
}

void tSimPort::SetOpen(bool pValue) {
  if (pValue == FOpen) return;
  if (!pValue) {
    Detach();
    return;
  }
  if (mVanished || !mInstrument || FOpenFault == tOpenFault::ofBadId)
    throw EBadId(QStringLiteral("COM%1: port does not exist").arg(FComNumber));
  if (FOpenFault == tOpenFault::ofAlreadyOpen || Holders().contains(mInstrument.data()))
    throw EAlreadyOpen(QStringLiteral("COM%1: port already open").arg(FComNumber));
  if (FOpenFault == tOpenFault::ofOther)
    throw eError(QStringLiteral("COM%1: the port could not be opened").arg(FComNumber));
  Holders().insert(mInstrument.data(), this);
  mInstrument->OnTransmit = [this](const QByteArray& pFrame) { Transmitted(pFrame); };
  FOpen = true;
  mReceived.clear();
  mTxLineFreeNs = mRxLineFreeNs = mClock.nsecsElapsed();
  mInstrumentSawNs = mProgramSawNs = mTxLineFreeNs;
  mInstrumentHandedNs = mProgramHandedNs = mTxLineFreeNs;
  mToldBaud = 0;
  TellBaud(FBaud);
}

void tSimPort::Detach() {
  FOpen = false;
  mToInstrument.clear();
  mToProgram.clear();
  mTxTimer.stop();
  mRxTimer.stop();
  mReceived.clear();
  for (auto lIt = Holders().begin(); lIt != Holders().end();) {
    if (lIt.value() == this) {
      if (mInstrument && lIt.key() == mInstrument.data()) mInstrument->OnTransmit = nullptr;
      lIt = Holders().erase(lIt);
    } else {
      ++lIt;
    }
  }
}

void tSimPort::SetOnTriggerAvail(TTriggerAvailEvent pHandler) {
  FOnTriggerAvail = std::move(pHandler);
}

void tSimPort::ClearReceive() {
  mReceived.clear();
}

void tSimPort::ClearTransmit() {
  mToInstrument.clear();
  mTxTimer.stop();
  // The line is free from the program's moment on the line's own clock. The wall clock runs
  // behind or ahead of that clock by however early or late the timers handed the last reply
  // over; taking it here would charge a late timer to the program's next request. Bytes the
  // instrument already has stay on the line, even when an early timer handed them over.
  const qint64 lNow = mClock.nsecsElapsed();
  mTxLineFreeNs =
      FFaults.PaceAtBaud
          ? std::max(LineTime(lNow, mProgramSawNs, mProgramHandedNs), mInstrumentSawNs)
          : lNow;
}

void tSimPort::SendBytes(const QByteArray& pBytes) {
  if (!FOpen && FAutoOpen) SetOpen(true);
  // A closed or pulled port swallows the bytes: the layers see silence and time out, which
  // is one state change instead of an error per request.
  if (!FOpen || pBytes.isEmpty()) return;
  const qint64 lNow = mClock.nsecsElapsed();
  const bool lPaced = FFaults.PaceAtBaud;
  qint64 lDue = lPaced ? std::max(mTxLineFreeNs, LineTime(lNow, mProgramSawNs, mProgramHandedNs))
                       : std::max({lNow, mTxLineFreeNs, mProgramSawNs});
  for (char lByte : pBytes) {
    if (lPaced) lDue += ByteNs(FBaud);
    mToInstrument.push_back({static_cast<quint8>(lByte), FBaud, lPaced ? lDue : lNow});
  }
  if (lPaced) mTxLineFreeNs = lDue;
  Schedule(mTxTimer, mToInstrument);
}

void tSimPort::SendByte(quint8 pByte) {
  SendBytes(QByteArray(1, static_cast<char>(pByte)));
}

quint8 tSimPort::ReadByte() {
  // Reading more than Count is a caller's fault; answering 0 keeps it harmless.
  if (mReceived.isEmpty()) return 0;
  const quint8 lByte = static_cast<quint8>(mReceived.at(0));
  mReceived.remove(0, 1);
  return lByte;
}

void tSimPort::Vanish() {
  mVanished = true;
  if (!FOpen) return;
  Detach();
  const QString lText = QStringLiteral("COM%1: the device has gone away").arg(FComNumber);
  qWarning().noquote() << lText;
  if (OnLineLost) OnLineLost(this, lText);
}

qint64 tSimPort::LineTime(qint64 pNowNs, qint64 pSawNs, qint64 pHandedNs) {
  // The line's time of an answer: the side saw the bytes when they were due and has taken
  // since then what it took since they were handed over.
  return pSawNs + (pNowNs - pHandedNs);
}

qint64 tSimPort::ByteNs(int pBaud) const {
  return pBaud > 0 ? 10'000'000'000LL / pBaud : 0;
}

void tSimPort::Transmitted(const QByteArray& pFrame) {
  if (!FOpen || FFaults.Silent || pFrame.isEmpty()) return;
  const QByteArray lFrame = FaultyReply(FFaults, pFrame, mRepliesSent);

  const bool lPaced = FFaults.PaceAtBaud;
  const qint64 lClockNs = mClock.nsecsElapsed();
  const qint64 lNow = lPaced ? LineTime(lClockNs, mInstrumentSawNs, mInstrumentHandedNs)
                             : std::max(lClockNs, mInstrumentSawNs);
  const qint64 lStart = lNow + qint64(std::max(0, FFaults.ReplyDelayMs)) * 1'000'000;
  qint64 lDue = lPaced ? std::max(lStart, mRxLineFreeNs) : lStart;
  for (char lByte : lFrame) {
    if (lPaced) lDue += ByteNs(FBaud);
    mToProgram.push_back({static_cast<quint8>(lByte), FBaud, lDue});
  }
  if (lPaced) mRxLineFreeNs = lDue;
  Schedule(mRxTimer, mToProgram);
}

void tSimPort::Schedule(QTimer& pTimer, const std::deque<tLineByte>& pQueue) {
  if (pQueue.empty()) {
    pTimer.stop();
    return;
  }
  const qint64 lWaitNs = pQueue.front().DueNs - mClock.nsecsElapsed() - kEarlyNs;
  const int lWaitMs = lWaitNs <= 0 ? 0 : int((lWaitNs + 999'999) / 1'000'000);
  if (pTimer.isActive() && pTimer.remainingTime() <= lWaitMs) return;
  pTimer.start(lWaitMs);
}

void tSimPort::TellBaud(int pBaud) {
  if (!mInstrument || pBaud == mToldBaud) return;
  mToldBaud = pBaud;
  mInstrument->SetLineBaud(pBaud);
}

void tSimPort::DeliverToInstrument() {
  const std::weak_ptr<bool> lAlive = mAlive;
  const qint64 lNow = mClock.nsecsElapsed() + kEarlyNs;
  while (FOpen && !mToInstrument.empty() && mToInstrument.front().DueNs <= lNow) {
    // One Receive per run of bytes sent at the same rate, after the rate is told.
    const int lBaud = mToInstrument.front().Baud;
    QByteArray lChunk;
    while (!mToInstrument.empty() && mToInstrument.front().DueNs <= lNow &&
           mToInstrument.front().Baud == lBaud) {
      lChunk.append(static_cast<char>(mToInstrument.front().Byte));
      mInstrumentSawNs = std::max(mInstrumentSawNs, mToInstrument.front().DueNs);
      mToInstrument.pop_front();
    }
    TellBaud(lBaud);
    mInstrumentHandedNs = mClock.nsecsElapsed();
    mSentLog.append(lChunk);
    if (mInstrument) mInstrument->Receive(lChunk);
    if (lAlive.expired()) return;
  }
  if (FOpen && mToInstrument.empty()) TellBaud(FBaud);
  Schedule(mTxTimer, mToInstrument);
}

void tSimPort::DeliverToProgram() {
  const qint64 lNow = mClock.nsecsElapsed() + kEarlyNs;
  bool lArrived = false;
  while (!mToProgram.empty() && mToProgram.front().DueNs <= lNow) {
    mReceived.append(static_cast<char>(mToProgram.front().Byte));
    mProgramSawNs = std::max(mProgramSawNs, mToProgram.front().DueNs);
    mToProgram.pop_front();
    lArrived = true;
  }
  if (lArrived) mProgramHandedNs = mClock.nsecsElapsed();
  Schedule(mRxTimer, mToProgram);
  // In the same pass as the arrival, as readyRead is: a later pass would let the next byte
  // of a slow line join the same read on a busy machine.
  if (lArrived) Notify();
}

void tSimPort::RaiseTriggerAvail() {
  QTimer::singleShot(0, this, &tSimPort::Notify);
}

void tSimPort::Notify() {
  if (!FOpen || !FOnTriggerAvail) return;
  const quint16 lCount = quint16(std::min<qsizetype>(mReceived.size(), 65535));
  // A copy: the handler may install another one, or delete this port.
  const TTriggerAvailEvent lHandler = FOnTriggerAvail;
  DeliverTriggerAvail(lHandler, this, lCount);
}

tComPortFactory tSimPortFactory::Factory() {
  return [this]() -> std::unique_ptr<iComPort> {
    auto lPort = std::make_unique<tSimPort>(mInstrument.data());
    lPort->SetFaults(mFaults);
    lPort->SetOpenFault(mOpenFault);
    mLast = lPort.get();
    ++mCreated;
    return lPort;
  };
}

void tSimPortFactory::SetFaults(const tSimFaults& pFaults) {
  mFaults = pFaults;
  if (mLast) mLast->SetFaults(pFaults);
}
