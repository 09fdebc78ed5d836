#include "sim/PtyAttachment.h"

#include <QFileInfo>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {
// Timers have millisecond steps: a byte is taken up to kEarlyNs before its time, with the
// timer aimed at the first whole millisecond inside that window, so it is not a timer step
// late on every exchange. What either side sends in answer starts no earlier than the time
// the bytes it saw were due, so the line keeps its exact timing: never faster, not late.
constexpr qint64 kEarlyNs = 800'000;

int BaudOf(speed_t pSpeed) {
  switch (pSpeed) {
  case B300:
    return 300;
  case B600:
    return 600;
  case B1200:
    return 1200;
  case B2400:
    return 2400;
  case B4800:
    return 4800;
  case B9600:
    return 9600;
  case B19200:
    return 19200;
  case B38400:
    return 38400;
  case B57600:
    return 57600;
  case B115200:
    return 115200;
  case B230400:
    return 230400;
  case B460800:
    return 460800;
  case B921600:
    return 921600;
  default:
    return 0;
  }
}

// Writes a whole buffer into a pending queue of bytes, up to what the terminal takes now.
qint64 WriteSome(int pFd, const char* pData, qint64 pSize) {
  const ssize_t lWritten = ::write(pFd, pData, size_t(pSize));
  return lWritten < 0 ? (errno == EAGAIN || errno == EINTR ? 0 : -1) : lWritten;
}
} // namespace

tPtyAttachment::tPtyAttachment(tSimInstrument* pInstrument, QObject* pParent)
    : QObject(pParent), mInstrument(pInstrument) {
  mClock.start();
  for (QTimer* lTimer : {&mRxTimer, &mTxTimer, &mLogTimer}) {
    lTimer->setSingleShot(true);
    lTimer->setTimerType(Qt::PreciseTimer);
  }
  connect(&mRxTimer, &QTimer::timeout, this, &tPtyAttachment::DeliverToInstrument);
  connect(&mTxTimer, &QTimer::timeout, this, &tPtyAttachment::WriteToProgram);
  connect(&mLogTimer, &QTimer::timeout, this, &tPtyAttachment::FlushLog);
  // The rate is also read with every arrival; the timer covers a change with no bytes.
  mBaudTimer.setInterval(10);
  connect(&mBaudTimer, &QTimer::timeout, this, &tPtyAttachment::PollBaud);
}

tPtyAttachment::~tPtyAttachment() {
  Stop();
}

bool tPtyAttachment::Start(const QString& pLinkPath, QString* pError) {
  const auto lFail = [pError](const QString& pText) {
    if (pError) *pError = pText;
    return false;
  };
  if (Running()) return lFail(QStringLiteral("already running"));
  const QFileInfo lExisting(pLinkPath);
  if (lExisting.isSymLink()) {
    // A link left by a simulator that was killed points to nothing; one to a live terminal
    // belongs to a simulator still running.
    if (lExisting.exists())
      return lFail(QStringLiteral("%1 is in use by another simulator").arg(pLinkPath));
    QFile::remove(pLinkPath);
  } else if (lExisting.exists()) {
    return lFail(QStringLiteral("%1 exists and is no link; not replaced").arg(pLinkPath));
  }

  char lName[256] = {};
  if (openpty(&mMaster, &mSlave, lName, nullptr, nullptr) != 0)
    return lFail(QStringLiteral("openpty: %1").arg(QString::fromLocal8Bit(strerror(errno))));
  struct termios lRaw {};
  tcgetattr(mSlave, &lRaw);
  cfmakeraw(&lRaw);
  cfsetspeed(&lRaw, B9600);
  tcsetattr(mSlave, TCSANOW, &lRaw);
  fcntl(mMaster, F_SETFL, fcntl(mMaster, F_GETFL) | O_NONBLOCK);
  mSlavePath = QString::fromLocal8Bit(lName);
  if (!QFile::link(mSlavePath, pLinkPath)) {
    Stop();
    return lFail(QStringLiteral("cannot create the link %1").arg(pLinkPath));
  }
  mLinkPath = pLinkPath;
  mNotifier = new QSocketNotifier(mMaster, QSocketNotifier::Read, this);
  connect(mNotifier, &QSocketNotifier::activated, this, &tPtyAttachment::Readable);
  if (mInstrument)
    mInstrument->OnTransmit = [this](const QByteArray& pFrame) { Transmitted(pFrame); };
  mRxLineFreeNs = mTxLineFreeNs = mClock.nsecsElapsed();
  mInstrumentSawNs = mProgramSawNs = mRxLineFreeNs;
  mProgramBaud = 0;
  PollBaud();
  mBaudTimer.start();
  return true;
}

