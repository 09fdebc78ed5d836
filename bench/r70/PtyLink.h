#pragma once
// A pseudo-terminal pair for measurements without the port service: the instrument model
// is served on the master side (reading the rate the program set on the slave with
// tcgetattr, optionally pacing its bytes at that rate), and a small port object drives the
// slave device through the operating system's tty layer, as a cable would.
#include "serial/ComPortIntf.h"
#include "sim/SimInstrument.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

namespace r70test {

inline speed_t SpeedOf(int pBaud) {
  return pBaud == 115200 ? B115200 : B9600;
}
inline int BaudOf(speed_t pSpeed) {
  return pSpeed == B115200 ? 115200 : 9600;
}

inline void MakeRaw(int pFd, int pBaud) {
  termios t{};
  if (tcgetattr(pFd, &t) != 0) return;
  cfmakeraw(&t);
  cfsetispeed(&t, SpeedOf(pBaud));
  cfsetospeed(&t, SpeedOf(pBaud));
  tcsetattr(pFd, TCSANOW, &t);
}

// The port object on the slave side.
class tPtyTestPort : public iComPort {
public:
  explicit tPtyTestPort(QByteArray pPath) : mPath(std::move(pPath)) {}
  ~tPtyTestPort() override { SetOpen(false); }

  bool AutoOpen() const override { return false; }
  void SetAutoOpen(bool) override {}
  quint16 ComNumber() const override { return 1; }
  void SetComNumber(qint64) override {}
  int Baud() const override { return mBaud; }
  void SetBaud(int pValue) override {
    mBaud = pValue;
    if (mFd >= 0) MakeRaw(mFd, mBaud);
  }
  bool RTS() const override { return true; }
  void SetRTS(bool) override {}
  bool DTR() const override { return true; }
  void SetDTR(bool) override {}
  bool Open() const override { return mFd >= 0; }
  void SetOpen(bool pValue) override {
    if (pValue && mFd < 0) {
      mFd = ::open(mPath.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      if (mFd < 0) throw EBadId(QStringLiteral("no such device"));
      MakeRaw(mFd, mBaud);
      mNotifier = std::make_unique<QSocketNotifier>(mFd, QSocketNotifier::Read);
      QObject::connect(mNotifier.get(), &QSocketNotifier::activated, mNotifier.get(),
                       [this] { Readable(); });
    } else if (!pValue && mFd >= 0) {
      mNotifier.reset();
      ::close(mFd);
      mFd = -1;
    }
  }
  TTriggerAvailEvent OnTriggerAvail() const override { return mHandler; }
  void SetOnTriggerAvail(TTriggerAvailEvent pHandler) override { mHandler = std::move(pHandler); }
  void ClearReceive() override {
    if (mFd >= 0) {
      Drain();
      tcflush(mFd, TCIFLUSH);
    }
    mRx.clear();
  }
  void ClearTransmit() override {
    if (mFd >= 0) tcflush(mFd, TCOFLUSH);
  }
  void SendBytes(const QByteArray& pBytes) override {
    qsizetype done = 0;
    while (mFd >= 0 && done < pBytes.size()) {
      const ssize_t n = ::write(mFd, pBytes.constData() + done, size_t(pBytes.size() - done));
      if (n > 0)
        done += n;
      else if (n < 0 && errno != EAGAIN && errno != EINTR)
        break;
    }
  }
  void SendByte(quint8 pByte) override { SendBytes(QByteArray(1, char(pByte))); }
  quint8 ReadByte() override {
    if (mRx.isEmpty()) return 0;
    const quint8 b = quint8(mRx[0]);
    mRx.remove(0, 1);
    return b;
  }

private:
  void Drain() {
    char buffer[512];
    ssize_t n;
    while ((n = ::read(mFd, buffer, sizeof buffer)) > 0)
      mRx.append(buffer, n);
  }
  void Readable() {
    Drain();
    if (mRx.isEmpty() || !mHandler) return;
    const TTriggerAvailEvent handler = mHandler;
    handler(this, quint16(qMin<qsizetype>(mRx.size(), 65535)));
  }

  QByteArray mPath;
  int mFd = -1;
  int mBaud = 9600;
  QByteArray mRx;
  std::unique_ptr<QSocketNotifier> mNotifier;
  TTriggerAvailEvent mHandler;
};

// Serves one instrument model on the master side of a new pty pair.
class tPtyInstrumentServer {
public:
  tPtyInstrumentServer(tSimInstrument* pInstrument, bool pPaced)
      : mInstrument(pInstrument), mPaced(pPaced) {
    char name[128] = {};
    if (openpty(&mMaster, &mSlave, name, nullptr, nullptr) != 0) return;
    mPath = name;
    MakeRaw(mSlave, 9600);
    fcntl(mMaster, F_SETFL, fcntl(mMaster, F_GETFL) | O_NONBLOCK);
    mClock.start();
    mNotifier = std::make_unique<QSocketNotifier>(mMaster, QSocketNotifier::Read);
    QObject::connect(mNotifier.get(), &QSocketNotifier::activated, mNotifier.get(),
                     [this] { FromProgram(); });
    // A timerfd wakes at the byte's due time to the microsecond; millisecond timers would
    // add up to a millisecond to every frame and distort the measured line rate.
    mTimerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    mTimerNotifier = std::make_unique<QSocketNotifier>(mTimerFd, QSocketNotifier::Read);
    QObject::connect(mTimerNotifier.get(), &QSocketNotifier::activated, mTimerNotifier.get(),
                     [this] {
                       quint64 expirations;
                       if (::read(mTimerFd, &expirations, sizeof expirations) < 0) {
                       }
                       Deliver();
                     });
    mInstrument->OnTransmit = [this](const QByteArray& pFrame) { ToProgram(pFrame); };
  }
  ~tPtyInstrumentServer() {
    if (mInstrument) mInstrument->OnTransmit = nullptr;
    mNotifier.reset();
    mTimerNotifier.reset();
    if (mTimerFd >= 0) ::close(mTimerFd);
    if (mMaster >= 0) ::close(mMaster);
    if (mSlave >= 0) ::close(mSlave);
  }
  bool Ok() const { return mMaster >= 0; }
  const QByteArray& Path() const { return mPath; }

private:
  struct tByte {
    char Byte;
    bool ToInstrument;
    qint64 DueNs;
  };

