// Logger benchmarks. Prints one line per figure:
//  - the sampling tick with 4 devices at 10 k, 100 k, 1 M and 10 M recorded samples, and the
//    ratio of the 1 M figure to the 10 k one (target <= 1.5);
//  - the chart's work per second at the paint rate at 10 k, 1 M and 10 M samples (CPU time of
//    its repaints, the sizes taking turns), and the ratios of the 1 M and 10 M figures to the
//    10 k one (target <= 1.5);
//  - the table's work per second at the paint rate at the same sizes (all of that work but the
//    chart's repaints), and its ratios to the 10 k figure (target <= 1.5);
//  - resident bytes per recorded sample and device, table and chart together, at each size
//    (target < 100 at 10 M), and the bytes the table and the curves count as theirs;
//  - a 24-hour run projected: 4 devices at 30 ms, 2.88 M samples each, with the journal: the
//    tick's 50th and 99th percentile (target < 1 ms), the chart's work per second, memory;
//  - saving 1 M rows as CSV (target < 2 s);
//  - redrawing the chart with 1 M points per series (target < 100 ms);
//  - the tick's 50th and 99th percentile with and without the recording journal, 4 devices at
//    30 ms (target: 99th percentile with the journal within 1.3 x and under 1 ms).
// The recorded size is reached by appending through the table's and chart's own append
// operations (a real tick needs a new instrument time stamp, i.e. a millisecond, per sample).
#include "core/DeviceInfo.h"
#include "logger/FrameLoggingOvvw.h"
#include "logger/LogChart.h"
#include "logger/LogSeries.h"
#include "logger/LogTableModel.h"
#include "logger/LogTableWriter.h"
#include "pages/FrameDevice.h"
#include "tests/support/ScriptedDialogService.h"
#include "widgets/DialogService.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSpinBox>
#include <QTableView>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <malloc.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {
// Process CPU time in ms: on a shared, loaded machine it shows the work itself.
double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// CPU time of the calling (GUI) thread in ns: the chart's own work, whatever else the machine
// runs.
qint64 ThreadCpuNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Resident memory: the heap and the chart's huge-page blocks alike. Free heap memory is given
// back first, so that filling a log does not reuse what an earlier figure left.
std::size_t ResidentBytes() {
  malloc_trim(0);
  QFile statm("/proc/self/statm");
  if (!statm.open(QIODevice::ReadOnly)) return 0;
  const QList<QByteArray> fields = statm.readAll().split(' ');
  return fields.size() > 1 ? fields[1].toULongLong() * std::size_t(sysconf(_SC_PAGESIZE)) : 0;
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
    // The chart's repaints, timed between the signals around each.
    tLogChart* chart = Logger->Chart();
    QObject::connect(chart, &QCustomPlot::beforeReplot, [this] { mReplotStart = ThreadCpuNs(); });
    QObject::connect(chart, &QCustomPlot::afterReplot, [this] {
      const qint64 ns = ThreadCpuNs() - mReplotStart;
      ChartNs += ns;
      ReplotNs.push_back(ns);
      ++Replots;
    });
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
        // A slow swing over the whole log and a few digits of sensor noise: the picture looks
        // alike at every length, so the figures show what the length costs.
        tLogRow row;
        row.Pressure = 8 + 0.4 * std::sin(18.85 * s / pSamples) +
                       0.001 * ((static_cast<long long>(s) * 7919) % 13);
        row.Temperature = 21.5 + 0.1 * ((s * 31) % 5);
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
      const qint64 cpu = ThreadCpuNs();
      QCoreApplication::processEvents();
      PaintNs += timer.nsecsElapsed();
      PaintCpuNs += ThreadCpuNs() - cpu;
    }
    return total / 1000.0 / pTicks;
  }
  qint64 PaintNs = 0;
  // Of the paint-rate work, the thread's CPU time: the chart's repaints (ChartNs) and the rest,
  // which is the table's (new rows told to the view, the newest kept in view, its repaints).
  qint64 PaintCpuNs = 0;
  qint64 ChartNs = 0;
  int Replots = 0;
  std::vector<qint64> ReplotNs;
  qint64 mReplotStart = 0;

  // Heap and counted bytes per sample and device, table and chart together.
  std::size_t CountedBytes() const {
    std::size_t bytes = Logger->Table().BytesUsed();
    for (const tLogSeries* series : Logger->Chart()->Series())
      bytes += series->Data().BytesUsed();
    return bytes;
  }

  // Delivers new values and times one real tick, in nanoseconds; pCpuNs, if given, receives
  // the thread's CPU time of it, which leaves out what other processes took of the core.
  qint64 TimedTick(int pIndex, qint64* pCpuNs = nullptr) {
    for (auto& f : Frames) {
      f->DeviceInfo()->SetPressureBar(8 + 0.01 * pIndex);
      f->DeviceInfo()->SetTemperature(22);
    }
    QElapsedTimer timer;
    const qint64 cpu = ThreadCpuNs();
    timer.start();
    Logger->TimerLoggerTimer();
    const qint64 ns = timer.nsecsElapsed();
    if (pCpuNs) *pCpuNs = ThreadCpuNs() - cpu;
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

  // An argument picks one part: tick (memory alike), chart, day, journal, save, redraw; a
  // second one caps the recorded size of the tick and chart parts.
  const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  const int maxSize = argc > 2 ? std::atoi(argv[2]) : 10000000;
  auto wanted = [&](const char* pPart) { return only.isEmpty() || only == pPart; };

  // Tick time, paint-rate work and memory against recorded size, 4 devices.
  double tick10k = 0;
  for (int size : {10000, 100000, 1000000, 10000000}) {
    if ((!wanted("tick") && !wanted("memory")) || size > maxSize) break;
    tBench bench(4);
    const std::size_t before = ResidentBytes();
    bench.Fill(size);
    const double perSample = double(ResidentBytes() - before) / (double(size) * 4);
    const double counted = double(bench.CountedBytes()) / (double(size) * 4);
    QCoreApplication::processEvents();
    bench.TickMicros(5); // warm-up
    bench.PaintNs = 0;
    QElapsedTimer wall;
    wall.start();
    double us = bench.TickMicros(150);
    const double seconds = wall.nsecsElapsed() / 1e9;
    if (size == 10000) tick10k = us;
    std::printf("tick, 4 devices, %7d samples recorded: %8.1f us; paint-rate work %.1f ms/s\n",
                size, us, bench.PaintNs / 1e6 / seconds);
    std::printf("memory per sample and device (table + chart), %7d samples: %.1f bytes "
                "resident (%.1f counted)\n",
                size, perSample, counted);
    if (size == 1000000) std::printf("tick ratio 1M / 10k: %.2f (target <= 1.5)\n", us / tick10k);
    if (size == 10000000)
      std::printf("memory per sample and device (table + chart) at 10M: %.1f bytes (target < "
                  "100)\n",
                  perSample);
  }

  // The chart's work per second at the paint rate against the recorded size, 4 devices: the
  // CPU time of its repaints. The loggers take turns of 40 ticks, each alone on the screen, so
  // that the changing load of the shared machine falls on every size alike.
  if (wanted("chart")) {
    const int sizes[] = {10000, 1000000, 10000000};
    std::vector<std::unique_ptr<tBench>> benches;
    for (int size : sizes) {
      if (size > maxSize) break;
      benches.push_back(std::make_unique<tBench>(4));
      benches.back()->Fill(size);
      benches.back()->Logger->hide();
    }
    std::vector<double> seconds(benches.size(), 0);
    for (int round = 0; round < 9; ++round) {
      for (std::size_t k = 0; k < benches.size(); ++k) {
        tBench& bench = *benches[k];
        bench.Logger->show();
        QCoreApplication::processEvents();
        if (round == 0) { // warm-up
          bench.TickMicros(10);
          bench.PaintCpuNs = 0;
          bench.ChartNs = 0;
          bench.Replots = 0;
          bench.ReplotNs.clear();
        } else {
          QElapsedTimer wall;
          wall.start();
          bench.TickMicros(40);
          seconds[k] += wall.nsecsElapsed() / 1e9;
        }
        bench.Logger->hide();
      }
    }
    std::vector<double> charts;
    for (std::size_t k = 0; k < benches.size(); ++k) {
      tBench& bench = *benches[k];
      const double chart = bench.ChartNs / 1e6 / seconds[k];
      charts.push_back(chart);
      std::sort(bench.ReplotNs.begin(), bench.ReplotNs.end());
      std::printf("chart work, 4 devices, %8d samples recorded: %.1f ms/s, %.1f repaints a "
                  "second, median %.2f ms; ratio to 10k %.2f\n",
                  sizes[k], chart, bench.Replots / seconds[k],
                  PercentileMicros(bench.ReplotNs, 0.5) / 1000, chart / charts[0]);
    }
    for (std::size_t k = 1; k < benches.size(); ++k)
      std::printf("chart work ratio %s / 10k: %.2f (target <= 1.5)\n", k == 1 ? "1M" : "10M",
                  charts[k] / charts[0]);
    // The table's share of the same paint-rate work: all of it but the chart's repaints.
    std::vector<double> tables;
    for (std::size_t k = 0; k < benches.size(); ++k) {
      const tBench& bench = *benches[k];
      tables.push_back((bench.PaintCpuNs - bench.ChartNs) / 1e6 / seconds[k]);
      std::printf("table work, 4 devices, %8d samples recorded (%d rows): %.1f ms/s; ratio to 10k "
                  "%.2f\n",
                  sizes[k], sizes[k] * 4, tables[k], tables[k] / tables[0]);
    }
    for (std::size_t k = 1; k < benches.size(); ++k)
      std::printf("table work ratio %s / 10k: %.2f (target <= 1.5)\n", k == 1 ? "1M" : "10M",
                  tables[k] / tables[0]);
    // Of a repaint, reading the points to draw from the envelopes with the caches emptied
    // before each (64 MiB written), the range grown a little as by new points.
    std::vector<char> flush(64 << 20);
    for (std::size_t k = 0; k < benches.size(); ++k) {
      tLogChart* chart = benches[k]->Logger->Chart();
      const double lower = chart->xAxis->range().lower;
      double upper = chart->xAxis->range().upper;
      qint64 best = INT64_MAX;
      for (int round = 0; round < 20; ++round) {
        for (std::size_t i = 0; i < flush.size(); i += 64)
          flush[i] = char(i + round);
        upper += 0.15;
        chart->xAxis->setRange(lower, upper);
        const qint64 start = ThreadCpuNs();
        for (const tLogSeries* series : chart->Series())
          series->LineData();
        best = std::min(best, ThreadCpuNs() - start);
      }
      std::printf("envelope reads of a repaint, caches emptied, %8d samples: %.2f ms\n", sizes[k],
                  best / 1e6);
    }
  }

  // A 24-hour run projected: 4 instruments at 30 ms with the journal, as the program records.
  if (wanted("day")) {
    const QString folder = QDir::tempPath() + "/corvane-bench-day";
    const int samples = 24 * 3600 * 1000 / 30;
    auto bench = std::make_unique<tBench>(4, folder);
    const std::size_t before = ResidentBytes();
    bench->Fill(samples);
    const double perSample = double(ResidentBytes() - before) / (double(samples) * 4);
    QCoreApplication::processEvents();
    for (int i = 0; i < 20; ++i) // warm-up
      bench->TimedTick(i);
    bench->ChartNs = 0;
    std::vector<qint64> times;
    std::vector<qint64> cpuTimes;
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < 1000; ++i) {
      QThread::msleep(30);
      qint64 cpu = 0;
      times.push_back(bench->TimedTick(i, &cpu));
      cpuTimes.push_back(cpu);
    }
    const double seconds = wall.nsecsElapsed() / 1e9;
    std::sort(times.begin(), times.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    std::printf("24 h at 30 ms (4 devices, %d samples each, journal): tick median %.1f us, 99th "
                "percentile %.1f us (target < 1000); chart work %.1f ms/s; memory per sample and "
                "device %.1f bytes\n",
                samples, PercentileMicros(times, 0.5), PercentileMicros(times, 0.99),
                bench->ChartNs / 1e6 / seconds, perSample);
    std::printf("24 h at 30 ms, the tick's own CPU time: median %.1f us, 99th percentile %.1f us\n",
                PercentileMicros(cpuTimes, 0.5), PercentileMicros(cpuTimes, 0.99));
    bench.reset();
    QDir(folder).removeRecursively();
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
    const double redraw = timer.nsecsElapsed() / 1e6 / rounds;
    // Of that, reading the points to draw from the envelopes, as after a zoom (nothing kept of
    // an earlier drawing): the fastest of several rounds, as the machine is shared.
    double reading = 1e9;
    int points = 0;
    for (int i = 0; i < 30; ++i) {
      for (tLogSeries* series : chart->Series())
        series->ShareData(*series);
      timer.start();
      points = 0;
      for (const tLogSeries* series : chart->Series())
        points += int(series->LineData().size());
      reading = std::min(reading, timer.nsecsElapsed() / 1e6);
    }
    std::printf("chart redraw, %d series of 1M points: %.1f ms (target < 100), of which %.2f ms "
                "reading %d points to draw\n",
                devices * 2, redraw, reading, points);
  }
  return 0;
}
