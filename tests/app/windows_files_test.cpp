// What Windows does otherwise than Linux with the workflow's files: drive
// letters and UNC paths, UTF-8 names, renames over an existing file, binary
// bytes, locks that must not keep readers out.
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/delivery/container_lock.h"
#include "app/file_system.h"
#include "app/local_files.h"
#include "app/path_text.h"
#include "app/site/data_paths.h"
#include "app/workflow_errors.h"
#include "support/temp_dir.h"

namespace app {
namespace {

TEST(WindowsPaths, DriveLettersAndUncPathsKeepTheirRootAndShowBackslashes) {
  const struct {
    const char* executableFolder;
    const char* appDir;
  } cases[] = {
      {"C:\\Parcelo\\bin", "C:\\Parcelo"},
      {"D:/Programme/Parcelo/bin/", "D:\\Programme\\Parcelo"},
      {"\\\\server\\share\\Parcelo\\bin", "\\\\server\\share\\Parcelo"},
  };
  for (const auto& c : cases) EXPECT_EQ(ApplicationFolder(PathOf(c.executableFolder)), c.appDir) << c.executableFolder;
  EXPECT_EQ(JoinPath("\\\\server\\share\\backup", "ParceloLog.txt"), "\\\\server\\share\\backup\\ParceloLog.txt");
  EXPECT_EQ(PathText(PathOf("D:/containers/a.cnt")), "D:\\containers\\a.cnt");
  EXPECT_EQ(FullPath("\\\\server\\share\\in\\..\\out/a.cnt"), "\\\\server\\share\\out\\a.cnt");
}

TEST(WindowsFiles, UtfEightNamesReachTheFileSystemAsTheyAre) {
  test::TempDir dir;
  const std::string name = "Pr\xC3\xBC" "fstand-\xE5\x90\x8D.cnt";  // "Prüfstand-名.cnt"
  const std::string path = JoinPath(PathText(dir.Path()), name);
  Descriptor file(OpenNewFile(path));
  ASSERT_GE(file.get(), 0);
  EXPECT_TRUE(std::filesystem::exists(dir.Path() / L"Pr\u00FCfstand-\u540D.cnt"));
  EXPECT_TRUE(NameExists(JoinPath(PathText(dir.Path()), "Pr*.cnt")));
}

// A prepared copy takes the container's name while it is still open, and
// every byte arrives as written: CR LF stays, Ctrl-Z ends nothing.
TEST(WindowsFiles, AnOpenCopyReplacesTheFileUnderItsNameByteForByte) {
  test::TempDir dir;
  const std::string target = PathText(dir.Write("c.cnt", "old"));
  const std::string bytes = "line\r\n\x1Arest\n";
  TemporaryFile copy(PathOf(target), "prepared");
  WriteAll(copy.fd(), bytes.data(), bytes.size(), "Cannot write", copy.path());
  copy.Finish();
  ASSERT_TRUE(RenameReplacing(copy.path(), target));
  copy.Keep();
  EXPECT_EQ(test::ReadFile(PathOf(target)), bytes);
  const std::string other = PathText(dir.Write("d.cnt", "other"));
  EXPECT_FALSE(RenameWithoutReplacing(other, target));
  EXPECT_EQ(test::ReadFile(PathOf(target)), bytes);
}

TEST(WindowsFiles, ALockedContainerStaysReadableAndASecondRunWaits) {
  test::TempDir dir;
  const std::string container = PathText(dir.Write("c.cnt", "content"));
  {
    const ContainerLock lock(container, std::chrono::milliseconds(0), [] {}, [] {});
    EXPECT_THROW(ContainerLock(container, std::chrono::milliseconds(20), [] {}, [] {}), EContainerBusy);
    Descriptor reader(OpenToRead(container));
    char read[7];
    ASSERT_EQ(ReadAt(reader.get(), read, sizeof read, 0), sizeof read);
    EXPECT_EQ(std::string(read, sizeof read), "content");
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / ".c.cnt.parcelo-lock"));
}

}  // namespace
}  // namespace app
