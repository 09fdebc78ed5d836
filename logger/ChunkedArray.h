#pragma once
// A growing array kept in fixed-size chunks: appending never moves or copies what is stored,
// and memory grows one chunk at a time instead of doubling, so a log of tens of millions of
// values neither needs twice its size while growing nor stalls a tick with a large copy.
#include <array>
#include <cstddef>
#include <memory>
#include <vector>

template <class T, std::size_t cChunkSize = 4096> class tChunkedArray {
public:
  std::size_t Size() const { return mSize; }
  bool Empty() const { return mSize == 0; }
  const T& operator[](std::size_t pIndex) const {
    return (*mChunks[pIndex / cChunkSize])[pIndex % cChunkSize];
  }
  T& operator[](std::size_t pIndex) { return (*mChunks[pIndex / cChunkSize])[pIndex % cChunkSize]; }
  const T& Back() const { return (*this)[mSize - 1]; }

  void PushBack(const T& pValue) {
    if (mSize == mChunks.size() * cChunkSize) mChunks.push_back(std::make_unique<tChunk>());
    (*this)[mSize] = pValue;
    ++mSize;
  }
  void Clear() {
    mChunks.clear();
    mChunks.shrink_to_fit();
    mSize = 0;
  }
  // Heap bytes held, capacity included.
  std::size_t BytesUsed() const {
    return mChunks.size() * sizeof(tChunk) + mChunks.capacity() * sizeof(mChunks[0]);
  }

private:
  using tChunk = std::array<T, cChunkSize>;
  std::vector<std::unique_ptr<tChunk>> mChunks;
  std::size_t mSize = 0;
};