  int LineBaud() const {
    termios t{};
    if (tcgetattr(mSlave, &t) != 0) return 9600;
    return BaudOf(cfgetospeed(&t));
  }
  qint64 ByteNs() const { return 10'000'000'000LL / LineBaud(); }

  void FromProgram() {
    char buffer[512];
    ssize_t n;
    QByteArray bytes;
    while ((n = ::read(mMaster, buffer, sizeof buffer)) > 0)
      bytes.append(buffer, n);
    if (bytes.isEmpty() || !mInstrument) return;
    const int baud = LineBaud();
    if (baud != mInstrument->LineBaud()) mInstrument->SetLineBaud(baud);
    if (!mPaced) {
      mInstrument->Receive(bytes);
      return;
    }
    // The instrument hears each byte once its stop bit has left the line.
    qint64 due = qMax(mClock.nsecsElapsed(), mTxFreeNs);
    for (char c : bytes)
      mQueue.push_back({c, true, due += ByteNs()});
    mTxFreeNs = due;
    Schedule();
  }
  void ToProgram(const QByteArray& pFrame) {
    if (!mPaced) {
      if (::write(mMaster, pFrame.constData(), size_t(pFrame.size())) < 0) mLost += pFrame.size();
      return;
    }
    qint64 due = qMax(mClock.nsecsElapsed(), mRxFreeNs);
    for (char c : pFrame)
      mQueue.push_back({c, false, due += ByteNs()});
    mRxFreeNs = due;
    Schedule();
  }
  void Schedule() {
    if (mQueue.empty()) return;
    qint64 next = mQueue.front().DueNs;
    for (const tByte& b : mQueue)
      next = qMin(next, b.DueNs);
    const qint64 waitNs = qMax<qint64>(1000, next - mClock.nsecsElapsed());
    itimerspec lDue{};
    lDue.it_value.tv_sec = time_t(waitNs / 1'000'000'000);
    lDue.it_value.tv_nsec = long(waitNs % 1'000'000'000);
    timerfd_settime(mTimerFd, 0, &lDue, nullptr);
  }
  void Deliver() {
    const qint64 now = mClock.nsecsElapsed();
    QByteArray toInstrument, toProgram;
    std::deque<tByte> later;
    for (const tByte& b : mQueue) {
      if (b.DueNs > now)
        later.push_back(b);
      else if (b.ToInstrument)
        toInstrument.append(b.Byte);
      else
        toProgram.append(b.Byte);
    }
    mQueue.swap(later);
    if (!toProgram.isEmpty() &&
        ::write(mMaster, toProgram.constData(), size_t(toProgram.size())) < 0)
      mLost += toProgram.size();
    if (!toInstrument.isEmpty() && mInstrument) mInstrument->Receive(toInstrument);
    Schedule();
  }

  QPointer<tSimInstrument> mInstrument;
  bool mPaced;
  int mMaster = -1;
  int mSlave = -1;
  QByteArray mPath;
  std::unique_ptr<QSocketNotifier> mNotifier;
  QElapsedTimer mClock;
  int mTimerFd = -1;
  std::unique_ptr<QSocketNotifier> mTimerNotifier;
  std::deque<tByte> mQueue;
  qint64 mTxFreeNs = 0;
  qint64 mRxFreeNs = 0;
  qsizetype mLost = 0; // bytes the tty refused (its buffer full)
};

} // namespace r70test
