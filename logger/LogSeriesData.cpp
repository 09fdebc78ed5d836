#include "logger/LogSeriesData.h"

#include <algorithm>
#include <cmath>

bool tLogSeriesData::Append(double pKey, double pValue) {
  if (!std::isfinite(pKey) || !std::isfinite(pValue)) return false;
  if (!mKeys.Empty()) pKey = std::max(pKey, mKeys.Back());
  if (mValues.Empty()) {
    mMin = mMax = pValue;
  } else {
    mMin = std::min(mMin, pValue);
    mMax = std::max(mMax, pValue);
  }
  mKeys.PushBack(pKey);
  mValues.PushBack(pValue);
  if (mValues.Size() % Fanout == 0) Summarise();
  return true;
}

void tLogSeriesData::Summarise() {
  // The last block of points is complete: summarise it, and every block above that it completes.
  const std::size_t end = mValues.Size();
  tSpan span{mValues[end - Fanout], mValues[end - Fanout]};
  for (std::size_t i = end - Fanout + 1; i < end; ++i) {
    span.Min = std::min(span.Min, mValues[i]);
    span.Max = std::max(span.Max, mValues[i]);
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
  mKeys.Clear();
  mValues.Clear();
  mLevels.clear();
  mLevels.shrink_to_fit();
  mMin = mMax = 0;
}

std::size_t tLogSeriesData::LowerBound(double pKey, std::size_t pFrom) const {
  const std::size_t count = Count();
  if (pFrom >= count || !(mKeys[pFrom] < pKey)) return std::min(pFrom, count);
  // mKeys[below] < pKey throughout; double the step until a key is not below pKey.
  std::size_t below = pFrom;
  std::size_t step = 1;
  while (step < count - below && mKeys[below + step] < pKey) {
    below += step;
    step *= 2;
  }
  std::size_t notBelow = std::min(below + step, count);
  while (notBelow - below > 1) {
    const std::size_t middle = below + (notBelow - below) / 2;
    if (mKeys[middle] < pKey)
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
    if (mKeys[middle] > pKey)
      high = middle;
    else
      low = middle + 1;
  }
  return low;
}

void tLogSeriesData::MinMax(std::size_t pFirst, std::size_t pEnd, double& pMin,
                            double& pMax) const {
  double low = mValues[pFirst];
  double high = low;
  auto take = [&](double pLow, double pHigh) {
    low = std::min(low, pLow);
    high = std::max(high, pHigh);
  };
  // Points up to the first and from the last block boundary, then whole blocks a level up.
  std::size_t first = pFirst;
  std::size_t end = pEnd;
  while (first < end && first % Fanout != 0) {
    take(mValues[first], mValues[first]);
    ++first;
  }
  while (first < end && end % Fanout != 0) {
    --end;
    take(mValues[end], mValues[end]);
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

std::size_t tLogSeriesData::BytesUsed() const {
  std::size_t bytes = mKeys.BytesUsed() + mValues.BytesUsed() + mLevels.capacity() * sizeof(tLevel);
  for (const tLevel& level : mLevels)
    bytes += level.BytesUsed();
  return bytes;
}
