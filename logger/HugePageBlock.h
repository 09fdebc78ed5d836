#pragma once
// One 2 MiB piece of memory, aligned so that the system may back it with a single huge page.
// A repaint of a long log reads a few cache lines per pixel column from all over hundreds of
// megabytes; with 4 KiB pages nearly every such read also misses the address translation and
// waits for a page-table walk. Where huge pages are not to be had, the piece is ordinary memory.
#include <cstddef>

class tHugePageBlock {
public:
  static constexpr std::size_t Bytes = std::size_t(2) << 20;

  tHugePageBlock();
  ~tHugePageBlock();
  tHugePageBlock(tHugePageBlock&& pOther) noexcept;
  tHugePageBlock& operator=(tHugePageBlock&& pOther) noexcept;
  tHugePageBlock(const tHugePageBlock&) = delete;
  tHugePageBlock& operator=(const tHugePageBlock&) = delete;

  // Null when the system gave no memory.
  void* Data() const { return mData; }

private:
  void* mData = nullptr;
};
