// The chart's curves draw from an envelope pyramid instead of every point. The picture must be
// the one drawn from every point: pixel for pixel the graph's own drawing of all points, on
// the screen and in a vector printout, zoomed out and in; every pixel column shows its points'
// smallest and largest value and nothing beyond the line through them; a gap stays a gap. The
// pyramid must answer from the points it summarises, after growing, clearing and restoring.
#include "LoggerFixture.h"

#include "logger/LogChart.h"
#include "logger/LogJournal.h"
#include "logger/LogSeries.h"
#include <QPicture>
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace {
constexpr int cWidth = 800;
constexpr int cHeight = 400;

// A noisy pressure sampled every 30 ms with rare spikes both ways, a long and a short stretch
// of "/" rows (no points), and a step.
struct tPoint {
  double Key;
  double Value;
};

std::vector<tPoint> NoisyLog(int pCount) {
  std::mt19937 random(20240611);
  std::normal_distribution<double> noise(0, 0.02);
  std::uniform_int_distribution<int> spikeGap(300, 3000);
  std::vector<tPoint> points;
  const double start = 1.75e9;
  int nextSpike = spikeGap(random);
  for (int i = 0; i < pCount; ++i) {
    if ((i >= pCount / 3 && i < pCount / 3 + 4000) || (i >= pCount / 2 && i < pCount / 2 + 3))
      continue;
    double value = 8 + std::sin(i / 5000.0) + noise(random) + (i > 2 * pCount / 3 ? 0.5 : 0);
    if (i == nextSpike) {
      value += (i % 2 ? 3.0 : -2.5) * (1 + (i % 7) / 7.0);
      nextSpike += spikeGap(random);
    }
    points.push_back({start + i * 0.03, value});
  }
  return points;
}

// Two plots alike in all but the curve: the logger's curve, and the graph holding every point.
struct tTwin {
  QCustomPlot Curve;
  QCustomPlot Reference;
  tLogSeries* Series;
  QCPGraph* Graph;

  explicit tTwin(const std::vector<tPoint>& pPoints) {
    Series = new tLogSeries(Curve.xAxis, Curve.yAxis);
    Graph = Reference.addGraph();
    Graph->setAdaptiveSampling(true);
    for (QCPGraph* graph : {static_cast<QCPGraph*>(Series), Graph})
      graph->setPen(QPen(QColor(255, 0, 0), 1));
    for (const tPoint& p : pPoints) {
      Series->Data().Append(p.Key, p.Value);
      Graph->addData(p.Key, p.Value);
    }
    for (QCustomPlot* plot : {&Curve, &Reference}) {
      // As the logger's chart draws on the screen.
      plot->setPlottingHint(QCP::phFastPolylines, true);
      plot->resize(cWidth, cHeight);
      plot->yAxis->setRange(0, 17);
    }
  }
  void Show(double pLower, double pUpper, bool pAntialiased) {
    for (QCustomPlot* plot : {&Curve, &Reference}) {
      plot->xAxis->setRange(pLower, pUpper);
      plot->setNotAntialiasedElements(pAntialiased ? QCP::aeNone : QCP::aeAll);
    }
  }
};

QImage Screen(QCustomPlot& pPlot) {
  pPlot.show();
  pPlot.replot(QCustomPlot::rpImmediateRefresh);
  return pPlot.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage Raster(QCustomPlot& pPlot) {
  return pPlot.toPixmap(cWidth, cHeight).toImage().convertToFormat(QImage::Format_RGB32);
}

// As the printout draws it: into a picture, played back at the size it was drawn.
QImage Printed(QCustomPlot& pPlot) {
  QPicture picture;
  QCPPainter painter(&picture);
  pPlot.toPainter(&painter, cWidth, cHeight);
  painter.end();
  QImage image(cWidth, cHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter player(&image);
  player.drawPicture(0, 0, picture);
  player.end();
  return image;
}

bool IsCurve(QRgb pPixel) {
  return pPixel == qRgb(255, 0, 0);
}
} // namespace

TEST(tLogSeriesData, EnvelopeAnswersFromThePointsItSummarisesAsItGrowsAndAfterClearing) {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> values(-100, 100);
  tLogSeriesData data;
  // Sizes on both sides of the block boundaries of the first levels.
  for (std::size_t count : {1u, 7u, 8u, 9u, 63u, 64u, 65u, 511u, 512u, 513u, 4097u, 40000u}) {
    SCOPED_TRACE(count);
    data.Clear();
    std::vector<double> keys;
    std::vector<double> points;
    for (std::size_t i = 0; i < count; ++i) {
      // Runs of equal keys, as several points share one sampling time after a clock step.
      keys.push_back(double(i / 3));
      points.push_back(values(random));
      ASSERT_TRUE(data.Append(keys.back(), points.back()));
    }
    ASSERT_EQ(data.Count(), count);
    EXPECT_EQ(data.Min(), *std::min_element(points.begin(), points.end()));
    EXPECT_EQ(data.Max(), *std::max_element(points.begin(), points.end()));
    std::uniform_int_distribution<std::size_t> index(0, count - 1);
    for (int query = 0; query < 400; ++query) {
      // The whole curve first, then runs of any length anywhere.
      std::size_t first = query == 0 ? 0 : index(random);
      std::size_t end = query == 0 ? count : index(random) + 1;
      if (first >= end) std::swap(first, end), ++end;
      double low = 0;
      double high = 0;
      data.MinMax(first, end, low, high);
      ASSERT_EQ(low, *std::min_element(points.begin() + first, points.begin() + end))
          << first << ".." << end;
      ASSERT_EQ(high, *std::max_element(points.begin() + first, points.begin() + end))
          << first << ".." << end;

      const double key = double(index(random) / 3) + (query % 2 ? 0.5 : 0);
      const auto expected =
          std::size_t(std::lower_bound(keys.begin(), keys.end(), key) - keys.begin());
      const std::size_t from = std::uniform_int_distribution<std::size_t>(0, expected)(random);
      // Searched from any guess, good or bad, on either side of the answer.
      const std::size_t near = std::uniform_int_distribution<std::size_t>(0, count + 2)(random);
      EXPECT_EQ(data.LowerBound(key, from, near), expected)
          << key << " from " << from << " near " << near;
      EXPECT_EQ(data.UpperBound(key),
                std::size_t(std::upper_bound(keys.begin(), keys.end(), key) - keys.begin()));
    }
  }
}

TEST(tLogSeriesData, PointsTheChartCannotPlaceAreLeftOutAndKeysNeverGoBack) {
  tLogChart chart;
  tLogSeries* series = chart.AddSeries(false, "T1 (p)", true);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  chart.AddPoint(series, 100, nan);
  chart.AddPoint(series, nan, 1);
  EXPECT_FALSE(chart.HasData()) << "no point to draw";
  chart.AddPoint(series, 100, 5);
  chart.AddPoint(series, 101, -inf);
  chart.AddPoint(series, inf, 6);
  // The clock was set back: the point is drawn at the latest time, not before earlier ones.
  chart.AddPoint(series, 50, 7);
  chart.AddPoint(series, 102, 3);
  const tLogSeriesData& data = series->Data();
  ASSERT_EQ(chart.PointCount(series), 3);
  EXPECT_EQ(data.Key(1), 100);
  EXPECT_EQ(data.Value(1), 7);
  double low = 0;
  double high = 0;
  ASSERT_TRUE(chart.SeriesMinMax(series, low, high));
  EXPECT_EQ(low, 3);
  EXPECT_EQ(high, 7);
  EXPECT_EQ(chart.xAxis->range().lower, 100);
  EXPECT_EQ(chart.xAxis->range().upper, 102);
  chart.resize(400, 300);
  EXPECT_FALSE(chart.toPixmap().isNull());
}

TEST(tLogSeriesDrawing, EveryZoomDrawsPixelForPixelWhatTheGraphDrawsFromEveryPoint) {
  const std::vector<tPoint> points = NoisyLog(240000);
  tTwin twin(points);
  const double first = points.front().Key;
  const double last = points.back().Key;
  const double gapStart = points[points.size() / 3 - 1].Key;
  struct tView {
    const char* What;
    double Lower;
    double Upper;
  };
  const tView views[] = {
      {"fully zoomed out", first, last},
      {"about ten points a pixel", first + 2000, first + 2000 + 240},
      {"zoomed in: the points themselves", first + 1234.567, first + 1234.567 + 12},
      {"across the long gap", gapStart - 300, gapStart + 400},
      {"the last points, beyond the end", last - 100, last + 30},
  };
  for (const tView& view : views) {
    for (bool antialiased : {true, false}) {
      SCOPED_TRACE(std::string(view.What) + (antialiased ? ", antialiased" : ", aliased"));
      twin.Show(view.Lower, view.Upper, antialiased);
      EXPECT_TRUE(Screen(twin.Curve) == Screen(twin.Reference)) << "screen";
      EXPECT_TRUE(Raster(twin.Curve) == Raster(twin.Reference)) << "bitmap export";
      if (antialiased) {
        EXPECT_TRUE(Printed(twin.Curve) == Printed(twin.Reference)) << "printout";
      }
    }
  }
  // A curve cleared and refilled draws its new points only.
  twin.Series->Data().Clear();
  twin.Graph->data()->clear();
  for (std::size_t i = 0; i < points.size(); i += 3) {
    twin.Series->Data().Append(points[i].Key, 16 - points[i].Value);
    twin.Graph->addData(points[i].Key, 16 - points[i].Value);
  }
  twin.Show(first, last, true);
  EXPECT_TRUE(Raster(twin.Curve) == Raster(twin.Reference));
}

// A repaint a few points later reuses the last drawing's extremes; it must draw what a first
// drawing of the same points draws, while the range grows with the points as in a live run,
// stays zoomed, is zoomed into, and after the points were cleared.
TEST(tLogSeriesDrawing, RepaintsAFewPointsLaterDrawWhatAFirstDrawingDraws) {
  const std::vector<tPoint> points = NoisyLog(120000);
  // Narrow, so that pixel columns hold several of the blocks whose extremes are kept.
  QCustomPlot plot;
  plot.resize(cWidth / 2, cHeight);
  auto* live = new tLogSeries(plot.xAxis, plot.yAxis);
  auto* first = new tLogSeries(plot.xAxis, plot.yAxis);
  plot.toPixmap(cWidth / 2, cHeight); // lays the axes out
  auto same = [&](const char* pWhat) {
    first->ShareData(*live); // drops what it kept of earlier drawings
    const QVector<QCPGraphData> expected = first->LineData();
    const QVector<QCPGraphData> drawn = live->LineData();
    ASSERT_EQ(drawn.size(), expected.size()) << pWhat;
    for (int i = 0; i < drawn.size(); ++i) {
      ASSERT_EQ(drawn[i].key, expected[i].key) << pWhat << " point " << i;
      ASSERT_EQ(drawn[i].value, expected[i].value) << pWhat << " point " << i;
    }
  };
  std::size_t added = 0;
  auto append = [&](std::size_t pCount) {
    for (std::size_t end = std::min(added + pCount, points.size()); added < end; ++added)
      live->Data().Append(points[added].Key, points[added].Value);
  };
  // Some hundred points a pixel column; a few to some hundred new points a repaint.
  append(80000);
  for (int repaint = 0; repaint < 60; ++repaint) {
    append(repaint % 3 == 0 ? 3 + repaint * 5 : 2);
    plot.xAxis->setRange(points.front().Key, live->Data().Key(live->Data().Count() - 1));
    same("growing with the points");
  }
  plot.xAxis->setRange(points[10000].Key, points[70000].Key);
  for (int repaint = 0; repaint < 5; ++repaint) {
    append(1000);
    same("zoomed");
  }
  for (double lower = points[10000].Key; lower < points[40000].Key; lower += 37.3) {
    plot.xAxis->setRange(lower, points[50000].Key);
    same("zooming in step by step");
  }
  // Other values under the same keys: the same pixel columns, other extremes.
  plot.xAxis->setRange(points[0].Key, points[59999].Key);
  same("before clearing");
  live->Data().Clear();
  for (std::size_t i = 0; i < 60000; ++i)
    live->Data().Append(points[i].Key, 16 - points[i].Value);
  same("cleared and filled again");
}

// Independently of the graph: each pixel column shows the smallest and largest value of its
// points, and nothing lies off the line through the points (so a gap is bridged, not filled).
TEST(tLogSeriesDrawing, EveryPixelColumnShowsItsPointsExtremesAndNothingElse) {
  const std::vector<tPoint> points = NoisyLog(240000);
  tTwin twin(points);
  const double gapEnd = points[points.size() / 3].Key;
  struct tView {
    const char* What;
    double Lower;
    double Upper;
  };
  // The second begins right after the long gap: the point before it lies far off the chart.
  const tView views[] = {{"fully zoomed out", points.front().Key, points.back().Key},
                         {"dense, after the long gap", gapEnd + 0.01, gapEnd + 600},
                         {"zoomed in", gapEnd + 1000, gapEnd + 1010}};
  for (const tView& view : views) {
    SCOPED_TRACE(view.What);
    twin.Show(view.Lower, view.Upper, false);
    const QImage image = Raster(twin.Curve);
    const QRect rect = twin.Curve.axisRect()->rect();
    const QCPAxis* x = twin.Curve.xAxis;
    const QCPAxis* y = twin.Curve.yAxis;
    auto row = [&](double pValue) { return qRound(y->coordToPixel(pValue)); };
    // Per pixel column: the rows of its points' extremes, and the rows the line through all
    // points passes within a column either side (drawing may place a point a column off).
    const int columns = rect.right() + 2;
    std::vector<int> top(columns, INT_MAX), bottom(columns, INT_MIN);
    std::vector<int> lineTop(columns, INT_MAX), lineBottom(columns, INT_MIN);
    auto widen = [&](int pColumn, double pY1, double pY2) {
      for (int c = std::max(pColumn - 1, 0); c <= std::min(pColumn + 1, columns - 1); ++c) {
        lineTop[c] = std::min(lineTop[c], int(std::floor(std::min(pY1, pY2))));
        lineBottom[c] = std::max(lineBottom[c], int(std::ceil(std::max(pY1, pY2))));
      }
    };
    for (std::size_t i = 0; i < points.size(); ++i) {
      const double px = x->coordToPixel(points[i].Key);
      const double py = y->coordToPixel(points[i].Value);
      if (px >= 0 && px < columns) {
        const int c = int(px);
        top[c] = std::min(top[c], row(points[i].Value));
        bottom[c] = std::max(bottom[c], row(points[i].Value));
        widen(c, py, py);
      }
      if (i + 1 == points.size()) break;
      // The segment to the next point, column by column where it crosses the chart.
      const double nx = x->coordToPixel(points[i + 1].Key);
      const double ny = y->coordToPixel(points[i + 1].Value);
      if (nx < 0 || px >= columns || nx - px < 1) continue;
      for (int c = std::max(int(px), 0); c <= std::min(int(nx), columns - 1); ++c) {
        auto at = [&](double pX) {
          return py + (ny - py) * (std::clamp(pX, px, nx) - px) / (nx - px);
        };
        widen(c, at(c), at(c + 1));
      }
    }
    int checked = 0;
    for (int c = rect.left() + 2; c < rect.right() - 2; ++c) {
      // Drawn where the line runs, give or take a row.
      for (int r = rect.top(); r <= rect.bottom(); ++r)
        if (IsCurve(image.pixel(c, r))) {
          ASSERT_TRUE(r >= lineTop[c] - 1 && r <= lineBottom[c] + 1)
              << "column " << c << " row " << r << " off the line " << lineTop[c] << ".."
              << lineBottom[c];
        }
      if (top[c] == INT_MAX) continue;
      // Each extreme reached in its column or a neighbour, give or take a row.
      for (int extreme : {top[c], bottom[c]}) {
        bool drawn = false;
        for (int dc = -1; dc <= 1 && !drawn; ++dc)
          for (int r = extreme - 1; r <= extreme + 1 && !drawn; ++r)
            drawn = r >= rect.top() && r <= rect.bottom() && IsCurve(image.pixel(c + dc, r));
        ASSERT_TRUE(drawn) << "column " << c << " misses row " << extreme;
      }
      ++checked;
    }
    EXPECT_GT(checked, rect.width() / 3);
  }
}

// A restored recording rebuilds every curve's envelope: after a chart clear, "/" rows and
// thousands of samples, each curve holds the journal's points since the clear and draws them as
// the graph draws them.
TEST_F(tLoggerFixture, RestoredRecordingRebuildsTheCurvesEnvelopes) {
  const QString folder = OutputDir("logger-series");
  const QString file = folder + "/restore.journal";
  QFile::remove(file);
  const std::vector<tPoint> log = NoisyLog(12000);
  {
    tLogJournal journal;
    ASSERT_TRUE(journal.Create(file));
    tJournalRun run;
    run.UnitMBA = run.UnitMBE = "bar";
    run.UnitTemp = "°C";
    run.MaxSpanBA = run.MaxSpanBE = 16;
    std::vector<tJournalDevice> devices(2);
    devices[0].Tag = "A";
    devices[1].Tag = "B";
    journal.Run(run, devices);
    tLogTableModel table;
    for (std::size_t i = 0; i < log.size(); ++i) {
      if (i == 2000) journal.ClearChart();
      for (int d = 0; d < 2; ++d) {
        tLogRow row;
        row.Pressure = d ? 10 - log[i].Value : log[i].Value;
        row.Temperature = 20 + d;
        row.Time = 45000;
        row.Digits = 3;
        // The second device is pulled for a stretch.
        row.Kind = d && i >= 5000 && i < 5500 ? rkNotLogging : rkValues;
        row.Tag = table.TagIndex(d ? "B" : "A");
        table.AppendRow(row);
      }
      journal.Tick(log[i].Key, table, table.EntryCount() - 1, 2);
    }
    journal.Close();
  }
  QString error;
  ASSERT_TRUE(mLogger->RestoreJournal(file, error)) << error.toStdString();
  ASSERT_EQ(mLogger->Table().EntryCount(), 2 * int(log.size()));
  const std::vector<tDevice*>& devices = mLogger->DeviceListLog();
  ASSERT_EQ(devices.size(), 2u);
  tLogChart* chart = mLogger->Chart();
  chart->resize(cWidth, cHeight);
  for (int d = 0; d < 2; ++d) {
    SCOPED_TRACE(d);
    std::vector<tPoint> expected;
    for (std::size_t i = 2000; i < log.size(); ++i)
      if (!(d && i >= 5000 && i < 5500))
        expected.push_back({log[i].Key, d ? 10 - log[i].Value : log[i].Value});
    const tLogSeriesData& data = devices[std::size_t(d)]->SeriesP->Data();
    ASSERT_EQ(data.Count(), expected.size());
    EXPECT_EQ(data.Key(0), expected.front().Key);
    EXPECT_EQ(data.Value(data.Count() - 1), expected.back().Value);
    tTwin twin(expected);
    for (QCustomPlot* plot : {&twin.Curve, &twin.Reference})
      plot->yAxis->setRange(chart->yAxis->range());
    // The restored curve's own envelope against the graph of the expected points.
    twin.Series->ShareData(*devices[std::size_t(d)]->SeriesP);
    twin.Show(chart->xAxis->range().lower, chart->xAxis->range().upper, true);
    EXPECT_TRUE(Raster(twin.Curve) == Raster(twin.Reference));
  }
}
