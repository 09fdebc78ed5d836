#include "logger/LogSeries.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {
// Pixel positions far off the chart (a deep zoom into a long log) are held inside the range of
// int before they are truncated to a pixel.
constexpr double cMaxPixel = 1e9;
// Interiors kept between drawings begin and end on boundaries of level-2 blocks.
constexpr std::size_t cInnerAlign = tLogSeriesData::Fanout * tLogSeriesData::Fanout;
} // namespace

tLogSeries::tLogSeries(QCPAxis* pKeyAxis, QCPAxis* pValueAxis)
    : QCPGraph(pKeyAxis, pValueAxis), mData(std::make_shared<tLogSeriesData>()) {
  setAdaptiveSampling(true);
  setSelectable(QCP::stNone);
}

tLogSeries::~tLogSeries() = default;

void tLogSeries::ShareData(const tLogSeries& pSource) {
  mData = pSource.mData;
  mInners.clear();
}

void tLogSeries::draw(QCPPainter* pPainter) {
  // The graph's own drawing with its fill, scatters and selection left out: the logger's
  // curves have none.
  if (!mKeyAxis || !mValueAxis || mKeyAxis->range().size() <= 0 || mData->Count() == 0) return;
  if (mLineStyle != lsLine) return;
  const QVector<QCPGraphData> lineData = LineData();
  if (lineData.isEmpty()) return;
  pPainter->setPen(mPen);
  pPainter->setBrush(Qt::NoBrush);
  drawLinePlot(pPainter, dataToLines(lineData));
}

QVector<QCPGraphData> tLogSeries::LineData() const {
  QVector<QCPGraphData> result;
  const QCPAxis* keyAxis = mKeyAxis.data();
  const tLogSeriesData& d = *mData;
  const std::size_t count = d.Count();
  if (!keyAxis || count == 0) return result;

  // The visible points and one beyond each edge, so that the line reaches the edges.
  std::size_t begin = d.LowerBound(keyAxis->range().lower);
  if (begin > 0) --begin;
  std::size_t end = d.UpperBound(keyAxis->range().upper);
  if (end < count) ++end;
  if (begin >= end) return result;

  // Sampling only with at least about two points per pixel. The span counts only the pixels
  // on the chart, unlike the graph's: a point beyond a long pause off the edge would otherwise
  // make every visible point be drawn one by one.
  const double span = std::min(
      std::abs(keyAxis->coordToPixel(d.Key(begin)) - keyAxis->coordToPixel(d.Key(end - 1))),
      double(keyAxis->axisRect()->width()) + 2);
  if (mInnersGeneration != d.Generation()) {
    mInners.clear();
    mInnersGeneration = d.Generation();
  }
  mNextInners.clear();
  if (!mAdaptiveSampling || double(end - begin) < int(2 * span + 2)) {
    mInners.clear();
    result.reserve(int(end - begin));
    for (std::size_t i = begin; i < end; ++i)
      result.append(QCPGraphData(d.Key(i), d.Value(i)));
    return result;
  }

  // Pixel intervals as the graph's sampling forms them: an interval begins at the pixel
  // boundary at or below its first point and takes the points up to one pixel further on.
  const int reversedFactor = keyAxis->pixelOrientation();
  const int reversedRound = reversedFactor == -1 ? 1 : 0;
  auto intervalStart = [&](double pKey) {
    const double pixel =
        std::clamp(keyAxis->coordToPixel(pKey) + reversedRound, -cMaxPixel, cMaxPixel);
    return keyAxis->pixelToCoord(int(pixel));
  };
  auto pixelWidth = [&](double pStart) {
    return std::abs(pStart -
                    keyAxis->pixelToCoord(keyAxis->coordToPixel(pStart) + 1.0 * reversedFactor));
  };
  const bool widthVaries = keyAxis->scaleType() == QCPAxis::stLogarithmic;
  std::size_t first = begin;
  double start = intervalStart(d.Key(first));
  double epsilon = pixelWidth(start);
  double lastIntervalEnd = start;
  // The points of the last interval: where the next one probably ends.
  std::size_t width = 1;
  std::size_t previous = 0;
  bool envelope = true;
  for (;;) {
    const std::size_t next = std::min(d.LowerBound(start + epsilon, first + 1, first + width), end);
    width = next - first;
    // Beyond the lowest level only while interiors are not found among the kept ones.
    d.Prefetch(next + 4 * width, envelope ? SIZE_MAX : 1);
    if (next - first >= 2) {
      double low = 0;
      double high = 0;
      envelope = Extremes(first, next, previous, low, high);
      // Next to an empty pixel the line leaves from the interval's first and last value.
      if (lastIntervalEnd < start - epsilon)
        result.append(QCPGraphData(start + epsilon * 0.2, d.Value(first)));
      result.append(QCPGraphData(start + epsilon * 0.25, low));
      result.append(QCPGraphData(start + epsilon * 0.75, high));
      if (next < end && d.Key(next) > start + epsilon * 2)
        result.append(QCPGraphData(start + epsilon * 0.8, d.Value(next - 1)));
    } else {
      result.append(QCPGraphData(d.Key(first), d.Value(first)));
    }
    if (next >= end) break;
    lastIntervalEnd = d.Key(next - 1);
    first = next;
    start = intervalStart(d.Key(first));
    if (widthVaries) epsilon = pixelWidth(start);
  }
  mInners.swap(mNextInners);
  return result;
}

bool tLogSeries::Extremes(std::size_t pFirst, std::size_t pEnd, std::size_t& pPrevious,
                          double& pLow, double& pHigh) const {
  const tLogSeriesData& d = *mData;
  const std::size_t innerFirst = (pFirst + cInnerAlign - 1) / cInnerAlign * cInnerAlign;
  const std::size_t innerEnd = pEnd / cInnerAlign * cInnerAlign;
  if (innerFirst >= innerEnd) {
    d.MinMax(pFirst, pEnd, pLow, pHigh);
    return true;
  }
  while (pPrevious < mInners.size() && mInners[pPrevious].First < innerFirst)
    ++pPrevious;
  bool envelope = true;
  if (pPrevious < mInners.size() && mInners[pPrevious].First == innerFirst &&
      mInners[pPrevious].End == innerEnd) {
    pLow = mInners[pPrevious].Low;
    pHigh = mInners[pPrevious].High;
    envelope = false;
  } else {
    d.MinMax(innerFirst, innerEnd, pLow, pHigh);
  }
  mNextInners.push_back(tInner{innerFirst, innerEnd, pLow, pHigh});
  double low = 0;
  double high = 0;
  if (pFirst < innerFirst) {
    d.MinMax(pFirst, innerFirst, low, high);
    pLow = std::min(pLow, low);
    pHigh = std::max(pHigh, high);
  }
  if (innerEnd < pEnd) {
    d.MinMax(innerEnd, pEnd, low, high);
    pLow = std::min(pLow, low);
    pHigh = std::max(pHigh, high);
  }
  return envelope;
}
