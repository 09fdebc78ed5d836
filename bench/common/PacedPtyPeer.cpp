#include "bench/common/PacedPtyPeer.h"

#include "sim/SimInstrument.h"
#include "sim/SimR70.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

qint64 NowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

speed_t SpeedOf(int pBaud) {
  return pBaud == 115200 ? B115200 : B9600;
}

struct tTimedByte {
  char Byte;
  qint64 Due;
};

[[noreturn]] void Serve(int pMaster, tSimInstrument* pInstrument, int pBaud) {
  // Every sleep would otherwise end up to 50 us late (the default timer slack): lateness of
  // the peer, not of the line or of the program.
  prctl(PR_SET_TIMERSLACK, 1UL);
  // An instrument keeps its timing whatever else the machine runs; the peer stands for one,
  // so it runs at a real-time priority where that is allowed (it only ever runs briefly).
  sched_param realTime{};
  realTime.sched_priority = 10;
  sched_setscheduler(0, SCHED_FIFO, &realTime);
  const qint64 byteNs = pBaud > 0 ? 10'000'000'000LL / pBaud : 0;
  std::deque<tTimedByte> toInstrument, toProgram;
  qint64 rxFree = 0, txFree = 0;
  // While the instrument handles a request: when its last byte had left the line.
  qint64 heardAt = -1;
  pInstrument->OnTransmit = [&](const QByteArray& pFrame) {
    // A reply starts when the request is complete on the line, not when the peer woke up
    // for it; anything else the instrument sends starts now.
    qint64 due = std::max(heardAt >= 0 ? heardAt : NowNs(), txFree);
    for (char c : pFrame)
      toProgram.push_back({c, due += byteNs});
    txFree = due;
  };
  for (;;) {
    QByteArray in;
    qint64 now = NowNs();
    while (!toInstrument.empty() && toInstrument.front().Due <= now) {
      in.append(toInstrument.front().Byte);
      heardAt = toInstrument.front().Due;
      toInstrument.pop_front();
    }
    if (!in.isEmpty()) pInstrument->Receive(in);
    heardAt = -1;
    QByteArray out;
    now = NowNs();
    while (!toProgram.empty() && toProgram.front().Due <= now) {
      out.append(toProgram.front().Byte);
      toProgram.pop_front();
    }
    if (!out.isEmpty() && write(pMaster, out.constData(), size_t(out.size())) < 0) {
      // the program has closed its end; the bytes are lost as on a pulled cable
    }
    qint64 next = -1;
    if (!toInstrument.empty()) next = toInstrument.front().Due;
    if (!toProgram.empty() && (next < 0 || toProgram.front().Due < next))
      next = toProgram.front().Due;
    const qint64 waitNs = next < 0 ? 50'000'000 : std::max<qint64>(0, next - NowNs());
    const timespec wait{time_t(waitNs / 1'000'000'000), long(waitNs % 1'000'000'000)};
    pollfd p{pMaster, POLLIN, 0};
    const int ready = ppoll(&p, 1, &wait, nullptr);
    if (ready <= 0) continue;
    if (p.revents & POLLIN) {
      char buf[256];
      const ssize_t n = read(pMaster, buf, sizeof buf);
      const qint64 arrived = NowNs();
      for (ssize_t i = 0; i < n; ++i) {
        rxFree = std::max(arrived, rxFree) + byteNs;
        toInstrument.push_back({buf[i], rxFree});
      }
      if (n >= 0) continue;
    }
    usleep(1000); // hang-up while the program has the slave closed
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

tPtyCeiling MeasurePtyCeiling(const QString& pSlavePath, int pBaud, const QByteArray& pFrame,
                              int pReplyBytes, double pSeconds) {
  tPtyCeiling r;
  const int fd = open(QFile::encodeName(pSlavePath).constData(), O_RDWR | O_NOCTTY);
  if (fd < 0) return r;
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  cfsetispeed(&t, SpeedOf(pBaud));
  cfsetospeed(&t, SpeedOf(pBaud));
  tcsetattr(fd, TCSANOW, &t);
  // What the peer still sends for an earlier program goes before the first request;
  // otherwise every reply would be taken for the next request's.
  for (pollfd p{fd, POLLIN, 0}; poll(&p, 1, 50) > 0; p.revents = 0) {
    char buf[64];
    if (read(fd, buf, sizeof buf) <= 0) break;
  }
  tcflush(fd, TCIOFLUSH);
  const qint64 lineNs = qint64(pFrame.size() + pReplyBytes) * 10'000'000'000LL / pBaud;
  std::vector<qint64> excess;
  const qint64 start = NowNs();
  const qint64 end = start + qint64(pSeconds * 1e9);
  bool failed = false;
  while (!failed && NowNs() < end) {
    const qint64 sent = NowNs();
    if (write(fd, pFrame.constData(), size_t(pFrame.size())) != pFrame.size()) break;
    int got = 0;
    while (got < pReplyBytes) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 1000) <= 0) {
        failed = true;
        break;
      }
      char buf[64];
      const ssize_t n = read(fd, buf, sizeof buf);
      if (n <= 0) {
        failed = true;
        break;
      }
      got += int(n);
    }
    if (failed) break;
    excess.push_back(NowNs() - sent - lineNs);
    ++r.Exchanges;
  }
  const double wall = (NowNs() - start) / 1e9;
  close(fd);
  r.Ratio = r.Exchanges * (lineNs / 1e9) / wall;
  if (!excess.empty()) {
    auto mid = excess.begin() + std::ptrdiff_t(excess.size() / 2);
    std::nth_element(excess.begin(), mid, excess.end());
    r.MedianExcessUs = *mid / 1e3;
  }
  return r;
}

tSimInstrument* R70PeerAt(int pBaud) {
  auto* lSim = new tSimR70(tSimR70::tModel::R7x, pBaud);
  lSim->SetLineBaud(pBaud);
  return lSim;
}
