// Replays the kept fuzzing corpus through the same checks the fuzz target
// makes, so what the fuzzer once found stays fixed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "parse_checks.h"

namespace {

TEST(FuzzCorpus, EveryKeptInputParsesOrFailsCleanly)
{
  std::filesystem::path corpus = XML_FUZZ_CORPUS_DIR;
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    std::ifstream file(entry.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(fuzz::parseAndCheck(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))
        << entry.path();
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}

} // namespace
