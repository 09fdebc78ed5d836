#include "logger/LogSeriesData.h"

#include <algorithm>
#include <cmath>

bool tLogSeriesData::Append(double pKey, double pValue) {
  if (!std::isfinite(pKey) || !std::isfinite(pValue)) return false;
  if (mPoints.Empty()) {
    mMin = mMax = pValue;
  } else {
    pKey = std::max(pKey, mLastKey);
    mMin = std::min(mMin, pValue);
    mMax = std::max(mMax, pValue);
  }
  mLastKey = pKey;
  mPoints.PushBack(tPoint{pKey, pValue});
  if (mPoints.Size() % Fanout == 0) Summarise();
  return true;
}

void tLogSeriesData::Summarise() {
  // The last block of points is complete: summarise it, and every block above that it completes.
  const std::size_t end = mPoints.Size();
  tSpan span{mPoints[end - Fanout].Value, mPoints[end - Fanout].Value};
  for (std::size_t i = end - Fanout + 1; i < end; ++i) {
    span.Min = std::min(span.Min, mPoints[i].Value);
    span.Max = std::max(span.Max, mPoints[i].Value);
  }
  for (std::size_t level = 0;; ++level) {
    if (level == mLevels.size()) mLevels.emplace_back();
    tLevel& entries = mLevels[level];
    entries.PushBack(span);
    const std::size_t size = entries.Size();
    if (size % Fanout != 0) return;
    span = entries[size - Fanout];
    for (std::size_t i = size - Fanout + 1; i < size; ++i) {
      span.Min = std::min(span.Min, entries[i].Min);
      span.Max = std::max(span.Max, entries[i].Max);
    }
  }
}

void tLogSeriesData::Clear() {
  mPoints.Clear();
  mLevels.clear();
  mLevels.shrink_to_fit();
  mMin = mMax = mLastKey = 0;
  ++mGeneration;
}

std::size_t tLogSeriesData::LowerBound(double pKey, std::size_t pFrom, std::size_t pNear) const {
  const std::size_t count = Count();
  if (pFrom >= count || !(mPoints[pFrom].Key < pKey)) return std::min(pFrom, count);
  // Key(below) < pKey, and Key(notBelow) is not (or notBelow is Count()).
  std::size_t below = pFrom;
  std::size_t notBelow = count;
  const std::size_t probe = std::clamp(pNear, pFrom + 1, count);
  if (probe < count && !(mPoints[probe].Key < pKey)) {
    // Back from the probe, doubling the step until a key is below pKey.
    notBelow = probe;
    for (std::size_t step = 1; notBelow - below > step; step *= 2) {
      if (mPoints[notBelow - step].Key < pKey) {
        below = notBelow - step;
        break;
      }
      notBelow -= step;
    }
  } else {
    // On from the probe (or from pFrom), doubling the step until a key is not below pKey.
    if (probe < count) below = probe;
    std::size_t step = 1;
    while (step < count - below && mPoints[below + step].Key < pKey) {
      below += step;
      step *= 2;
    }
    notBelow = std::min(below + step, count);
  }
  while (notBelow - below > 1) {
    const std::size_t middle = below + (notBelow - below) / 2;
    if (mPoints[middle].Key < pKey)
      below = middle;
    else
      notBelow = middle;
  }
  return notBelow;
}

std::size_t tLogSeriesData::UpperBound(double pKey) const {
  std::size_t low = 0;
  std::size_t high = Count();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (mPoints[middle].Key > pKey)
      high = middle;
    else
      low = middle + 1;
  }
  return low;
}

void tLogSeriesData::MinMax(std::size_t pFirst, std::size_t pEnd, double& pMin,
                            double& pMax) const {
  double low = mPoints[pFirst].Value;
  double high = low;
  auto take = [&](double pLow, double pHigh) {
    low = std::min(low, pLow);
    high = std::max(high, pHigh);
  };
  // Points up to the first and from the last block boundary, then whole blocks a level up.
  std::size_t first = pFirst;
  std::size_t end = pEnd;
  while (first < end && first % Fanout != 0) {
    take(mPoints[first].Value, mPoints[first].Value);
    ++first;
  }
  while (first < end && end % Fanout != 0) {
    --end;
    take(mPoints[end].Value, mPoints[end].Value);
  }
  first /= Fanout;
  end /= Fanout;
  // Aligned blocks of a level are whole entries of the next; the top level has fewer than
  // Fanout entries, so its range ends at a boundary only when it is used up.
  for (std::size_t level = 0; first < end; ++level) {
    const tLevel& entries = mLevels[level];
    while (first < end && first % Fanout != 0) {
      take(entries[first].Min, entries[first].Max);
      ++first;
    }
    while (first < end && end % Fanout != 0) {
      --end;
      take(entries[end].Min, entries[end].Max);
    }
    first /= Fanout;
    end /= Fanout;
  }
  pMin = low;
  pMax = high;
}

void tLogSeriesData::Prefetch(std::size_t pIndex, std::size_t pLevels) const {
  // The points around pIndex, and the block of entries around it on the levels asked.
  std::size_t index = pIndex;
  if (index >= mPoints.Size()) return;
  // A block either side too: the guess of where a boundary lies is a few points off at times.
  const std::size_t block = index & ~(Fanout - 1);
  for (std::size_t i = block > Fanout ? block - Fanout : 0;
       i < std::min(block + 2 * Fanout, mPoints.Size()); i += 4)
    __builtin_prefetch(&mPoints[i]);
  for (std::size_t level = 0; level < std::min(pLevels, mLevels.size()); ++level) {
    const tLevel& entries = mLevels[level];
    index /= Fanout;
    if (index >= entries.Size()) return;
    const tSpan* spans = &entries[index & ~(Fanout - 1)];
    __builtin_prefetch(spans);
    __builtin_prefetch(spans + Fanout - 1);
  }
}

std::size_t tLogSeriesData::BytesUsed() const {
  std::size_t bytes = mPoints.BytesUsed() + mLevels.capacity() * sizeof(tLevel);
  for (const tLevel& level : mLevels)
    bytes += level.BytesUsed();
  return bytes;
}
