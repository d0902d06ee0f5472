#include "app/container/container_text.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace app {
namespace {

// The lines of `bytes` as read with a buffer of `size` bytes.
std::vector<std::string> Lines(const std::string& bytes, std::size_t size) {
  test::TempDir dir;
  test::WriteFile(dir / "c", bytes);
  const int fd = open((dir / "c").c_str(), O_RDONLY);
  ContainerText text(fd, size);
  std::vector<std::string> lines;
  do {
    std::string line;
    text.ReadLine([&](std::string_view piece) { line += piece; });
    lines.push_back(line);
  } while (!text.AtEnd());
  close(fd);
  return lines;
}

TEST(ContainerText, LineEndsAreFoundAcrossBufferBoundaries) {
  const std::string text = "ab\r\ncd\re\nf\r\n\r\ng";
  const std::vector<std::string> expected{"ab", "cd", "e\nf", "", "g"};
  for (std::size_t size : {1, 2, 3, 4, 5, 64}) EXPECT_EQ(Lines(text, size), expected) << "buffer " << size;
}

TEST(ContainerText, AFinalLineEndAddsNoEmptyLine) {
  EXPECT_EQ(Lines("a\r\n", 2), std::vector<std::string>{"a"});
  EXPECT_EQ(Lines("", 2), std::vector<std::string>{""});
}

TEST(ContainerText, CtrlZStopsTheTextInAnyBuffer) {
  for (std::size_t size : {1, 3, 64}) EXPECT_EQ(Lines("a\r\nb\x1A\r\nc", size), (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace app
