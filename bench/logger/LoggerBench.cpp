// Logger benchmarks. Prints one line per figure:
//  - the sampling tick with 4 devices at 10 k, 100 k and 1 M recorded samples, and the ratio
//    of the 1 M figure to the 10 k one (target ≤ 1.5);
//  - heap bytes per recorded sample and device, table and chart together (target < 200);
//  - saving 1 M rows as CSV (target < 2 s);
//  - redrawing the chart with 1 M points per series (target < 100 ms);
//  - the tick's 50th and 99th percentile with and without the recording journal, 4 devices at
//    30 ms (target: 99th percentile with the journal within 1.3 x and under 1 ms).
// The recorded size is reached by appending through the table's and chart's own append
// operations (a real tick needs a new instrument time stamp, i.e. a millisecond, per sample).
#include "core/DeviceInfo.h"
#include "widgets/DialogService.h"
#include "tests/support/ScriptedDialogService.h"
#include "logger/FrameLoggingOvvw.h"
#include "logger/LogChart.h"
#include "logger/LogTableModel.h"
#include "logger/LogTableWriter.h"
#include "pages/FrameDevice.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QSpinBox>
#include <QTableView>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <memory>
#include <vector>

namespace {
// Process CPU time in ms: on a shared, loaded machine it shows the work itself.
double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

std::size_t HeapInUse() {
  struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

struct tBench {
  tScriptedDialogService Dialogs;
  tDialogsScope Scope{Dialogs};
  std::vector<std::unique_ptr<TFrameDevice>> Frames;
  std::unique_ptr<TFrameLoggingOvvw> Logger;

  explicit tBench(int pDevices, const QString& pJournalFolder = QString()) {
    Logger = std::make_unique<TFrameLoggingOvvw>();
    Logger->SetJournalFolder(pJournalFolder);
    Logger->resize(1200, 700);
    Logger->show();
    for (int i = 0; i < pDevices; ++i) {
      auto frame = std::make_unique<TFrameDevice>();
      tDeviceInfo* info = frame->DeviceInfo();
      info->SetComNr(i + 1);
      info->SetMBAinBar(0);
      info->SetMBEinBar(16);
      info->SetMBAUnitStr("bar");
      info->SetMBEUnitStr("bar");
      info->SetDeviceType(dtK4xP);
      info->SetIdent(QString("K-40-P %1").arg(i));
      info->SetTag(QString("T%1").arg(i + 1));
      frame->SetDeviceStatus(dsConnected);
      Logger->AddDevice(frame.get());
      Frames.push_back(std::move(frame));
    }
    Logger->findChild<QSpinBox*>("SpinEditCountLog")->setValue(2147483647);
    Logger->BitBtnStartLogClick();
  }
  ~tBench() {
    for (auto& f : Frames)
      Logger->DelDevice(f.get());
  }

  // Appends samples as the tick does, without waiting for new instrument time stamps.
  void Fill(int pSamples) {
    tLogTableModel* table = Logger->TableModel();
    tLogChart* chart = Logger->Chart();
    double key = QDateTime::currentMSecsSinceEpoch() / 1000.0 - pSamples * 0.1;
    tDateTime stamp = NowDateTime() - pSamples * 0.1 / SecsPerDay;
    for (int s = 0; s < pSamples; ++s) {
      key += 0.1;
      stamp += 0.1 / SecsPerDay;
      for (const tDevice* d : Logger->DeviceListLog()) {
        tLogRow row;
        row.Pressure = 8 + 0.001 * (s % 1000);
        row.Temperature = 21.5;
        row.Time = stamp;
        row.Digits = 3;
        row.Kind = rkValues;
        row.Tag = table->TagIndex(d->FrameDevice->DeviceInfo()->Tag());
        table->AppendRow(row);
        chart->AddPoint(d->SeriesP, key, row.Pressure);
        chart->AddPoint(d->SeriesT, key, row.Temperature);
      }
    }
  }

  // Mean time of real ticks that each take one sample, in microseconds.
  double TickMicros(int pTicks) {
    QElapsedTimer timer;
    qint64 total = 0;
    for (int i = 0; i < pTicks; ++i) {
      // The shortest sampling interval the user can choose.
      QThread::msleep(30);
      for (auto& f : Frames) {
        f->DeviceInfo()->SetPressureBar(8 + 0.01 * i);
        f->DeviceInfo()->SetTemperature(22);
      }
      timer.start();
      Logger->TimerLoggerTimer();
      total += timer.nsecsElapsed();
      // The paint-rate work runs between ticks, as in the program; timed on its own.
      timer.start();
      QCoreApplication::processEvents();
      PaintNs += timer.nsecsElapsed();
    }
    return total / 1000.0 / pTicks;
  }
  qint64 PaintNs = 0;

  // Delivers new values and times one real tick, in nanoseconds.
  qint64 TimedTick(int pIndex) {
    for (auto& f : Frames) {
      f->DeviceInfo()->SetPressureBar(8 + 0.01 * pIndex);
      f->DeviceInfo()->SetTemperature(22);
    }
    QElapsedTimer timer;
    timer.start();
    Logger->TimerLoggerTimer();
    const qint64 ns = timer.nsecsElapsed();
    QCoreApplication::processEvents();
    return ns;
  }
};

double PercentileMicros(const std::vector<qint64>& pSorted, double pShare) {
  if (pSorted.empty()) return 0;
  const std::size_t index = std::min(pSorted.size() - 1, std::size_t(pShare * pSorted.size()));
  return pSorted[index] / 1000.0;
}
} // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

