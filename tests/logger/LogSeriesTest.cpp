// The chart's curves draw from an envelope pyramid instead of every point. The picture must be
// the one drawn from every point: pixel for pixel the graph's own drawing of all points on the
// screen, in an export and in a printout, zoomed out and in; every pixel column shows its
// points' extremes and nothing off the line through them (a gap stays a gap). The pyramid and
// what a repaint keeps of the last one answer as the points do, also after clearing and restoring.
#include "LoggerFixture.h"

#include "logger/LogChart.h"
#include "logger/LogJournal.h"
#include "logger/LogSeries.h"
#include <QPicture>
#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <random>

namespace {
constexpr int cWidth = 800;
constexpr int cHeight = 400;

struct tPoint {
  double Key;
  double Value;
};

// A noisy pressure every 30 ms with rare spikes both ways, a step, and a long and a short
// stretch without points ("/" rows).
std::vector<tPoint> NoisyLog(int pCount) {
  std::mt19937 random(20240611);
  std::normal_distribution<double> noise(0, 0.02);
  std::vector<tPoint> points;
  for (int i = 0, spike = 300; i < pCount; ++i) {
    if ((i >= pCount / 3 && i < pCount / 3 + 4000) || (i >= pCount / 2 && i < pCount / 2 + 3))
      continue;
    double value = 8 + std::sin(i / 5000.0) + noise(random) + (i > 2 * pCount / 3 ? 0.5 : 0);
    if (i == spike) {
      value += (i % 2 ? 3.0 : -2.5) * (1 + (i % 7) / 7.0);
      spike += 300 + int(random() % 2700);
    }
    points.push_back({1.75e9 + i * 0.03, value});
  }
  return points;
}

// Two plots alike in all but the curve: the logger's curve, and the graph holding every point.
struct tTwin {
  QCustomPlot Curve;
  QCustomPlot Reference;
  tLogSeries* Series;
  QCPGraph* Graph;

