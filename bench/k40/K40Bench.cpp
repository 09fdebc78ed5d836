// Measures the K40 stack against the simulator paced at 9600 bit/s:
//  - live values accepted per second as a ratio to the line's limit for the "PZ" exchange
//    (5 request + 6 reply bytes, 10 bit times each);
//  - the process's CPU share while a transaction waits out its 1500 ms time-out, and while
//    the live loop runs.
// Both in-process (simulated port) and over a pseudo-terminal through the real port class.
// Usage: bench_k40 [seconds per live run, default 5] [pace of the forked pty peer, 9600]
//                  [corvane-sim k40p link] [corvane-sim --silent link]
// (bench/k40/run-bench.sh starts the two corvane-sim instruments.)
#include "PacedPtyPeer.h"
#include "core/IniFile.h"
#include "protocol/k40/DMU_K40ifc.h"
#include "serial/ComPort.h"
#include "serial/PortMap.h"
#include "sim/SimK40.h"
#include "sim/SimPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr double cLineLimit = 9600.0 / ((5 + 6) * 10); // "PZ" exchanges per second

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
         u.ru_stime.tv_usec / 1e6;
}

void Pump(int pMs) {
  QElapsedTimer clock;
  clock.start();
  QTimer guard;
  guard.start(5);
  while (clock.elapsed() < pMs)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Forwards to a port and counts the requests sent through it.
class tCountingPort : public iComPort {
public:
  explicit tCountingPort(std::unique_ptr<iComPort> pPort) : mPort(std::move(pPort)) {}
  bool AutoOpen() const override { return mPort->AutoOpen(); }
  void SetAutoOpen(bool p) override { mPort->SetAutoOpen(p); }
  quint16 ComNumber() const override { return mPort->ComNumber(); }
  void SetComNumber(qint64 p) override { mPort->SetComNumber(p); }
  int Baud() const override { return mPort->Baud(); }
  void SetBaud(int p) override { mPort->SetBaud(p); }
  bool RTS() const override { return mPort->RTS(); }
  void SetRTS(bool p) override { mPort->SetRTS(p); }
  bool DTR() const override { return mPort->DTR(); }
  void SetDTR(bool p) override { mPort->SetDTR(p); }
  bool Open() const override { return mPort->Open(); }
  void SetOpen(bool p) override { mPort->SetOpen(p); }
  TTriggerAvailEvent OnTriggerAvail() const override { return mHandler; }
  void SetOnTriggerAvail(TTriggerAvailEvent p) override {
    mHandler = std::move(p);
    if (!mHandler) return mPort->SetOnTriggerAvail({});
    mPort->SetOnTriggerAvail([this](iComPort* pCP, quint16 pCount) {
      mLastRead = Clock().nsecsElapsed();
      const TTriggerAvailEvent h = mHandler;
      h(pCP, pCount);
    });
  }
  void ClearReceive() override { mPort->ClearReceive(); }
  void ClearTransmit() override { mPort->ClearTransmit(); }
  void SendBytes(const QByteArray& p) override {
    const qint64 now = Clock().nsecsElapsed();
    if (mLastRead > 0 && mLastSend > 0) {
      ReplyNs += mLastRead - mLastSend;
      TurnNs += now - mLastRead;
      ++Turns;
    }
    mLastSend = now;
    mLastRead = 0;
    ++Requests;
    mPort->SendBytes(p);
  }
  void SendByte(quint8 p) override { mPort->SendByte(p); }
  quint8 ReadByte() override { return mPort->ReadByte(); }
  static inline qint64 Requests = 0;
  // Time from a request to the last byte of its reply, and from there to the next request.
  static inline qint64 ReplyNs = 0, TurnNs = 0, Turns = 0;
  static QElapsedTimer& Clock() {
    static QElapsedTimer c;
    if (!c.isValid()) c.start();
    return c;
  }

private:
  std::unique_ptr<iComPort> mPort;
  qint64 mLastSend = 0, mLastRead = 0;
  TTriggerAvailEvent mHandler;
};

struct tResult {
  double Ratio = 0;
  double LiveCpu = 0;
  double WaitCpu = 0;
  double WaitMs = 0;
  double ReplyUs = 0; // request sent to last reply byte read
  double TurnUs = 0;  // last reply byte read to next request sent
};

// One instrument on a port made by pMakePort: live loop for pSeconds, then a silent
// instrument and one cell read that waits out its time-out.
using tMakePort = std::function<std::unique_ptr<iComPort>()>;

// pMakeWaitPort reaches an instrument that does not answer the read of cell 5 (after
// pSilence(true), if given).
tResult Run(const tMakePort& pMakePort, int pSeconds, const std::function<void(bool)>& pSilence,
            const tMakePort& pMakeWaitPort = {}) {
  tResult r;
  tDeviceInfo info;
  info.SetDeviceType(dtK4xP);
  auto ifc = std::make_unique<tDMU_K40ifc>(std::make_unique<tCountingPort>(pMakePort()));
  ifc->Initialize(&info);
  Pump(300); // past the start-up requests
  const qint64 n0 = tCountingPort::Requests;
  tCountingPort::ReplyNs = tCountingPort::TurnNs = tCountingPort::Turns = 0;
  const double cpu0 = CpuSeconds();
  QElapsedTimer clock;
  clock.start();
  Pump(pSeconds * 1000);
  const double wall = clock.nsecsElapsed() / 1e9;
  const double cpu = CpuSeconds() - cpu0;
  // Each request is sent once the previous reply was accepted; the last may be pending.
  const qint64 answered = tCountingPort::Requests - n0 - 1;
  r.Ratio = answered / wall / cLineLimit;
  r.LiveCpu = cpu / wall;
  if (tCountingPort::Turns > 0) {
    r.ReplyUs = tCountingPort::ReplyNs / 1e3 / tCountingPort::Turns;
    r.TurnUs = tCountingPort::TurnNs / 1e3 / tCountingPort::Turns;
  }
  ifc.reset();

  auto k40 = std::make_unique<tDMU_K40>(pMakeWaitPort ? pMakeWaitPort() : pMakePort());
  pSilence(true);
  try {
    k40->ReadEEPROM(5); // the first error's stack capture loads debug data; not measured
  } catch (const eError&) {
  }
  const double wcpu0 = CpuSeconds();
  clock.restart();
  try {
    k40->ReadEEPROM(5);
  } catch (const eError&) {
    // the time-out is what is measured
  }
  r.WaitMs = clock.nsecsElapsed() / 1e6;
  r.WaitCpu = (CpuSeconds() - wcpu0) / (r.WaitMs / 1000);
  pSilence(false);
  return r;
}

void Print(const char* pName, const tResult& r) {
  std::printf("%-12s live rate %.3f of the line limit (%.1f/s of %.1f/s), CPU %.1f %% while "
              "polling, %.2f %% while waiting %.0f ms for a time-out\n",
              pName, r.Ratio, r.Ratio * cLineLimit, cLineLimit, r.LiveCpu * 100, r.WaitCpu * 100,
              r.WaitMs);
  std::printf("%-12s per exchange: %.0f us request to reply, %.0f us reply to next request "
              "(line: %.0f us)\n",
              "", r.ReplyUs, r.TurnUs, 1e6 / cLineLimit);
}

} // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
  // A faster pace for the pty peer shows the stack's own cost per exchange.
  const int peerBaud = argc > 2 ? std::max(300, atoi(argv[2])) : 9600;
  // The paced peer is forked before the application exists.
  tPacedPtyPeer peer(
      [] {
        auto* sim = new tSimK40(tSimK40::tModel::K40P);
        sim->SetPressure(1.234);
        // Reads of cell 5 go unanswered, so the time-out wait can be measured.
        sim->DropRequest = [](const QByteArray& pCmd) { return pCmd == QByteArray("ER\x05"); };
        return sim;
      },
      peerBaud);
  QCoreApplication app(argc, argv);

  {
    tSimK40 sim(tSimK40::tModel::K40P);
    sim.SetPressure(1.234);
    const tResult r = Run(
        [&]() -> std::unique_ptr<iComPort> {
          auto port = std::make_unique<tSimPort>(&sim);
          port->SetBaud(9600);
          port->SetOpen(true);
          return port;
        },
        seconds, [&](bool pOn) { sim.IgnoreNextRequests(pOn ? 1'000'000 : 0); });
    Print("in-process", r);
  }
  {
    // Unpaced: what one exchange costs the stack and the event loop by themselves.
    tSimK40 sim(tSimK40::tModel::K40P);
    tSimFaults unpaced;
    unpaced.PaceAtBaud = false;
    const tResult r = Run(
        [&]() -> std::unique_ptr<iComPort> {
          auto port = std::make_unique<tSimPort>(&sim);
          port->SetFaults(unpaced);
          port->SetOpen(true);
          return port;
        },
        1, [&](bool pOn) { sim.IgnoreNextRequests(pOn ? 1'000'000 : 0); });
    std::printf("unpaced      %.0f exchanges/s in-process, %.0f us each\n", r.Ratio * cLineLimit,
                1e6 / (r.Ratio * cLineLimit));
  }
  if (!peer.Ok()) {
    std::printf("pty: no pseudo-terminal available\n");
    return 1;
  }
  QTemporaryDir dir;
  tIniFile ini(dir.filePath("Corvane.ini"));
  tPortMap map(ini);
  map.SetEntry(9, peer.SlavePath());
  const tResult r = Run(
      [&]() -> std::unique_ptr<iComPort> {
        auto port = std::make_unique<TApdComPort>(&map);
        port->SetComNumber(9);
        port->SetBaud(9600);
        port->SetOpen(true);
        return port;
      },
      seconds, [](bool) {});
  Print("pty", r);

  // Optionally the same over corvane-sim: a k40p link, and a --silent one for the wait.
  if (argc > 4) {
    map.SetEntry(10, QString::fromLocal8Bit(argv[3]));
    map.SetEntry(11, QString::fromLocal8Bit(argv[4]));
    auto maker = [&](int pComNr) {
      return [&map, pComNr]() -> std::unique_ptr<iComPort> {
        auto port = std::make_unique<TApdComPort>(&map);
        port->SetComNumber(pComNr);
        port->SetBaud(9600);
        port->SetOpen(true);
        return port;
      };
    };
    Print("corvane-sim", Run(
                             maker(10), seconds, [](bool) {}, maker(11)));
  }
  return 0;
}
