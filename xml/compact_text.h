#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace xml {

class TDomArena;

// A string of UTF-16 units stored in a document's arena, one byte per unit
// when every unit is below 0x100 (most of a container's text) and two
// otherwise. It does not own its storage.
class TCompactText {
public:
  TCompactText() = default;

  static TCompactText store(TDomArena& arena, std::u16string_view units);
  // `store` of the concatenation, without building it first.
  static TCompactText concat(TDomArena& arena, const TCompactText& head, std::u16string_view tail);

  std::size_t size() const { return sizeAndWidth_ >> 1; }
  bool empty() const { return size() == 0; }
  char16_t operator[](std::size_t i) const
  {
    return wide() ? static_cast<const char16_t*>(data_)[i] : static_cast<const unsigned char*>(data_)[i];
  }
  std::u16string str() const;
  void appendTo(std::u16string& out) const;
  bool equals(std::u16string_view units) const;

private:
  TCompactText(const void* data, std::size_t size, bool wide) : data_(data), sizeAndWidth_((size << 1) | wide) {}
  bool wide() const { return (sizeAndWidth_ & 1) != 0; }

  const void* data_ = nullptr;
  std::size_t sizeAndWidth_ = 0;
};

} // namespace xml