  tTwin(const std::vector<tPoint>& pPoints, int pWidth = cWidth) {
    Series = new tLogSeries(Curve.xAxis, Curve.yAxis);
    Graph = Reference.addGraph();
    Graph->setAdaptiveSampling(true);
    for (const tPoint& p : pPoints) {
      Series->Data().Append(p.Key, p.Value);
      Graph->addData(p.Key, p.Value);
    }
    for (QCustomPlot* plot : {&Curve, &Reference}) {
      plot->graph(0)->setPen(QPen(QColor(255, 0, 0), 1));
      plot->setPlottingHint(QCP::phFastPolylines, true); // as the logger's chart
      plot->resize(pWidth, cHeight);
      plot->yAxis->setRange(0, 17);
      plot->toPixmap(pWidth, cHeight); // lays the axes out
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
  return image;
}

// Independently of the graph, on an aliased bitmap just drawn by pPlot: each pixel column
// reaches the rows of its points' smallest and largest value, and nothing is drawn off the
// line through all points. Drawing may put a point a column or a row off.
void ExpectColumnsShowTheirExtremes(QCustomPlot& pPlot, const std::vector<tPoint>& pPoints,
                                    const QImage& pImage) {
  const QRect rect = pPlot.axisRect()->rect();
  const QCPAxis* x = pPlot.xAxis;
  const QCPAxis* y = pPlot.yAxis;
  const int columns = rect.right() + 2;
  std::vector<int> top(columns, INT_MAX), bottom(columns, INT_MIN);
  std::vector<int> lineTop(columns, INT_MAX), lineBottom(columns, INT_MIN);
  auto widen = [&](int pColumn, double pY1, double pY2) {
    for (int c = std::max(pColumn - 1, 0); c <= std::min(pColumn + 1, columns - 1); ++c) {
      lineTop[c] = std::min(lineTop[c], int(std::floor(std::min(pY1, pY2))));
      lineBottom[c] = std::max(lineBottom[c], int(std::ceil(std::max(pY1, pY2))));
    }
  };
  for (std::size_t i = 0; i < pPoints.size(); ++i) {
    const double px = x->coordToPixel(pPoints[i].Key);
    const double py = y->coordToPixel(pPoints[i].Value);
    if (px >= 0 && px < columns) {
      top[int(px)] = std::min(top[int(px)], qRound(py));
      bottom[int(px)] = std::max(bottom[int(px)], qRound(py));
      widen(int(px), py, py);
    }
    if (i + 1 == pPoints.size()) break;
    const double nx = x->coordToPixel(pPoints[i + 1].Key);
    const double ny = y->coordToPixel(pPoints[i + 1].Value);
    if (nx < 0 || px >= columns || nx - px < 1) continue;
    // The segment to the next point, column by column.
    auto at = [&](double pX) { return py + (ny - py) * (std::clamp(pX, px, nx) - px) / (nx - px); };
    for (int c = std::max(int(px), 0); c <= std::min(int(nx), columns - 1); ++c)
      widen(c, at(c), at(c + 1));
  }
  auto curve = [&](int pColumn, int pRow) {
    return pRow >= rect.top() && pRow <= rect.bottom() &&
           pImage.pixel(pColumn, pRow) == qRgb(255, 0, 0);
  };
  for (int c = rect.left() + 2; c < rect.right() - 2; ++c) {
    for (int r = rect.top(); r <= rect.bottom(); ++r)
      ASSERT_TRUE(!curve(c, r) || (r >= lineTop[c] - 1 && r <= lineBottom[c] + 1))
          << "column " << c << " row " << r << " off the line " << lineTop[c] << ".."
          << lineBottom[c];
    for (int extreme : top[c] == INT_MAX ? std::vector<int>{} : std::vector{top[c], bottom[c]}) {
      bool drawn = false;
      for (int dc = -1; dc <= 1; ++dc)
        for (int dr = -1; dr <= 1; ++dr)
          drawn = drawn || curve(c + dc, extreme + dr);
      ASSERT_TRUE(drawn) << "column " << c << " misses row " << extreme;
    }
  }
}
} // namespace

TEST(tLogSeriesData, EnvelopeAnswersAsThePointsDoAsItGrowsAndAfterClearing) {
  std::mt19937 random(5);
  tLogSeriesData data;
  // Sizes on both sides of the block boundaries of the first levels.
  for (std::size_t count : {1u, 7u, 8u, 9u, 63u, 64u, 65u, 511u, 512u, 513u, 4097u, 40000u}) {
    SCOPED_TRACE(count);
    data.Clear();
    std::vector<double> keys;
    std::vector<double> values;
    for (std::size_t i = 0; i < count; ++i) {
      keys.push_back(double(i / 3)); // runs of equal keys
      values.push_back(std::uniform_real_distribution<double>(-100, 100)(random));
      ASSERT_TRUE(data.Append(keys.back(), values.back()));
    }
    EXPECT_EQ(data.Min(), *std::min_element(values.begin(), values.end()));
    EXPECT_EQ(data.Max(), *std::max_element(values.begin(), values.end()));
    auto index = [&](std::size_t pLast) {
      return std::uniform_int_distribution<std::size_t>(0, pLast)(random);
    };
    for (int query = 0; query < 150; ++query) {
      // The whole curve first, then runs of any length anywhere.
      std::size_t first = query == 0 ? 0 : index(count - 1);
      std::size_t end = query == 0 ? count : index(count - 1) + 1;
      if (first >= end) std::swap(first, end), ++end;
      double low = 0;
      double high = 0;
      data.MinMax(first, end, low, high);
      ASSERT_EQ(low, *std::min_element(values.begin() + first, values.begin() + end));
      ASSERT_EQ(high, *std::max_element(values.begin() + first, values.begin() + end));
      // Searched from any guess, good or bad, on either side of the answer.
      const double key = double(index(count - 1) / 3) + (query % 2 ? 0.5 : 0);
      const auto expected =
          std::size_t(std::lower_bound(keys.begin(), keys.end(), key) - keys.begin());
      EXPECT_EQ(data.LowerBound(key, index(expected), index(count + 2)), expected);
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
  EXPECT_FALSE(chart.HasData());
  chart.AddPoint(series, 100, 5);
  chart.AddPoint(series, 101, -inf);
  chart.AddPoint(series, inf, 6);
  chart.AddPoint(series, 50, 7); // the clock was set back: drawn at the latest time
  chart.AddPoint(series, 102, 3);
  ASSERT_EQ(chart.PointCount(series), 3);
  EXPECT_EQ(series->Data().Key(1), 100);
  double low = 0;
  double high = 0;
  ASSERT_TRUE(chart.SeriesMinMax(series, low, high));
  EXPECT_EQ(low, 3);
  EXPECT_EQ(high, 7);
  EXPECT_EQ(chart.xAxis->range().upper, 102);
  chart.resize(400, 300);
  EXPECT_FALSE(chart.toPixmap().isNull());
}

TEST(tLogSeriesDrawing, EveryZoomDrawsWhatTheGraphDrawsFromEveryPointAndEachColumnItsExtremes) {
  const std::vector<tPoint> points = NoisyLog(150000);
  tTwin twin(points);
  const double first = points.front().Key;
  const double last = points.back().Key;
  const double gapEnd = points[points.size() / 3].Key;
  struct tView {
    const char* What;
    double Lower;
    double Upper;
    bool AsTheGraph = true;
  };
  const tView views[] = {
      {"fully zoomed out", first, last},
      {"about ten points a pixel", first + 2000, first + 2000 + 240},
      {"zoomed in: the points themselves", first + 1234.567, first + 1234.567 + 12},
      {"across the long gap", gapEnd - 420, gapEnd + 300},
      // The point before lies far off the chart: the graph draws every point one by one here,
      // the curve samples them.
      {"dense, right after the long gap", gapEnd + 0.01, gapEnd + 600, false},
      {"the last points, beyond the end", last - 100, last + 30},
  };
  for (const tView& view : views) {
    SCOPED_TRACE(view.What);
    twin.Show(view.Lower, view.Upper, false);
    const QImage aliased = Raster(twin.Curve);
    ExpectColumnsShowTheirExtremes(twin.Curve, points, aliased);
    if (!view.AsTheGraph) continue;
    EXPECT_TRUE(aliased == Raster(twin.Reference)) << "bitmap export, aliased";
    twin.Show(view.Lower, view.Upper, true);
    EXPECT_TRUE(Screen(twin.Curve) == Screen(twin.Reference)) << "screen";
    EXPECT_TRUE(Raster(twin.Curve) == Raster(twin.Reference)) << "bitmap export";
    EXPECT_TRUE(Printed(twin.Curve) == Printed(twin.Reference)) << "printout";
  }
}

// A repaint a few points later takes extremes it kept from the last one; it must draw what a
// first drawing of the same points draws: while the range grows with the points as in a live
// run, stays zoomed, is zoomed into, and after the points were cleared.
TEST(tLogSeriesDrawing, RepaintsAFewPointsLaterDrawWhatAFirstDrawingDraws) {
  const std::vector<tPoint> points = NoisyLog(120000);
  // Narrow, so that pixel columns hold several of the blocks whose extremes are kept.
  tTwin twin({}, cWidth / 2);
  tLogSeries* live = twin.Series;
  auto* first = new tLogSeries(twin.Curve.xAxis, twin.Curve.yAxis);
  QCPAxis* x = twin.Curve.xAxis;
  auto same = [&](const char* pWhat) {
    first->ShareData(*live); // keeps nothing of earlier drawings
    const QVector<QCPGraphData> expected = first->LineData();
    const QVector<QCPGraphData> drawn = live->LineData();
    ASSERT_EQ(drawn.size(), expected.size()) << pWhat;
    for (int i = 0; i < drawn.size(); ++i)
      ASSERT_TRUE(drawn[i].key == expected[i].key && drawn[i].value == expected[i].value)
          << pWhat << ", point " << i;
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
    x->setRange(points.front().Key, live->Data().LastKey());
    same("growing with the points");
  }
  x->setRange(points[10000].Key, points[70000].Key);
  for (int repaint = 0; repaint < 5; ++repaint) {
    append(1000);
    same("zoomed");
  }
  for (double lower = points[10000].Key; lower < points[40000].Key; lower += 37.3) {
    x->setRange(lower, points[50000].Key);
    same("zooming in step by step");
  }
  // Other values under the same keys: the same pixel columns, other extremes.
  x->setRange(points[0].Key, points[59999].Key);
  same("before clearing");
  live->Data().Clear();
  for (std::size_t i = 0; i < 60000; ++i)
    live->Data().Append(points[i].Key, 16 - points[i].Value);
  same("cleared and filled again");
}

// A restored recording rebuilds every curve's envelope: after a chart clear, "/" rows and
// thousands of samples, each curve holds the points since the clear and draws them as the graph
// draws them.
TEST_F(tLoggerFixture, RestoredRecordingRebuildsTheCurvesEnvelopes) {
  const QString file = OutputDir("logger-series") + "/restore.journal";
  QFile::remove(file);
  const std::vector<tPoint> log = NoisyLog(8000);
  auto pulled = [](std::size_t pSample, int pDevice) {
    return pDevice == 1 && pSample >= 4000 && pSample < 4500;
  };
  {
    tLogJournal journal;
    ASSERT_TRUE(journal.Create(file));
    std::vector<tJournalDevice> devices(2);
    devices[0].Tag = "A";
    devices[1].Tag = "B";
    journal.Run(tJournalRun{0, 16, 16, "bar", "bar", "°C"}, devices);
    tLogTableModel table;
    for (std::size_t i = 0; i < log.size(); ++i) {
      if (i == 1000) journal.ClearChart();
      for (int d = 0; d < 2; ++d) {
        tLogRow row;
        row.Pressure = d ? 10 - log[i].Value : log[i].Value;
        row.Temperature = 20;
        row.Digits = 3;
        row.Kind = pulled(i, d) ? rkNotLogging : rkValues;
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
  ASSERT_EQ(mLogger->DeviceListLog().size(), 2u);
  const QCPRange range = mLogger->Chart()->xAxis->range();
  for (int d = 0; d < 2; ++d) {
    SCOPED_TRACE(d);
    std::vector<tPoint> expected;
    for (std::size_t i = 1000; i < log.size(); ++i)
      if (!pulled(i, d)) expected.push_back({log[i].Key, d ? 10 - log[i].Value : log[i].Value});
    const tLogSeries& restored = *mLogger->DeviceListLog()[std::size_t(d)]->SeriesP;
    ASSERT_EQ(restored.Data().Count(), expected.size());
    // The restored curve's own envelope against the graph of the expected points.
    tTwin twin(expected);
    twin.Series->ShareData(restored);
    twin.Show(range.lower, range.upper, true);
    EXPECT_TRUE(Raster(twin.Curve) == Raster(twin.Reference));
  }
}
