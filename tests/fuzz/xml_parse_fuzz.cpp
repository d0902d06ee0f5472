// libFuzzer target: any bytes through parseBuffer (and through the external
// subset reader). A parsed document must serialise, walk, free, and its
// markup must parse again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>

#include "parse_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (!fuzz::parseAndCheck(data, size))
    std::abort();
  return 0;
}
