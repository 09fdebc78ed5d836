// Soak: four simulated instruments (two K-40-P on ordinary ports, two R-70 behind the maker's
// bridge) are connected through the real device frames and logged by the real logger at its
// fastest rate, 30 ms, for a long time. Reports the samples missed against the count the run
// time allows, the memory growth extrapolated to an hour, and the CPU share, both while the
// four instruments are connected and idle and while they are logged.
//
//   bench_soak [--seconds N]   (default 600) [--idle-seconds N] (default 10)
#include "bench/common/BenchLoop.h"
#include "i18n/Resources.h"
#include "tests/support/ScriptedDialogService.h"
#include "logger/FrameLoggingOvvw.h"
#include "logger/LogTableModel.h"
#include "pages/FrameDevice.h"
#include "tests/support/CP210xFake.h"
#include "serial/USB_CP210x.h"
#include "sim/SimK40.h"
#include "sim/SimPort.h"
#include "sim/SimR70.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <climits>
#include <cstdio>
#include <cstring>
#include <malloc.h>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int cIntervalMs = 30;

double RssMiB() {
  QFile lFile("/proc/self/statm");
  if (!lFile.open(QIODevice::ReadOnly)) return 0;
  const QList<QByteArray> lFields = lFile.readAll().split(' ');
  if (lFields.size() < 2) return 0;
  return lFields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// What the program holds on the heap. The resident size also counts freed pages the allocator
// keeps and pages touched once, which over a short run hide the real growth either way.
double HeapMiB() {
  const struct mallinfo2 lInfo = mallinfo2();
  return double(lInfo.uordblks + lInfo.hblkhd) / (1024.0 * 1024.0);
}

bool WaitFor(const std::function<bool()>& pDone, int pBoundMs) {
  QDeadlineTimer lDeadline(pBoundMs);
  QTimer lTick;
  lTick.start(5);
  while (!pDone()) {
    if (lDeadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

struct tInstrument {
  std::unique_ptr<tSimInstrument> Sim;
  std::unique_ptr<tSimPortFactory> Ports;
  std::unique_ptr<TFrameDevice> Frame;
  int ComNr = 0;
};

int Argument(int argc, char** argv, const char* pName, int pDefault) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], pName) == 0) return std::max(1, std::atoi(argv[i + 1]));
  return pDefault;
}

} // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication lApp(argc, argv);
  const int lSeconds = Argument(argc, argv, "--seconds", 600);
  const int lIdleSeconds = Argument(argc, argv, "--idle-seconds", 10);
  tScriptedDialogService lDialogs;
  tDialogsScope lScope(lDialogs);
  Resources().SetLanguage(laGerman);
  tUSB_CP210x::SetBackendFactory([]() -> std::shared_ptr<iCP210xBackend> {
    return std::make_shared<tCP210xFake>(QList<tCP210xFake::tBridge>{
        {QStringLiteral("HALVEX_R-7X_0001"), 3}, {QStringLiteral("HALVEX_R-7X_0002"), 4}});
  });

  TFrameLoggingOvvw lLogger;
  std::vector<tInstrument> lInstruments(4);
  for (int i = 0; i < 4; ++i) {
    tInstrument& d = lInstruments[std::size_t(i)];
    d.ComNr = i + 1;
    if (i < 2)
      d.Sim = std::make_unique<tSimK40>(tSimK40::tModel::K40P);
    else
      d.Sim = std::make_unique<tSimR70>(tSimR70::tModel::R7x);
    d.Ports = std::make_unique<tSimPortFactory>(d.Sim.get());
    TFrameDevice::SetComPortFactory(d.Ports->Factory());
    d.Frame = std::make_unique<TFrameDevice>();
    lLogger.AddDevice(d.Frame.get());
    d.Frame->Initialize(d.ComNr);
    d.Frame->Connect();
    if (!WaitFor([&] { return d.Frame->DeviceStatus() == dsConnected; }, 20000)) {
      std::fprintf(stderr, "COM%d did not connect\n", d.ComNr);
      return 1;
    }
  }
  std::printf("soak: 4 instruments connected (2 K-40-P, 2 R-70), interval %d ms, %d s logged\n",
              cIntervalMs, lSeconds);

  // Connected and idle: only the live exchanges run.
  WaitFor([] { return false; }, 1000);
  QElapsedTimer lClock;
  lClock.start();
  double lCpu0 = CpuSeconds();
  WaitFor([] { return false; }, lIdleSeconds * 1000);
  const double lIdleShare = (CpuSeconds() - lCpu0) / (double(lClock.nsecsElapsed()) / 1e9);
  std::printf("CPU share, 4 instruments connected and idle: %.1f %%\n", lIdleShare * 100);

  lLogger.findChild<QSpinBox*>("SpinEditLogInterval")->setValue(cIntervalMs);
  lLogger.findChild<QRadioButton*>("RadioButtonEndLogCount")->setChecked(true);
  lLogger.findChild<QSpinBox*>("SpinEditCountLog")->setValue(INT_MAX);
  lLogger.BitBtnStartLogClick();
  if (!lLogger.IsLogging()) {
    std::fprintf(stderr, "the run did not start (%d messages)\n", lDialogs.MessageCount());
    return 1;
  }
  lClock.restart();
  lCpu0 = CpuSeconds();
  // Memory is read after a tenth of the run, when start-up allocations are done.
  double lRssEarly = 0;
  double lHeapEarly = 0;
  qint64 lEarlyNs = 0;
  int lEarlyRows = 0;
  const qint64 lEndNs = qint64(lSeconds) * 1000000000LL;
  QTimer lProgress;
  // The simulators keep every request and every sent byte for tests to inspect; dropped each
  // second, so that the heap figures are the program's own.
  QObject::connect(&lProgress, &QTimer::timeout, [&] {
    for (tInstrument& d : lInstruments) {
      if (auto* lK40 = qobject_cast<tSimK40*>(d.Sim.get())) lK40->ClearRequests();
      if (auto* lR70 = qobject_cast<tSimR70*>(d.Sim.get())) lR70->ClearRequests();
      if (tSimPort* lPort = d.Ports->Last()) lPort->ClearSentLog();
    }
  });
  lProgress.start(1000);
  while (lClock.nsecsElapsed() < lEndNs) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (lEarlyNs == 0 && lClock.nsecsElapsed() > lEndNs / 10) {
      lEarlyNs = lClock.nsecsElapsed();
      lRssEarly = RssMiB();
      lHeapEarly = HeapMiB();
      lEarlyRows = lLogger.Table().RowCount();
    }
  }
  const double lWall = double(lClock.nsecsElapsed()) / 1e9;
  const double lLogShare = (CpuSeconds() - lCpu0) / lWall;
  const double lRssEnd = RssMiB();
  const double lHeapEnd = HeapMiB();
  const int lRows = lLogger.LogCnt();
  lLogger.BitBtnStopLogClick();

  const tLogTableModel& lTable = lLogger.Table();
  int lSlashRows = 0;
  for (int r = 1; r <= lTable.RowCount(); ++r)
    for (int c = 0; c < lTable.ColCount(); ++c)
      if (lTable.Cell(c, r) == QLatin1String("/")) {
        ++lSlashRows;
        break;
      }
  const long lExpected = long(lWall * 1000.0 / cIntervalMs);
  const long lMissed = std::max(0L, lExpected - long(lRows));
  const double lHours = double(lClock.nsecsElapsed() - lEarlyNs) / 3.6e12;
  const double lGrowth = lHours > 0 ? (lRssEnd - lRssEarly) / lHours : 0;
  const double lHeapGrowth = lHours > 0 ? (lHeapEnd - lHeapEarly) / lHours : 0;
  const double lRowsPerHour = lHours > 0 ? double(lRows - lEarlyRows) / lHours : 0;
  int lDisconnected = 0;
  for (const tInstrument& d : lInstruments)
    if (d.Frame->DeviceStatus() == dsDisconnected) ++lDisconnected;

  std::printf("samples: %d taken, %ld expected in %.1f s, %ld missed (%.2f %%), %d rows with "
              "a device's value missing, %d instruments lost\n",
              lRows, lExpected, lWall, lMissed, lExpected ? 100.0 * lMissed / lExpected : 0.0,
              lSlashRows, lDisconnected);
  std::printf("memory: heap %.1f MiB at 10 %% of the run, %.1f MiB at the end; growth %.1f MiB "
              "per hour (%.0f rows per hour, %.0f bytes per row; table %.1f MiB)\n",
              lHeapEarly, lHeapEnd, lHeapGrowth, lRowsPerHour,
              lTable.RowCount() > lEarlyRows ? (lHeapEnd - lHeapEarly) * 1024.0 * 1024.0 /
                                                   double(lTable.RowCount() - lEarlyRows)
                                             : 0.0,
              double(lTable.BytesUsed()) / (1024.0 * 1024.0));
  std::printf("resident: %.1f MiB at 10 %% of the run, %.1f MiB at the end; growth %.1f MiB per "
              "hour\n",
              lRssEarly, lRssEnd, lGrowth);
  std::printf("CPU share while logging 4 instruments at %d ms: %.1f %%\n", cIntervalMs,
              lLogShare * 100);

  for (tInstrument& d : lInstruments)
    lLogger.DelDevice(d.Frame.get());
  return 0;
}
