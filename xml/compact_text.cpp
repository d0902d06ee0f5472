#include "xml/compact_text.h"

#include <algorithm>
#include <cstring>

#include "xml/dom_arena.h"

namespace xml {

namespace {

bool fitsInBytes(std::u16string_view units)
{
  char16_t combined = 0;
  for (char16_t c : units)
    combined |= c;
  return combined < 0x100;
}

void narrowInto(unsigned char* out, std::u16string_view units)
{
  for (std::size_t i = 0; i < units.size(); ++i)
    out[i] = static_cast<unsigned char>(units[i]);
}

} // namespace

TCompactText TCompactText::store(TDomArena& arena, std::u16string_view units)
{
  if (units.empty())
    return {};
  if (fitsInBytes(units)) {
    auto* bytes = static_cast<unsigned char*>(arena.allocate(units.size(), 1));
    narrowInto(bytes, units);
    return {bytes, units.size(), false};
  }
  auto* wide = static_cast<char16_t*>(arena.allocate(units.size() * 2, alignof(char16_t)));
  std::memcpy(wide, units.data(), units.size() * 2);
  return {wide, units.size(), true};
}

TCompactText TCompactText::concat(TDomArena& arena, const TCompactText& head, std::u16string_view tail)
{
  if (head.empty())
    return store(arena, tail);
  std::size_t size = head.size() + tail.size();
  if (!head.wide() && fitsInBytes(tail)) {
    auto* bytes = static_cast<unsigned char*>(arena.allocate(size, 1));
    std::memcpy(bytes, head.data_, head.size());
    narrowInto(bytes + head.size(), tail);
    return {bytes, size, false};
  }
  auto* wide = static_cast<char16_t*>(arena.allocate(size * 2, alignof(char16_t)));
  for (std::size_t i = 0; i < head.size(); ++i)
    wide[i] = head[i];
  std::memcpy(wide + head.size(), tail.data(), tail.size() * 2);
  return {wide, size, true};
}

std::u16string TCompactText::str() const
{
  std::u16string out;
  appendTo(out);
  return out;
}

void TCompactText::appendTo(std::u16string& out) const
{
  if (wide()) {
    out.append(static_cast<const char16_t*>(data_), size());
    return;
  }
  std::size_t start = out.size();
  out.resize(start + size());
  const auto* bytes = static_cast<const unsigned char*>(data_);
  std::copy(bytes, bytes + size(), out.begin() + static_cast<std::ptrdiff_t>(start));
}

bool TCompactText::equals(std::u16string_view units) const
{
  if (units.size() != size())
    return false;
  if (wide())
    return std::memcmp(data_, units.data(), size() * 2) == 0;
  const auto* bytes = static_cast<const unsigned char*>(data_);
  return std::equal(bytes, bytes + size(), units.begin());
}

} // namespace xml
