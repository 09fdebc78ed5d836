#pragma once
// Serves an instrument model on the master side of a pseudo-terminal, so that the program
// reaches it through the real port class and the operating system's serial layer. A pty
// ignores the baud rate, so the replies are paced here: each byte leaves 10 bit times after
// the previous one at the given rate (0: unpaced).
#include "sim/SimInstrument.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class tPtyServer {
public:
  explicit tPtyServer(tSimInstrument* pInstrument, int pPaceBaud = 9600)
      : mInstrument(pInstrument), mPaceBaud(pPaceBaud) {
    char name[256] = {};
    if (openpty(&mMaster, &mSlave, name, nullptr, nullptr) != 0) return;
    mSlavePath = QString::fromLocal8Bit(name);
    termios t{};
    tcgetattr(mSlave, &t);
    cfmakeraw(&t);
    tcsetattr(mSlave, TCSANOW, &t);
    fcntl(mMaster, F_SETFL, fcntl(mMaster, F_GETFL) | O_NONBLOCK);
    mClock.start();
    mNotifier = std::make_unique<QSocketNotifier>(mMaster, QSocketNotifier::Read);
    QObject::connect(mNotifier.get(), &QSocketNotifier::activated, [this] { ReadMaster(); });
    mTimer.setSingleShot(true);
    mTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&mTimer, &QTimer::timeout, [this] { Flush(); });
    mInstrument->OnTransmit = [this](const QByteArray& pFrame) { Queue(pFrame); };
  }
  ~tPtyServer() {
    mInstrument->OnTransmit = nullptr;
    mNotifier.reset();
    if (mMaster >= 0) close(mMaster);
    // The slave stays open until here so that the pty survives the program closing its end.
    if (mSlave >= 0) close(mSlave);
  }
  bool Ok() const { return mMaster >= 0; }
  const QString& SlavePath() const { return mSlavePath; }
  const QByteArray& Received() const { return mReceived; }

private:
  void ReadMaster() {
    char buf[512];
    for (;;) {
      const ssize_t n = read(mMaster, buf, sizeof buf);
      if (n <= 0) break;
      const QByteArray bytes(buf, int(n));
      mReceived += bytes;
      mInstrument->Receive(bytes);
    }
  }
  qint64 ByteNs() const { return mPaceBaud > 0 ? 10'000'000'000LL / mPaceBaud : 0; }
  void Queue(const QByteArray& pFrame) {
    qint64 due = std::max(mClock.nsecsElapsed(), mLineFreeNs);
    for (char c : pFrame) {
      due += ByteNs();
      mOut.push_back({c, due});
    }
    mLineFreeNs = due;
    Flush();
  }
  void Flush() {
    const qint64 now = mClock.nsecsElapsed();
    QByteArray chunk;
    while (!mOut.empty() && mOut.front().Due <= now) {
      chunk.append(mOut.front().Byte);
      mOut.pop_front();
    }
    if (!chunk.isEmpty() && write(mMaster, chunk.constData(), size_t(chunk.size())) < 0) {
      // The program closed its end; the bytes are lost as on a pulled cable.
    }
    if (!mOut.empty()) {
      const qint64 waitNs = mOut.front().Due - mClock.nsecsElapsed();
      mTimer.start(waitNs <= 0 ? 0 : int((waitNs + 999'999) / 1'000'000));
    }
  }

  struct tOutByte {
    char Byte;
    qint64 Due;
  };
  tSimInstrument* mInstrument;
  int mPaceBaud;
  int mMaster = -1;
  int mSlave = -1;
  QString mSlavePath;
  std::unique_ptr<QSocketNotifier> mNotifier;
  QTimer mTimer;
  QElapsedTimer mClock;
  std::deque<tOutByte> mOut;
  qint64 mLineFreeNs = 0;
  QByteArray mReceived;
};
