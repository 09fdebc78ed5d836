#include "logger/HugePageBlock.h"

#include <cstdint>
#include <sys/mman.h>
#include <utility>

tHugePageBlock::tHugePageBlock() {
  // Twice the size, then the unaligned ends given back: mmap aligns to pages only.
  void* raw = mmap(nullptr, 2 * Bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return;
  const auto begin = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t start = (begin + Bytes - 1) & ~std::uintptr_t(Bytes - 1);
  if (start > begin) munmap(raw, start - begin);
  if (begin + 2 * Bytes > start + Bytes)
    munmap(reinterpret_cast<void*>(start + Bytes), begin + 2 * Bytes - (start + Bytes));
  mData = reinterpret_cast<void*>(start);
  // Only a request: without it (or where refused) the block still works with small pages.
  madvise(mData, Bytes, MADV_HUGEPAGE);
}

tHugePageBlock::~tHugePageBlock() {
  if (mData) munmap(mData, Bytes);
}

tHugePageBlock::tHugePageBlock(tHugePageBlock&& pOther) noexcept
    : mData(std::exchange(pOther.mData, nullptr)) {}

tHugePageBlock& tHugePageBlock::operator=(tHugePageBlock&& pOther) noexcept {
  if (this != &pOther) {
    if (mData) munmap(mData, Bytes);
    mData = std::exchange(pOther.mData, nullptr);
  }
  return *this;
}
