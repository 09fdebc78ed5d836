#pragma once
// A growing array kept in fixed-size chunks: appending never moves or copies what is stored,
// and memory grows one chunk at a time instead of doubling, so a log of tens of millions of
// values neither needs twice its size while growing nor stalls a tick with a large copy.
// Once the array passes a quarter megabyte, further chunks are carved from huge-page blocks
// (tHugePageBlock); a short log keeps small allocations.
#include "logger/HugePageBlock.h"
#include <array>
#include <cstddef>
#include <memory>
#include <type_traits>
#include <vector>

template <class T, std::size_t cChunkSize = 4096> class tChunkedArray {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                "chunks carved from raw blocks hold plain values");

public:
  std::size_t Size() const { return mSize; }
  bool Empty() const { return mSize == 0; }
  const T& operator[](std::size_t pIndex) const {
    return mChunks[pIndex / cChunkSize][pIndex % cChunkSize];
  }
  T& operator[](std::size_t pIndex) { return mChunks[pIndex / cChunkSize][pIndex % cChunkSize]; }
  const T& Back() const { return (*this)[mSize - 1]; }

  void PushBack(const T& pValue) {
    if (mSize == mChunks.size() * cChunkSize) AddChunk();
    (*this)[mSize] = pValue;
    ++mSize;
  }
  void Clear() {
    mChunks = decltype(mChunks)();
    mSmallChunks = decltype(mSmallChunks)();
    mBlocks = decltype(mBlocks)();
    mBlockChunks = cChunksPerBlock;
    mSize = 0;
  }
  // Bytes held, capacity included.
  std::size_t BytesUsed() const {
    return mSmallChunks.size() * sizeof(tChunk) + mBlocks.size() * tHugePageBlock::Bytes +
           mChunks.capacity() * sizeof(T*) + mSmallChunks.capacity() * sizeof(mSmallChunks[0]) +
           mBlocks.capacity() * sizeof(tHugePageBlock);
  }

private:
  using tChunk = std::array<T, cChunkSize>;
  static constexpr std::size_t cChunksPerBlock = tHugePageBlock::Bytes / sizeof(tChunk);
  // Up to this size an array takes small allocations: a block of huge pages is 2 MiB resident
  // as soon as it is touched.
  static constexpr std::size_t cSmallBytes = std::size_t(256) << 10;
  static_assert(cChunksPerBlock >= 1);

  void AddChunk() {
    if (mChunks.size() * sizeof(tChunk) >= cSmallBytes) {
      if (mBlockChunks == cChunksPerBlock) {
        tHugePageBlock block;
        if (block.Data()) {
          mBlocks.push_back(std::move(block));
          mBlockChunks = 0;
        }
      }
      if (mBlockChunks < cChunksPerBlock) {
        mChunks.push_back(static_cast<T*>(mBlocks.back().Data()) + mBlockChunks * cChunkSize);
        ++mBlockChunks;
        return;
      }
    }
    mSmallChunks.push_back(std::make_unique_for_overwrite<tChunk>());
    mChunks.push_back(mSmallChunks.back()->data());
  }

  std::vector<T*> mChunks;
  std::vector<std::unique_ptr<tChunk>> mSmallChunks;
  std::vector<tHugePageBlock> mBlocks;
  // Chunks taken from the last block; a full block (or none yet) asks for the next.
  std::size_t mBlockChunks = cChunksPerBlock;
  std::size_t mSize = 0;
};
