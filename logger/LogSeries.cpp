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
  mKept.clear();
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
  if (mKeptGeneration != d.Generation()) {
    mKept.clear();
    mKeptGeneration = d.Generation();
  }
  mNextKept.clear();
  if (!mAdaptiveSampling || double(end - begin) < int(2 * span + 2)) {
    mKept.clear();
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
  tReadDepth depth = rdAllLevels;
  for (;;) {
    const std::size_t next = std::min(d.LowerBound(start + epsilon, first + 1, first + width), end);
    width = next - first;
    // The levels only as far as the last interval needed them.
    d.Prefetch(next + 4 * width, depth == rdAllLevels ? SIZE_MAX : depth == rdLowestLevels ? 1 : 0);
    if (next - first >= 2) {
      double low = 0;
      double high = 0;
      depth = Extremes(first, next, previous, low, high);
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
  mKept.swap(mNextKept);
  return result;
}

tLogSeries::tReadDepth tLogSeries::Extremes(std::size_t pFirst, std::size_t pEnd,
                                            std::size_t& pPrevious, double& pLow,
                                            double& pHigh) const {
  const tLogSeriesData& d = *mData;
  tKept next{pFirst, pEnd, 0, 0, 0, 0, 0, 0};
  next.InnerFirst = (pFirst + cInnerAlign - 1) / cInnerAlign * cInnerAlign;
  next.InnerEnd = std::max(next.InnerFirst, pEnd / cInnerAlign * cInnerAlign);
  const bool inner = next.InnerFirst < next.InnerEnd;
  // The kept interval that holds pFirst, if any.
  while (pPrevious < mKept.size() && mKept[pPrevious].End <= pFirst)
    ++pPrevious;
  const tKept* kept =
      pPrevious < mKept.size() && mKept[pPrevious].First <= pFirst ? &mKept[pPrevious] : nullptr;
  const bool sameInner =
      inner && kept && kept->InnerFirst == next.InnerFirst && kept->InnerEnd == next.InnerEnd;
  double low = 0;
  double high = 0;
  auto take = [&](std::size_t pFrom, std::size_t pTo) {
    if (pFrom >= pTo) return;
    d.MinMax(pFrom, pTo, low, high);
    pLow = std::min(pLow, low);
    pHigh = std::max(pHigh, high);
  };

  // Its extremes still lie within what is left of it when the points it lost are all inside
  // them; then only the points it gained are read.
  if (kept && kept->End <= pEnd) {
    bool still = true;
    if (kept->First < pFirst) {
      d.MinMax(kept->First, pFirst, low, high);
      still = low > kept->Low && high < kept->High;
    }
    if (still) {
      pLow = kept->Low;
      pHigh = kept->High;
      take(kept->End, pEnd);
      next.Low = pLow;
      next.High = pHigh;
      if (sameInner) {
        next.InnerLow = kept->InnerLow;
        next.InnerHigh = kept->InnerHigh;
      } else {
        next.InnerEnd = next.InnerFirst; // not known: read when needed
      }
      mNextKept.push_back(next);
      return rdPoints;
    }
  }

  tReadDepth depth = rdLowestLevels;
  if (!inner) {
    d.MinMax(pFirst, pEnd, pLow, pHigh);
    depth = rdAllLevels;
  } else {
    if (sameInner) {
      pLow = kept->InnerLow;
      pHigh = kept->InnerHigh;
    } else {
      d.MinMax(next.InnerFirst, next.InnerEnd, pLow, pHigh);
      depth = rdAllLevels;
    }
    next.InnerLow = pLow;
    next.InnerHigh = pHigh;
    take(pFirst, next.InnerFirst);
    take(next.InnerEnd, pEnd);
  }
  next.Low = pLow;
  next.High = pHigh;
  mNextKept.push_back(next);
  return depth;
}
