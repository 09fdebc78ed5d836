#include "FuzzPort.h"

#include "core/DateTime.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdint>
#include <functional>

tFuzzPort::tFuzzPort(tSimInstrument* pInstrument) : mInstrument(pInstrument) {
  if (mInstrument)
    mInstrument->OnTransmit = [this,
                               lAlive = std::weak_ptr<bool>(mAlive)](const QByteArray& pFrame) {
      if (lAlive.expired() || mFuzzing) return;
      Deliver(pFrame);
    };
}

tFuzzPort::~tFuzzPort() {
  *mAlive = false;
  if (mInstrument) mInstrument->OnTransmit = nullptr;
}

void tFuzzPort::SetFuzzInput(const quint8* pData, size_t pSize) {
  mFuzzing = true;
  mData = pData;
  mSize = pSize;
  mPos = 0;
  mPending.clear();
}

void tFuzzPort::StopFuzzInput() {
  mFuzzing = false;
  mData = nullptr;
  mSize = mPos = 0;
  mPending.clear();
}

void tFuzzPort::SetComNumber(qint64 pValue) {
  if (pValue < 0 || pValue > 65535) throw eRangeError("Range check error");
  FComNumber = quint16(pValue);
}

void tFuzzPort::SendBytes(const QByteArray& pBytes) {
  mFrame.append(pBytes);
  mBytesAfterCommand = 0;
  // The layers hand a whole request over at once: command, checksum and terminator.
  if (pBytes.size() >= 5 && pBytes.endsWith('\r')) FrameSent();
}

void tFuzzPort::SendByte(quint8 pByte) {
  mFrame.append(char(pByte));
  // Checksum and terminator follow the command bytes; a leading auto-baud byte comes before.
  if (mBytesAfterCommand >= 0 && ++mBytesAfterCommand == 2) FrameSent();
}

void tFuzzPort::FrameSent() {
  const QByteArray lFrame = mFrame;
  mFrame.clear();
  mBytesAfterCommand = -1;
  ++mRequests;
  if (!mFuzzing) {
    if (mInstrument) mInstrument->Receive(lFrame);
    return;
  }
  if (mPos >= mSize) return;
  const quint8 lHead = mData[mPos++];
  const size_t lLength = std::min<size_t>(lHead & 0x0F, mSize - mPos);
  QByteArray lChunk(reinterpret_cast<const char*>(mData + mPos), qsizetype(lLength));
  mPos += lLength;
  if ((lHead & 0x10) && lChunk.size() > 1) {
    mPending = lChunk.mid(lChunk.size() / 2);
    lChunk.truncate(lChunk.size() / 2);
  }
  Deliver(lChunk);
}

void tFuzzPort::Deliver(const QByteArray& pBytes) {
  QTimer::singleShot(0, this, [this, pBytes] {
    mReceived.append(pBytes);
    Notify();
    if (!mPending.isEmpty()) {
      const QByteArray lRest = mPending;
      mPending.clear();
      Deliver(lRest);
    }
  });
}

void tFuzzPort::Notify() {
  if (!FOpen || !FOnTriggerAvail) return;
  const TTriggerAvailEvent lHandler = FOnTriggerAvail;
  lHandler(this, quint16(std::min<qsizetype>(mReceived.size(), 65535)));
}

quint8 tFuzzPort::ReadByte() {
  if (mReceived.isEmpty()) return 0;
  const quint8 lByte = quint8(mReceived.front());
  mReceived.remove(0, 1);
  return lByte;
}

void FuzzPump(const std::function<bool()>& pDone, int pRealMs) {
  QDeadlineTimer lDeadline(pRealMs);
  QTimer lTick;
  lTick.start(1);
  while (!pDone() && !lDeadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void FuzzInitApplication(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_LOGGING_RULES", "*.debug=false;*.warning=false");
  static int sArgc = 1;
  static char sName[] = "corvane-fuzz";
  static char* sArgv[] = {sName, nullptr};
  (void)argc;
  (void)argv;
  static QApplication sApp(sArgc, sArgv);
}

// The program's clock, sped up: the layers under test take their time stamps from
// NowDateTime, and the build wraps that symbol so their waits end sooner. Only differences of
// these values are used inside one run, so a scaled clock keeps every ordering intact.
extern "C" tDateTime __real__Z11NowDateTimev();
extern "C" tDateTime __wrap__Z11NowDateTimev() {
  static const tDateTime sStart = __real__Z11NowDateTimev();
  static QElapsedTimer sClock = [] {
    QElapsedTimer lClock;
    lClock.start();
    return lClock;
  }();
  return sStart + double(sClock.nsecsElapsed()) / 1.0e6 * cFuzzClockScale / MSecsPerDay;
}

// Pauses of the layers (the probes' settling time, the pauses between R70 commands) on the
// same faster clock.
extern "C" void __real__Z5Delaydb(double pMSec, bool pKeepResponsive);
extern "C" void __wrap__Z5Delaydb(double pMSec, bool pKeepResponsive) {
  __real__Z5Delaydb(pMSec > 0 ? pMSec / cFuzzClockScale : pMSec, pKeepResponsive);
}

// Time-outs and intervals come from the monotonic clock: scaled alike.
extern "C" std::int64_t __real__Z14MonotonicMSecsv();
extern "C" std::int64_t __wrap__Z14MonotonicMSecsv() {
  return std::int64_t(double(__real__Z14MonotonicMSecsv()) * cFuzzClockScale);
}

// The device frame times its probes and its search with QElapsedTimer::elapsed; scaled the
// same way, a whole search cycle (and its 6 s limit) passes in a fraction of a second.
extern "C" qint64 __real__ZNK13QElapsedTimer7elapsedEv(const QElapsedTimer* pThis);
extern "C" qint64 __wrap__ZNK13QElapsedTimer7elapsedEv(const QElapsedTimer* pThis) {
  return qint64(double(__real__ZNK13QElapsedTimer7elapsedEv(pThis)) * cFuzzClockScale);
}
