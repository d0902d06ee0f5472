#pragma once
#include <cstddef>

namespace xml {

// An inclusive range of UTF-16 code units.
struct TCharRange {
  char16_t first;
  char16_t last;
};

extern const TCharRange kBaseCharRanges[];
extern const std::size_t kBaseCharRangesCount;
extern const TCharRange kIdeographicRanges[];
extern const std::size_t kIdeographicRangesCount;
extern const TCharRange kCombiningCharRanges[];
extern const std::size_t kCombiningCharRangesCount;
extern const TCharRange kDigitRanges[];
extern const std::size_t kDigitRangesCount;
extern const TCharRange kExtenderRanges[];
extern const std::size_t kExtenderRangesCount;

} // namespace xml
