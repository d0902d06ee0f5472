#include "xml/locator.h"

#include <algorithm>

namespace xml {

TLocator::TLocator(const TInputSource& source) : source_(source)
{
  // Elsewhere than at the very start, count on from the unit before the
  // origin; at the start keep line 0 until a unit is read.
  TTextPosition origin = source.origin();
  if (origin.line != 1 || origin.column != 1) {
    line_ = origin.line;
    column_ = origin.column - 1;
    lastWasLf_ = false;
  }
}

const std::u16string& TLocator::publicId() const { return source_.publicId(); }

const std::u16string& TLocator::systemId() const { return source_.systemId(); }

void TLocator::advance(std::u16string_view run)
{
  if (run.empty())
    return;
  advance(run.front());
  const char16_t* p = run.data() + 1;
  const char16_t* end = run.data() + run.size();
  while (p != end) {
    const char16_t* lineFeed = std::find(p, end, u'\n');
    const char16_t* stepEnd = lineFeed == end ? end : lineFeed + 1;
    std::uint32_t count = static_cast<std::uint32_t>(stepEnd - p);
    if (lastWasLf_) {
      ++line_;
      column_ = count;
    } else {
      column_ += count;
    }
    lastWasLf_ = lineFeed != end;
    p = stepEnd;
  }
}

TTextPosition positionAfter(TTextPosition start, std::u16string_view text)
{
  for (char16_t unit : text) {
    if (unit == u'\n') {
      ++start.line;
      start.column = 1;
    } else {
      ++start.column;
    }
  }
  return start;
}

} // namespace xml
