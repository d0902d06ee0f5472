#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace xml {

// The growing buffer a reader collects one token in. Starts at 64 units and
// grows by a quarter of its capacity. Clearing keeps a moderate capacity (so
// a stream of mid-sized tokens does not reallocate for each) and gives back
// anything larger.
class TTokenBuffer {
public:
  TTokenBuffer() { reserve(kInitialCapacity); }

  void append(char16_t unit)
  {
    if (size_ == capacity_)
      grow(size_ + 1);
    data_[size_++] = unit;
  }
  void append(std::u16string_view units)
  {
    if (size_ + units.size() > capacity_)
      grow(size_ + units.size());
    units.copy(data_.get() + size_, units.size());
    size_ += units.size();
  }
  std::u16string_view content() const { return {data_.get(), size_}; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  char16_t operator[](std::size_t i) const { return data_[i]; }
  void clear()
  {
    size_ = 0;
    if (capacity_ > kRetainedCapacity)
      reserve(kInitialCapacity);
  }

private:
  static constexpr std::size_t kInitialCapacity = 64;
  static constexpr std::size_t kRetainedCapacity = 64 * 1024;

  void grow(std::size_t needed)
  {
    std::size_t capacity = capacity_;
    while (capacity < needed)
      capacity += capacity / 4;
    auto grown = std::make_unique_for_overwrite<char16_t[]>(capacity);
    std::u16string_view(data_.get(), size_).copy(grown.get(), size_);
    data_ = std::move(grown);
    capacity_ = capacity;
  }
  void reserve(std::size_t capacity)
  {
    data_ = std::make_unique_for_overwrite<char16_t[]>(capacity);
    capacity_ = capacity;
  }

  std::unique_ptr<char16_t[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

} // namespace xml
