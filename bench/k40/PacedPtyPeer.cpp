#include "PacedPtyPeer.h"

#include "sim/SimInstrument.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

qint64 NowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

void SleepUntil(qint64 pNs) {
  timespec t{};
  t.tv_sec = time_t(pNs / 1'000'000'000);
  t.tv_nsec = long(pNs % 1'000'000'000);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
  }
}

struct tTimedByte {
  char Byte;
  qint64 Due;
};

[[noreturn]] void Serve(int pMaster, tSimInstrument* pInstrument, int pBaud) {
  const qint64 byteNs = 10'000'000'000LL / pBaud;
  std::deque<tTimedByte> toInstrument, toProgram;
  qint64 rxFree = 0, txFree = 0;
  pInstrument->OnTransmit = [&](const QByteArray& pFrame) {
    for (char c : pFrame) {
      txFree = std::max(NowNs(), txFree) + byteNs;
      toProgram.push_back({c, txFree});
    }
  };
  for (;;) {
    qint64 next = -1;
    if (!toInstrument.empty()) next = toInstrument.front().Due;
    if (!toProgram.empty() && (next < 0 || toProgram.front().Due < next))
      next = toProgram.front().Due;
    int timeoutMs = -1;
    if (next >= 0) timeoutMs = int(std::max<qint64>(0, (next - NowNs()) / 1'000'000));
    pollfd p{pMaster, POLLIN, 0};
    const int ready = poll(&p, 1, timeoutMs < 0 ? 50 : timeoutMs);
    if (ready > 0 && (p.revents & POLLIN)) {
      char buf[256];
      const ssize_t n = read(pMaster, buf, sizeof buf);
      for (ssize_t i = 0; i < n; ++i) {
        rxFree = std::max(NowNs(), rxFree) + byteNs;
        toInstrument.push_back({buf[i], rxFree});
      }
      if (n < 0) usleep(1000); // no program on the other end yet
      continue;
    }
    if (ready > 0) usleep(1000); // hang-up while the program has the slave closed
    if (next < 0) continue;
    SleepUntil(next);
    const qint64 now = NowNs();
    QByteArray in;
    while (!toInstrument.empty() && toInstrument.front().Due <= now) {
      in.append(toInstrument.front().Byte);
      toInstrument.pop_front();
    }
    if (!in.isEmpty()) pInstrument->Receive(in);
    QByteArray out;
    while (!toProgram.empty() && toProgram.front().Due <= now) {
      out.append(toProgram.front().Byte);
      toProgram.pop_front();
    }
    if (!out.isEmpty() && write(pMaster, out.constData(), size_t(out.size())) < 0) {
      // the program has closed its end; the bytes are lost as on a pulled cable
    }
  }
}

} // namespace

tPacedPtyPeer::tPacedPtyPeer(std::function<tSimInstrument*()> pMakeInstrument, int pBaud) {
  int master = -1;
  char name[256] = {};
  if (openpty(&master, &mSlave, name, nullptr, nullptr) != 0) return;
  termios t{};
  tcgetattr(mSlave, &t);
  cfmakeraw(&t);
  tcsetattr(mSlave, TCSANOW, &t);
  mSlavePath = QString::fromLocal8Bit(name);
  const pid_t parent = getpid();
  mChild = fork();
  if (mChild == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(0);
    close(mSlave);
    Serve(master, pMakeInstrument(), pBaud);
  }
  close(master);
}

tPacedPtyPeer::~tPacedPtyPeer() {
  if (mChild > 0) {
    kill(mChild, SIGTERM);
    waitpid(mChild, nullptr, 0);
  }
  if (mSlave >= 0) close(mSlave);
}
