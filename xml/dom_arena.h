#pragma once
#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace xml {

// Bump allocator behind a document: nodes and their strings live in its
// blocks and go all at once when the document is cleared or freed. Only
// trivially destructible objects are placed here, so nothing needs running
// when the blocks go.
class TDomArena {
public:
  TDomArena() = default;
  TDomArena(const TDomArena&) = delete;
  TDomArena& operator=(const TDomArena&) = delete;

  void* allocate(std::size_t bytes, std::size_t alignment);

  template <class T, class... Args>
  T* make(Args&&... args)
  {
    static_assert(std::is_trivially_destructible_v<T>, "arena objects are never destroyed one by one");
    return new (allocate(sizeof(T), alignof(T))) T(std::forward<Args>(args)...);
  }

  // Frees every block.
  void release();
  // Takes over the blocks of another arena (which is left empty).
  void adopt(TDomArena& other);
  // Bytes held in blocks, used or not.
  std::size_t bytesReserved() const { return reserved_; }

private:
  std::vector<std::unique_ptr<std::byte[]>> blocks_;
  std::byte* cursor_ = nullptr;
  std::byte* limit_ = nullptr;
  std::size_t nextBlockSize_ = 0;
  std::size_t reserved_ = 0;
};

} // namespace xml
