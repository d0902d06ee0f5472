#include "xml/dom_arena.h"

#include <algorithm>
#include <cstdint>

namespace xml {

namespace {
constexpr std::size_t kFirstBlockSize = 4 * 1024;
constexpr std::size_t kLargestBlockSize = 1024 * 1024;
} // namespace

void* TDomArena::allocate(std::size_t bytes, std::size_t alignment)
{
  auto aligned = [alignment](std::byte* p) {
    std::uintptr_t value = reinterpret_cast<std::uintptr_t>(p);
    return reinterpret_cast<std::byte*>((value + alignment - 1) & ~(std::uintptr_t(alignment) - 1));
  };
  if (cursor_ != nullptr) {
    std::byte* start = aligned(cursor_);
    if (start <= limit_ && std::size_t(limit_ - start) >= bytes) {
      cursor_ = start + bytes;
      return start;
    }
  }
  std::size_t needed = bytes + alignment;
  if (needed > kLargestBlockSize / 4) {
    // A large string gets a block of its own; the current block stays open.
    blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(needed));
    reserved_ += needed;
    return aligned(blocks_.back().get());
  }
  nextBlockSize_ = nextBlockSize_ == 0 ? kFirstBlockSize : std::min(nextBlockSize_ * 2, kLargestBlockSize);
  std::size_t size = std::max(nextBlockSize_, needed);
  blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(size));
  reserved_ += size;
  cursor_ = blocks_.back().get();
  limit_ = cursor_ + size;
  std::byte* start = aligned(cursor_);
  cursor_ = start + bytes;
  return start;
}

void TDomArena::release()
{
  blocks_.clear();
  cursor_ = limit_ = nullptr;
  nextBlockSize_ = 0;
  reserved_ = 0;
}

void TDomArena::adopt(TDomArena& other)
{
  for (auto& block : other.blocks_)
    blocks_.push_back(std::move(block));
  reserved_ += other.reserved_;
  other.blocks_.clear();
  other.cursor_ = other.limit_ = nullptr;
  other.nextBlockSize_ = 0;
  other.reserved_ = 0;
}

} // namespace xml
