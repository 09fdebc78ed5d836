// The R70 device interface's live exchange against simulated instruments: how much of the
// line's limit it uses (line time of the answered exchanges against the wall time, so the
// status and temperature exchanges count at their own length), the program's own time from
// a complete reply to its next request, and the CPU share of the process while the live
// loop polls and while a transfer waits out its time-out.
//
// Every paced row is followed by its ceiling, measured in the same run on the same line: a
// client that does nothing but send the next request once a reply is complete. Over the
// pty that shows what the pty and the peer leave for any program on this machine; in
// process it shows what the simulated port leaves. That port hands bytes over by millisecond
// timers, up to 0.8 ms early or late, but keeps the line's own time: each side's answer
// starts on the line when the bytes it saw were due plus the time it took since they were
// handed to it. The in-process rows thus show the line plus the program's (and the model's)
// own time, whatever the timers do, and their "reply late" is the timers' jitter.
//
//   bench_r70 [seconds per run, default 5]
#include "bench/common/BenchLoop.h"
#include "bench/common/ExchangeMeter.h"
#include "bench/common/PacedPtyPeer.h"
#include "bench/common/RealPort.h"
#include "core/DeviceInfo.h"
#include "core/IniFile.h"
#include "protocol/common/FrameCodec.h"
#include "protocol/r70/DMU_R70.h"
#include "protocol/r70/DMU_R70ifc.h"
#include "serial/ComPort.h"
#include "serial/PortMap.h"
#include "sim/SimPort.h"
#include "sim/SimR70.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

struct tLiveFigures {
  double Ratio = 0;     // of the line's limit
  double PerSecond = 0; // exchanges answered per second
  double TurnUs = 0;    // median: complete reply to next request
  double MeanTurnUs = 0;
  double ExcessUs = 0; // median: reply's last byte later than the line allows
  double CpuShare = 0;
};

// Runs the live exchange on pPort for pSeconds.
tLiveFigures MeasureLive(std::unique_ptr<iComPort> pPort, int pBaud, int pSeconds) {
  auto log = std::make_shared<tExchangeLog>(pBaud);
  tDeviceInfo info;
  tDMU_R70ifc ifc(std::make_unique<tMeteredPort>(std::move(pPort), log), false);
  ifc.Initialize(&info);
  RunEventsFor(1200); // past the first status and temperature requests
  log->Reset();
  const double cpu0 = CpuSeconds();
  RunEventsFor(pSeconds * 1000);
  tLiveFigures f;
  f.Ratio = log->LineRatio();
  f.PerSecond = log->ExchangesPerSecond();
  f.TurnUs = log->MedianReplyToRequestUs();
  f.MeanTurnUs = log->MeanReplyToRequestUs();
  f.ExcessUs = log->MedianReplyExcessUs();
  f.CpuShare = (CpuSeconds() - cpu0) / log->WallSeconds();
  return f;
}

std::unique_ptr<iComPort> SimPortFor(tSimR70& pSim, int pBaud, bool pPaced = true) {
  auto port = std::make_unique<tSimPort>(&pSim);
  tSimFaults faults;
  faults.PaceAtBaud = pPaced;
  port->SetFaults(faults);
  port->SetBaud(pBaud);
  port->SetOpen(true);
  return port;
}

// What the simulated port and this process's event loop allow by themselves: a client that
// sends the next "PZ" request from the notification that completes a reply.
double MeasureSimCeiling(int pBaud, int pSeconds) {
  tSimR70 sim(tSimR70::tModel::R7x, pBaud);
  auto log = std::make_shared<tExchangeLog>(pBaud);
  tMeteredPort port(SimPortFor(sim, pBaud), log);
  const QByteArray request = FrameCodec::Request(QByteArray("PZ\0", 3), false);
  int received = 0;
  port.SetOnTriggerAvail([&](iComPort* pCP, quint16 pCount) {
    for (quint16 i = 0; i < pCount; ++i)
      pCP->ReadByte();
    received += pCount;
    if (received < cPzReplyBytes) return;
    received = 0;
    pCP->SendBytes(request);
  });
  port.SendBytes(request);
  RunEventsFor(300);
  log->Reset();
  RunEventsFor(pSeconds * 1000);
  return log->LineRatio();
}


// CPU share while transfers wait out their 500 ms time-out against a silent instrument.
double MeasureTimeoutWait(int pSeconds) {
  tSimR70 sim(tSimR70::tModel::R7x);
  auto port = std::make_unique<tSimPort>(&sim);
  tSimFaults faults;
  faults.Silent = true;
  port->SetFaults(faults);
  port->SetOpen(true);
  tDMU_R70 r70(std::move(port), false);
  QElapsedTimer wall;
  const double cpu0 = CpuSeconds();
  wall.start();
  const int transfers = qMax(1, pSeconds * 2);
  for (int i = 0; i < transfers; ++i) {
    try {
      r70.ReadAccuracy();
    } catch (const eError&) {
      // expected: "Timeout!"
    }
  }
  return (CpuSeconds() - cpu0) / (wall.nsecsElapsed() / 1e9);
}

// CPU seconds spent creating the two errors that end each timed-out transfer (the link's
// and the command layer's, each capturing its call stack).
double ErrorCost() {
  const int n = 20;
  const double cpu0 = CpuSeconds();
  for (int i = 0; i < n; ++i) {
    const eError inner(QStringLiteral("Timeout!"));
    const eError outer(QStringLiteral("Fehler: Timeout!"), inner);
  }
  return (CpuSeconds() - cpu0) / n;
}

