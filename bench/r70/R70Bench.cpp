// Live-value rate of the R70 device interface against simulated instruments paced at the
// line rate, as a ratio to what the line allows for the "PZ" exchange, and the CPU share of
// the process while a transfer waits out its time-out and while the live loop polls.
//
//   bench_r70 [seconds per run, default 5]
#include "bench/r70/PtyLink.h"
#include "core/DeviceInfo.h"
#include "core/IniFile.h"
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

// "PZ", 0x00, checksum, 0x0D out; "P", four bytes, one byte, checksum, 0x0D back.
constexpr int cPzExchangeBytes = 5 + 8;

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void RunEventsFor(int pMs) {
  QDeadlineTimer deadline(pMs);
  QTimer wake;
  wake.start(50);
  while (!deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

struct tLiveFigures {
  double PerSecond = 0;
  double Ratio = 0;
  double CpuShare = 0;
};

// Counts accepted pressure replies while the live loop runs for pSeconds.
tLiveFigures MeasureLive(std::unique_ptr<iComPort> pPort, int pBaud, int pSeconds) {
  tDeviceInfo info;
  tDMU_R70ifc ifc(std::move(pPort), false);
  ifc.Initialize(&info);
  RunEventsFor(1200); // past the first status and temperature requests
  qint64 pressures = 0;
  tDateTime last = info.LastPressureTime();
  ifc.SetOnNewValue([&] {
    if (info.LastPressureTime() != last) {
      last = info.LastPressureTime();
      ++pressures;
    }
  });
  QElapsedTimer wall;
  const double cpu0 = CpuSeconds();
  wall.start();
  RunEventsFor(pSeconds * 1000);
  const double seconds = wall.nsecsElapsed() / 1e9;
  tLiveFigures f;
  f.PerSecond = pressures / seconds;
  f.Ratio = f.PerSecond / (pBaud / (cPzExchangeBytes * 10.0));
  f.CpuShare = (CpuSeconds() - cpu0) / seconds;
  return f;
}

std::unique_ptr<iComPort> SimPortFor(tSimR70& pSim, int pBaud) {
  auto port = std::make_unique<tSimPort>(&pSim);
  tSimFaults faults;
  faults.PaceAtBaud = true;
  port->SetFaults(faults);
  port->SetBaud(pBaud);
  port->SetOpen(true);
  return port;
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
  tIniFile ini(dir.filePath("Corvane.ini"));
  tPortMap map(ini);
  map.SetEntry(9, link);
  auto port = std::make_unique<TApdComPort>(&map);
  port->SetComNumber(9);
  port->SetBaud(pBaud);
  port->SetOpen(true);
  pFigures = MeasureLive(std::move(port), pBaud, pSeconds);
  simulator.terminate();
  simulator.waitForFinished(5000);
  return true;
}

void Print(const char* pWhat, int pBaud, const tLiveFigures& pF) {
  std::printf("%-34s %6d  %8.1f/s  limit %7.1f/s  ratio %5.3f  cpu %5.1f %%\n", pWhat, pBaud,
              pF.PerSecond, pBaud / (cPzExchangeBytes * 10.0), pF.Ratio, pF.CpuShare * 100);
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int seconds = argc > 1 ? qMax(1, atoi(argv[1])) : 5;
  std::printf("R70 live-value rate (\"PZ\" replies accepted per second against the line's "
              "limit), %d s per run\n",
              seconds);
  for (int baud : {9600, 115200}) {
    tSimR70 sim(tSimR70::tModel::R7x, baud);
    Print("in-process simulated port", baud, MeasureLive(SimPortFor(sim, baud), baud, seconds));
  }
  for (int baud : {9600, 115200}) {
    tLiveFigures f;
    if (MeasureWithTool(baud, seconds, f))
      Print("corvane-sim, real port class", baud, f);
    else
      std::printf("corvane-sim not found next to the build; row skipped\n");
  }
  for (int baud : {9600, 115200}) {
    tSimR70 sim(tSimR70::tModel::R7x, baud);
    r70test::tPtyInstrumentServer server(&sim, true);
    if (!server.Ok()) {
      std::printf("pseudo-terminal: openpty failed\n");
      break;
    }
    auto port = std::make_unique<r70test::tPtyTestPort>(server.Path());
    port->SetBaud(baud);
    port->SetOpen(true);
    Print("pty, microsecond-paced server", baud, MeasureLive(std::move(port), baud, seconds));
  }
  {
    // Unpaced in-process: the program's and the model's turnaround alone, no line time.
    tSimR70 sim(tSimR70::tModel::R7x);
    auto port = std::make_unique<tSimPort>(&sim);
    tSimFaults faults;
    faults.PaceAtBaud = false;
    port->SetFaults(faults);
    port->SetOpen(true);
    const tLiveFigures f = MeasureLive(std::move(port), 9600, seconds);
    std::printf("in-process, unpaced: %.0f exchanges/s, %.0f us per exchange, cpu %.1f %%\n",
                f.PerSecond, 1e6 / f.PerSecond, f.CpuShare * 100);
  }
  {
    // Unpaced: what the software alone costs per exchange, without any line time.
    tSimR70 sim(tSimR70::tModel::R7x);
    r70test::tPtyInstrumentServer server(&sim, false);
    auto port = std::make_unique<r70test::tPtyTestPort>(server.Path());
    port->SetOpen(true);
    const tLiveFigures f = MeasureLive(std::move(port), 9600, seconds);
    std::printf("pseudo-terminal, unpaced: %.0f exchanges/s, %.0f us per exchange, cpu %.1f %%\n",
                f.PerSecond, 1e6 / f.PerSecond, f.CpuShare * 100);
  }
  const double errorCost = ErrorCost();
  const double waitShare = MeasureTimeoutWait(seconds);
  std::printf("CPU share while transfers wait out the 500 ms time-out: %.2f %% "
              "(of which the two errors raised at its end: %.2f %%)\n",
              waitShare * 100, errorCost / 0.5 * 100);
  return 0;
}
