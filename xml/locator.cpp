#include "xml/locator.h"

#include <algorithm>

#include "xml/input_source.h"

namespace xml {

TLocator::TLocator(const TInputSource& source) : source_(source) {}

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

} // namespace xml