  // An argument picks one part: tick, memory, save, redraw.
  const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  auto wanted = [&](const char* pPart) { return only.isEmpty() || only == pPart; };

  // Tick time against recorded size, 4 devices.
  double tick10k = 0;
  for (int size : {10000, 100000, 1000000}) {
    if (!wanted("tick")) break;
    tBench bench(4);
    bench.Fill(size);
    QCoreApplication::processEvents();
    bench.TickMicros(5); // warm-up
    bench.PaintNs = 0;
    QElapsedTimer wall;
    wall.start();
    double us = bench.TickMicros(100);
    const double seconds = wall.nsecsElapsed() / 1e9;
    if (size == 10000) tick10k = us;
    std::printf("tick, 4 devices, %7d samples recorded: %8.1f us; paint-rate work %.1f ms/s\n",
                size, us, bench.PaintNs / 1e6 / seconds);
    if (size == 1000000) std::printf("tick ratio 1M / 10k: %.2f (target <= 1.5)\n", us / tick10k);
  }

  // The tick with and without the journal, 4 devices at the shortest rate. The two loggers
  // tick in turn, 15 ms apart, so that the load of a shared machine falls on both alike.
  if (wanted("journal")) {
    const QString folder = QDir::tempPath() + "/corvane-bench-journal";
    tBench plain(4);
    tBench journal(4, folder);
    std::vector<qint64> times[2];
    for (int i = 0; i < 1020; ++i) {
      for (int k = 0; k < 2; ++k) {
        QThread::msleep(15);
        const qint64 ns = (k ? journal : plain).TimedTick(i);
        if (i >= 20) times[k].push_back(ns); // after a warm-up
      }
    }
    double p99[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
      std::sort(times[k].begin(), times[k].end());
      p99[k] = PercentileMicros(times[k], 0.99);
      std::printf("tick, 4 devices at 30 ms, %s journal: median %.1f us, 99th percentile %.1f us\n",
                  k ? "with" : "without", PercentileMicros(times[k], 0.5), p99[k]);
    }
    std::printf("tick 99th percentile with / without journal: %.2f (target <= 1.3, < 1000 us)\n",
                p99[1] / p99[0]);
    QDir(folder).removeRecursively();
  }

  // Memory per recorded sample and device.
  if (wanted("memory")) {
    tBench bench(4);
    std::size_t before = HeapInUse();
    const int samples = 1000000;
    bench.Fill(samples);
    std::size_t after = HeapInUse();
    std::printf("memory per sample and device (table + chart): %.1f bytes (target < 200)\n",
                double(after - before) / (double(samples) * 4));
  }

  // Saving 1 M rows as CSV.
  if (wanted("save")) {
    tBench bench(1);
    bench.Fill(1000000);
    QString file = QDir::tempPath() + "/corvane-bench-log.csv";
    QElapsedTimer timer;
    timer.start();
    const double cpu = CpuMs();
    tLogTableWriter::Write(file, bench.Logger->Table(), 1, ';', "Messstelle");
    std::printf("save 1M rows as CSV: %lld ms wall, %.0f ms CPU (target < 2000), %lld bytes\n",
                (long long)timer.elapsed(), CpuMs() - cpu, (long long)QFileInfo(file).size());
    QFile::remove(file);
  }

  // Chart redraw with 1 M points per series.
  for (int devices : {1, 4}) {
    if (!wanted("redraw")) break;
    tBench bench(devices);
    bench.Fill(1000000);
    tLogChart* chart = bench.Logger->Chart();
    chart->resize(1000, 600);
    chart->replot(QCustomPlot::rpImmediateRefresh);
    QElapsedTimer timer;
    const int rounds = 10;
    timer.start();
    for (int i = 0; i < rounds; ++i)
      chart->replot(QCustomPlot::rpImmediateRefresh);
    std::printf("chart redraw, %d series of 1M points: %.1f ms (target < 100)\n", devices * 2,
                timer.elapsed() / double(rounds));
  }
  return 0;
}
