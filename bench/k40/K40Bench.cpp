// Measures the K40 stack against the simulator paced at 9600 bit/s:
//  - live values accepted per second as a ratio to the line's limit for the "PZ" exchange
//    (5 request + 6 reply bytes, 10 bit times each), and per exchange the medians of the
//    program's time from a complete reply to the next request and of how much later than
//    the line allows the reply came;
//  - the process's CPU share while a transaction waits out its 1500 ms time-out, and while
//    the live loop runs.
// Both in-process (simulated port) and over a pseudo-terminal through the real port class;
// the pty row is followed by the same pty and peer with a bare write-and-read client, what
// the pty and the peer allow on this machine in this run.
// Usage: bench_k40 [seconds per live run, default 5] [pace of the forked pty peer, 9600]
//                  [corvane-sim k40p link] [corvane-sim --silent link]
// (bench/k40/run-bench.sh starts the two corvane-sim instruments.)
#include "bench/common/BenchLoop.h"
#include "bench/common/ExchangeMeter.h"
#include "bench/common/PacedPtyPeer.h"
#include "core/IniFile.h"
#include "protocol/common/FrameCodec.h"
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

// "PZ" exchanges per second the line allows (5 request and 6 reply bytes, 10 bits each).
double LineLimit(int pBaud) {
  return pBaud / ((5 + 6) * 10.0);
}

void Pump(int pMs) {
  QElapsedTimer clock;
  clock.start();
  QTimer guard;
  guard.start(5);
  while (clock.elapsed() < pMs)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

struct tResult {
  double Ratio = 0;
  double LiveCpu = 0;
  double WaitCpu = 0;
  double WaitMs = 0;
  double ExcessUs = 0; // median: request sent to last reply byte read, less the line time
  double TurnUs = 0;   // median: last reply byte read to next request sent
  double PerSecond = 0;
  int Baud = 9600; // the rate the peer paces at
};

// One instrument on a port made by pMakePort: live loop for pSeconds, then a silent
// instrument and one cell read that waits out its time-out.
using tMakePort = std::function<std::unique_ptr<iComPort>()>;

// pMakeWaitPort reaches an instrument that does not answer the read of cell 5 (after
// pSilence(true), if given).
tResult Run(const tMakePort& pMakePort, int pSeconds, const std::function<void(bool)>& pSilence,
            const tMakePort& pMakeWaitPort = {}, int pPaceBaud = 9600) {
  tResult r;
  r.Baud = pPaceBaud;
  tDeviceInfo info;
  info.SetDeviceType(dtK4xP);
  auto log = std::make_shared<tExchangeLog>(pPaceBaud);
  auto ifc = std::make_unique<tDMU_K40ifc>(std::make_unique<tMeteredPort>(pMakePort(), log));
  ifc->Initialize(&info);
  Pump(300); // past the start-up requests
  log->Reset();
  const double cpu0 = CpuSeconds();
  QElapsedTimer clock;
  clock.start();
  Pump(pSeconds * 1000);
  const double wall = clock.nsecsElapsed() / 1e9;
  const double cpu = CpuSeconds() - cpu0;
  r.Ratio = log->LineRatio();
  r.PerSecond = log->ExchangesPerSecond();
  r.LiveCpu = cpu / wall;
  r.ExcessUs = log->MedianReplyExcessUs();
  r.TurnUs = log->MedianReplyToRequestUs();
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
              pName, r.Ratio, r.Ratio * LineLimit(r.Baud), LineLimit(r.Baud), r.LiveCpu * 100,
              r.WaitCpu * 100, r.WaitMs);
  std::printf("%-12s per exchange (medians): reply %.0f us later than the line allows, "
              "program's reply to next request %.0f us (line: %.0f us)\n",
              "", r.ExcessUs, r.TurnUs, 1e6 / LineLimit(r.Baud));
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
    std::printf("unpaced      %.0f exchanges/s in-process, %.0f us each, program's reply to "
                "next request %.0f us (median)\n",
                r.PerSecond, 1e6 / r.PerSecond, r.TurnUs);
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
      seconds, [](bool) {}, {}, peerBaud);
  Print("pty", r);
  // The same peer and pty with a client that does nothing but write and read: what the pty
  // and the peer leave for any program.
  const tPtyCeiling ceiling = MeasurePtyCeiling(
      peer.SlavePath(), peerBaud, FrameCodec::Request(QByteArray("PZ\0", 3), false), 6, seconds);
  std::printf("pty ceiling  live rate %.3f of the line limit for a bare write-and-read client "
              "(reply %.0f us later than the line allows); the program reaches %.3f of it\n",
              ceiling.Ratio, ceiling.MedianExcessUs,
              ceiling.Ratio > 0 ? r.Ratio / ceiling.Ratio : 0);

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
