#pragma once
// The points of one chart curve, and their values summarised at coarser and coarser
// resolutions: an envelope pyramid. Level 1 holds the smallest and largest value of every
// block of Fanout points, level 2 of every Fanout blocks of level 1, and so on. The smallest
// and largest value of any run of points is then read from at most 2 (Fanout - 1) entries per
// level instead of from every point, so drawing a pixel column costs the same whether it
// covers ten points or a million.
//
// The pyramid grows as points arrive: a block is summarised once, when its last point comes
// (amortised O(1) a point); the levels add 16 / (Fanout - 1) bytes a point to the 16 of the
// point itself. A curve has no points where the instrument delivered none ("/" rows): the
// line of the chart joins the points on both sides, and no block holds anything for the gap.
#include "logger/ChunkedArray.h"
#include <cstddef>
#include <cstdint>
#include <vector>

class tLogSeriesData {
public:
  static constexpr std::size_t Fanout = 8;

  // False, and nothing stored, for a value or key that is not a finite number: the chart cannot
  // place it and leaves a gap as for a missing value. Keys never go back: a key earlier than
  // the last one (the clock was set back) is stored as the last one, so the points stay sorted.
  bool Append(double pKey, double pValue);
  void Clear();

  std::size_t Count() const { return mPoints.Size(); }
  // Changes when the points are cleared; points once stored never change otherwise.
  std::uint64_t Generation() const { return mGeneration; }
  double Key(std::size_t pIndex) const { return mPoints[pIndex].Key; }
  double Value(std::size_t pIndex) const { return mPoints[pIndex].Value; }
  // Of all values, and the key of the last point; only meaningful while Count() > 0.
  double Min() const { return mMin; }
  double Max() const { return mMax; }
  double LastKey() const { return mLastKey; }

  // The first point from pFrom on whose key is not below pKey; Count() when there is none.
  // Searches outward from pNear (the answer expected, e.g. one pixel's worth of points on), so
  // the cost grows with the distance from it, not with the curve: points come at a steady
  // rate, and the next pixel boundary is found in a probe or two, without a walk through
  // memory.
  std::size_t LowerBound(double pKey, std::size_t pFrom = 0, std::size_t pNear = 0) const;
  // The first point whose key is above pKey; Count() when there is none.
  std::size_t UpperBound(double pKey) const;
  // The smallest and largest value of the points pFirst .. pEnd - 1; pFirst < pEnd <= Count().
  void MinMax(std::size_t pFirst, std::size_t pEnd, double& pMin, double& pMax) const;
  // Asks the processor to fetch what LowerBound and MinMax read for a range ending near pIndex,
  // of the points and the lowest pLevels levels. Drawing reads a few scattered cache lines per
  // pixel column from a log of hundreds of megabytes; fetched a few columns ahead, they arrive
  // while the columns before are drawn.
  void Prefetch(std::size_t pIndex, std::size_t pLevels) const;

  // Bytes held, capacity included; for the memory benchmark.
  std::size_t BytesUsed() const;

private:
  // Key and value side by side: a search for a pixel boundary and the values read beside it
  // share their cache lines.
  struct tPoint {
    double Key;
    double Value;
  };
  struct tSpan {
    double Min;
    double Max;
  };
  using tLevel = tChunkedArray<tSpan, 1024>;
  void Summarise();

  tChunkedArray<tPoint, 2048> mPoints;
  // mLevels[0] is level 1: its entry i summarises points i * Fanout .. (i + 1) * Fanout - 1.
  // Only complete blocks have an entry.
  std::vector<tLevel> mLevels;
  // Kept here rather than read back from the points: a tick then touches no memory of the curve
  // but where it writes, which between two ticks may have left the caches.
  double mMin = 0;
  double mMax = 0;
  double mLastKey = 0;
  std::uint64_t mGeneration = 0;
};