// The real port class on a pseudo-terminal served by the corvane-sim tool in its own
// process, so the CPU share is the program's alone.
bool MeasureWithTool(int pBaud, int pSeconds, tLiveFigures& pFigures) {
  const QString tool = QCoreApplication::applicationDirPath() + "/../../sim/corvane-sim";
  if (!QFile::exists(tool)) return false;
  QTemporaryDir dir;
  const QString link = dir.filePath("r70");
  QProcess simulator;
  simulator.start(tool, {"--link", link, "--instrument", "r70", "--baud", QString::number(pBaud)});
  QDeadlineTimer started(10000);
  while (!QFileInfo(link).isSymLink() && !started.hasExpired())
    RunEventsFor(20);
  if (!QFileInfo(link).isSymLink()) return false;
  tRealPort real;
  pFigures = MeasureLive(real.Open(link, pBaud), pBaud, pSeconds);
  simulator.terminate();
  simulator.waitForFinished(5000);
  return true;
}

void Print(const char* pWhat, int pBaud, const tLiveFigures& pF) {
  std::printf("%-34s %6d  %8.1f/s  limit %7.1f/s  ratio %5.3f  cpu %5.1f %%  "
              "reply->request %3.0f us  reply late %4.0f us  (reply->request mean %.0f us)\n",
              pWhat, pBaud, pF.Ratio * LineLimit(pBaud), LineLimit(pBaud), pF.Ratio,
              pF.CpuShare * 100, pF.TurnUs, pF.ExcessUs, pF.MeanTurnUs);
}

} // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? qMax(1, atoi(argv[1])) : 5;
  // The peers are forked before the application exists.
  tPacedPtyPeer peer9600([] { return R70PeerAt(9600); }, 9600);
  tPacedPtyPeer peer115200([] { return R70PeerAt(115200); }, 115200);
  tPacedPtyPeer unpacedPeer([] { return R70PeerAt(9600); }, 0);
  QCoreApplication app(argc, argv);
  std::printf("R70 live exchange: line time of the answered exchanges against the wall time "
              "(ratio), %d s per run; medians per exchange of the program's time from a "
              "complete reply to the next request and of how much later than the line allows "
              "the reply's last byte came\n",
              seconds);
  for (int baud : {9600, 115200}) {
    tSimR70 sim(tSimR70::tModel::R7x, baud);
    const tLiveFigures f = MeasureLive(SimPortFor(sim, baud), baud, seconds);
    Print("in-process simulated port", baud, f);
    // What the simulated port allows a client that answers at once: the line's limit, less the
    // model's and the client's own time.
    const double ceiling = MeasureSimCeiling(baud, seconds);
    std::printf("%-34s %6d  ratio %5.3f for a client that answers from the notification; "
                "the program reaches %.3f of it\n",
                "in-process ceiling, same port", baud, ceiling,
                ceiling > 0 ? f.Ratio / ceiling : 0);
  }
  for (int baud : {9600, 115200}) {
    tLiveFigures f;
    if (MeasureWithTool(baud, seconds, f))
      Print("corvane-sim, real port class", baud, f);
    else
      std::printf("corvane-sim not found next to the build; row skipped\n");
  }
  for (tPacedPtyPeer* peer : {&peer9600, &peer115200}) {
    const int baud = peer == &peer9600 ? 9600 : 115200;
    if (!peer->Ok()) {
      std::printf("pseudo-terminal: openpty failed\n");
      break;
    }
    tRealPort real;
    const tLiveFigures f = MeasureLive(real.Open(peer->SlavePath(), baud), baud, seconds);
    Print("pty, us-paced peer, real port class", baud, f);
    // The same peer and pty with a client that does nothing but write and read: what the
    // pty and the peer leave for any program.
    const tPtyCeiling c = MeasurePtyCeiling(peer->SlavePath(), baud,
                                            FrameCodec::Request(QByteArray("PZ\0", 3), false),
                                            cPzReplyBytes, seconds);
    std::printf("%-34s %6d  ratio %5.3f for a bare write-and-read client (reply late %.0f us); "
                "the program reaches %.3f of it\n",
                "pty ceiling, same peer", baud, c.Ratio, c.MedianExcessUs,
                c.Ratio > 0 ? f.Ratio / c.Ratio : 0);
  }
  {
    // Unpaced in-process: the program's and the model's turnaround alone, no line time.
    tSimR70 sim(tSimR70::tModel::R7x);
    const tLiveFigures f = MeasureLive(SimPortFor(sim, 9600, false), 9600, seconds);
    std::printf("in-process, unpaced: %.0f exchanges/s, %.1f us per exchange, reply->request "
                "%.1f us, cpu %.1f %%\n",
                f.PerSecond, 1e6 / f.PerSecond, f.TurnUs, f.CpuShare * 100);
  }
  if (unpacedPeer.Ok()) {
    // Unpaced over the pty: the software and the operating system's tty layer.
    tRealPort real;
    const tLiveFigures f = MeasureLive(real.Open(unpacedPeer.SlavePath(), 9600), 9600, seconds);
    std::printf("pseudo-terminal, unpaced: %.0f exchanges/s, %.1f us per exchange, "
                "reply->request %.1f us, cpu %.1f %%\n",
                f.PerSecond, 1e6 / f.PerSecond, f.TurnUs, f.CpuShare * 100);
  }
  const double errorCost = ErrorCost();
  const double waitShare = MeasureTimeoutWait(seconds);
  std::printf("CPU share while transfers wait out the 500 ms time-out: %.2f %% "
              "(of which the two errors raised at its end: %.2f %%)\n",
              waitShare * 100, errorCost / 0.5 * 100);
  return 0;
}
