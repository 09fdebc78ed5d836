#pragma once
// The far end of a real pseudo-terminal, as an instrument on a cable would be: the port
// under test opens the slave path, the test reads and writes the master.
#include "support/WaitFor.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class tPtyPeer {
public:
  tPtyPeer() {
    int lSlave = -1;
    char lName[256] = {};
    if (openpty(&mMaster, &lSlave, lName, nullptr, nullptr) != 0) return;
    struct termios lRaw {};
    tcgetattr(lSlave, &lRaw);
    cfmakeraw(&lRaw);
    tcsetattr(lSlave, TCSANOW, &lRaw);
    mSlavePath = QString::fromLocal8Bit(lName);
    ::close(lSlave);
    fcntl(mMaster, F_SETFL, fcntl(mMaster, F_GETFL) | O_NONBLOCK);
  }
  ~tPtyPeer() { Close(); }
  tPtyPeer(const tPtyPeer&) = delete;
  tPtyPeer& operator=(const tPtyPeer&) = delete;

  bool Valid() const { return mMaster >= 0; }
  // The master side, to read the line settings the program's side made.
  int Handle() const { return mMaster; }
  const QString& SlavePath() const { return mSlavePath; }
  // Pulls the cable: the slave side sees the device vanish.
  void Close() {
    if (mMaster >= 0) ::close(mMaster);
    mMaster = -1;
  }

  void Write(const QByteArray& pBytes) {
    if (mMaster >= 0) (void)!::write(mMaster, pBytes.constData(), size_t(pBytes.size()));
  }
  // Reads what has come, without waiting.
  QByteArray ReadNow() {
    QByteArray lBytes;
    char lBuffer[256];
    ssize_t lRead;
    while (mMaster >= 0 && (lRead = ::read(mMaster, lBuffer, sizeof lBuffer)) > 0)
      lBytes.append(lBuffer, int(lRead));
    return lBytes;
  }
  // Reads until pCount bytes have come or the bound has passed, running the event loop
  // meanwhile so that the port under test can write.
  QByteArray Read(int pCount, int pBoundMs = 2000) {
    QByteArray lBytes;
    WaitFor(
        [&] {
          lBytes += ReadNow();
          return lBytes.size() >= pCount;
        },
        pBoundMs);
    return lBytes;
  }
  // Reads until pCount bytes have come or the bound has passed, without running the event
  // loop: only what the port under test wrote by itself arrives.
  QByteArray ReadWithoutEvents(int pCount, int pBoundMs = 2000) {
    QByteArray lBytes;
    QDeadlineTimer lDeadline(pBoundMs);
    while (mMaster >= 0 && lBytes.size() < pCount && !lDeadline.hasExpired()) {
      pollfd lWait{mMaster, POLLIN, 0};
      if (poll(&lWait, 1, int(lDeadline.remainingTime())) > 0) lBytes += ReadNow();
    }
    return lBytes;
  }
  // The output rate the program set on its side of the line, 0 when unknown.
  int Baud() const {
    struct termios lAttr {};
    if (mMaster < 0 || tcgetattr(mMaster, &lAttr) != 0) return 0;
    switch (cfgetospeed(&lAttr)) {
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
    default:
      return 0;
    }
  }

private:
  int mMaster = -1;
  QString mSlavePath;
};