void tPtyAttachment::Stop() {
  FlushLog();
  mBaudTimer.stop();
  mRxTimer.stop();
  mTxTimer.stop();
  mToInstrument.clear();
  mToProgram.clear();
  delete mNotifier;
  mNotifier = nullptr;
  if (!mLinkPath.isEmpty()) QFile::remove(mLinkPath);
  mLinkPath.clear();
  if (mMaster >= 0) ::close(mMaster);
  if (mSlave >= 0) ::close(mSlave);
  mMaster = mSlave = -1;
  if (mInstrument) mInstrument->OnTransmit = nullptr;
}

bool tPtyAttachment::SetLogFile(const QString& pFileName, QString* pError) {
  FlushLog();
  mLog.close();
  mLog.setFileName(pFileName);
  if (mLog.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return true;
  if (pError) *pError = mLog.errorString();
  return false;
}

void tPtyAttachment::PollBaud() {
  struct termios lAttr {};
  if (mSlave < 0 || tcgetattr(mSlave, &lAttr) != 0) return;
  const int lBaud = BaudOf(cfgetospeed(&lAttr));
  if (lBaud == 0 || lBaud == mProgramBaud) return;
  mProgramBaud = lBaud;
  // With the program's bytes still on their way, the instrument hears the new rate when
  // they have arrived.
  if (mToInstrument.empty() && mInstrument && mToldBaud != lBaud) {
    mToldBaud = lBaud;
    mInstrument->SetLineBaud(lBaud);
  }
}

void tPtyAttachment::Readable() {
  PollBaud();
  char lBuffer[4096];
  const qint64 lNow = mClock.nsecsElapsed();
  const bool lPaced = FFaults.PaceAtBaud;
  // An answer to bytes written early starts when they were due, not when they were read.
  qint64 lDue = std::max({lNow, mRxLineFreeNs, mProgramSawNs});
  for (;;) {
    const ssize_t lRead = ::read(mMaster, lBuffer, sizeof lBuffer);
    if (lRead <= 0) break;
    for (ssize_t i = 0; i < lRead; ++i) {
      if (lPaced) lDue += ByteNs(mProgramBaud);
      mToInstrument.push_back({quint8(lBuffer[i]), mProgramBaud, lPaced ? lDue : lNow});
    }
  }
  if (lPaced) mRxLineFreeNs = lDue;
  Schedule(mRxTimer, mToInstrument);
}

void tPtyAttachment::Schedule(QTimer& pTimer, const std::deque<tLineByte>& pQueue) {
  if (pQueue.empty()) return;
  const qint64 lWaitNs = pQueue.front().DueNs - mClock.nsecsElapsed() - kEarlyNs;
  const int lWaitMs = lWaitNs <= 0 ? 0 : int((lWaitNs + 999'999) / 1'000'000);
  if (pTimer.isActive() && pTimer.remainingTime() <= lWaitMs) return;
  pTimer.start(lWaitMs);
}

void tPtyAttachment::DeliverToInstrument() {
  const qint64 lNow = mClock.nsecsElapsed() + kEarlyNs;
  while (!mToInstrument.empty() && mToInstrument.front().DueNs <= lNow) {
    const int lBaud = mToInstrument.front().Baud;
    QByteArray lChunk;
    while (!mToInstrument.empty() && mToInstrument.front().DueNs <= lNow &&
           mToInstrument.front().Baud == lBaud) {
      lChunk.append(char(mToInstrument.front().Byte));
      mInstrumentSawNs = std::max(mInstrumentSawNs, mToInstrument.front().DueNs);
      mToInstrument.pop_front();
    }
    LogBytes("RX", lBaud, lChunk, false);
    if (!mInstrument) continue;
    if (lBaud != 0 && lBaud != mToldBaud) {
      mToldBaud = lBaud;
      mInstrument->SetLineBaud(lBaud);
    }
    mInstrument->Receive(lChunk);
  }
  if (mToInstrument.empty() && mInstrument && mProgramBaud != 0 && mToldBaud != mProgramBaud) {
    mToldBaud = mProgramBaud;
    mInstrument->SetLineBaud(mProgramBaud);
  }
  Schedule(mRxTimer, mToInstrument);
}

void tPtyAttachment::Transmitted(const QByteArray& pFrame) {
  if (!Running() || FFaults.Silent || pFrame.isEmpty()) return;
  const QByteArray lFrame = FaultyReply(FFaults, pFrame, mRepliesSent);
  const int lBaud = mProgramBaud != 0 ? mProgramBaud : 9600;
  LogBytes("TX", lBaud, lFrame, true);

  // The instrument answers once the request was due, even if it was handed over early.
  const qint64 lNow = std::max(mClock.nsecsElapsed(), mInstrumentSawNs);
  const qint64 lStart = lNow + qint64(std::max(0, FFaults.ReplyDelayMs)) * 1'000'000;
  const bool lPaced = FFaults.PaceAtBaud;
  qint64 lDue = lPaced ? std::max(lStart, mTxLineFreeNs) : lStart;
  for (char lByte : lFrame) {
    if (lPaced) lDue += ByteNs(lBaud);
    mToProgram.push_back({quint8(lByte), lBaud, lDue});
  }
  if (lPaced) mTxLineFreeNs = lDue;
  Schedule(mTxTimer, mToProgram);
}

void tPtyAttachment::WriteToProgram() {
  const qint64 lNow = mClock.nsecsElapsed() + kEarlyNs;
  QByteArray lDue;
  for (const tLineByte& lByte : mToProgram) {
    if (lByte.DueNs > lNow) break;
    lDue.append(char(lByte.Byte));
  }
  if (!lDue.isEmpty()) {
    const qint64 lWritten = WriteSome(mMaster, lDue.constData(), lDue.size());
    // Nobody reading and the terminal full: the bytes go nowhere, as on an unplugged cable.
    const qint64 lGone =
        lWritten < 0 || (lWritten == 0 && mToProgram.size() > 65536) ? lDue.size() : lWritten;
    for (qint64 i = 0; i < lGone; ++i)
      mProgramSawNs = std::max(mProgramSawNs, mToProgram[size_t(i)].DueNs);
    mToProgram.erase(mToProgram.begin(), mToProgram.begin() + lGone);
    if (lWritten == 0 && lGone == 0) {
      mTxTimer.start(5); // full for now: try again shortly
      return;
    }
  }
  Schedule(mTxTimer, mToProgram);
}

void tPtyAttachment::LogBytes(const char* pDirection, int pBaud, const QByteArray& pBytes,
                              bool pWholeFrame) {
  if (!mLog.isOpen()) return;
  const qint64 lMs = mClock.elapsed();
  if (pWholeFrame) {
    FlushLog();
    mLog.write(QStringLiteral("%1 %2 %3 %4\n")
                   .arg(lMs)
                   .arg(QLatin1String(pDirection))
                   .arg(pBaud)
                   .arg(QString::fromLatin1(pBytes.toHex(' ').toUpper()))
                   .toLatin1());
    mLog.flush();
    return;
  }
  for (char lByte : pBytes) {
    if (!mLogPending.isEmpty() && pBaud != mLogPendingBaud) FlushLog();
    if (mLogPending.isEmpty()) {
      mLogPendingBaud = pBaud;
      mLogPendingMs = lMs;
    }
    mLogPending.append(lByte);
    if (lByte == '\r') FlushLog();
  }
  if (!mLogPending.isEmpty()) mLogTimer.start(20);
}

void tPtyAttachment::FlushLog() {
  mLogTimer.stop();
  if (mLogPending.isEmpty() || !mLog.isOpen()) {
    mLogPending.clear();
    return;
  }
  mLog.write(QStringLiteral("%1 RX %2 %3\n")
                 .arg(mLogPendingMs)
                 .arg(mLogPendingBaud)
                 .arg(QString::fromLatin1(mLogPending.toHex(' ').toUpper()))
                 .toLatin1());
  mLog.flush();
  mLogPending.clear();
}
