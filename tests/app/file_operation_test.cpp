#include "app/delivery/file_operation.h"

#include <gtest/gtest.h>

#include "platform/scripted_dialogs.h"
#include "send_samples.h"
#include "support/small_disk.h"
#include "support/temp_dir.h"

namespace app {
namespace {

class FileOperationTest : public ::testing::Test {
 protected:
  FileOperationTest() {
    auto scripted = std::make_unique<platform::ScriptedDialogs>();
    dialogs = scripted.get();
    previous = platform::Dialogs::Install(std::move(scripted));
    copy.ProgressTitle = "copy container to backup folder";
    copy.FilesFrom = {(dir / "x.cnt").string()};
    copy.FilesTo = {(dir / "backup/x.cnt").string()};
    test::WriteFile(dir / "x.cnt", "new container");
    std::filesystem::create_directories(dir / "backup");
  }
  ~FileOperationTest() override { platform::Dialogs::Install(std::move(previous)); }

  test::TempDir dir;
  platform::ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<platform::Dialogs> previous;
  TFileOperation copy;
};

TEST_F(FileOperationTest, CopiesTheFileToItsDestination) {
  EXPECT_TRUE(copy.Execute());
  EXPECT_EQ(test::ReadFile(dir / "backup/x.cnt"), "new container");
  EXPECT_EQ(test::ReadFile(dir / "x.cnt"), "new container");
  EXPECT_TRUE(dialogs->shown.empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "backup/x.cnt.parcelo-copy"));
}

TEST_F(FileOperationTest, AsksBeforeReplacingAndKeepsTheOldCopyOnNo) {
  test::WriteFile(dir / "backup/x.cnt", "old container");
  dialogs->answers = {false};
  EXPECT_FALSE(copy.Execute());
  EXPECT_TRUE(copy.OperationAborted);
  ASSERT_EQ(dialogs->shown.size(), 1u);
  EXPECT_EQ(dialogs->shown[0].kind, platform::ScriptedDialogs::Shown::kQuestion);
  EXPECT_EQ(dialogs->shown[0].caption, "copy container to backup folder");
  EXPECT_EQ(test::ReadFile(dir / "backup/x.cnt"), "old container");

  dialogs->answers = {true};
  EXPECT_TRUE(copy.Execute());
  EXPECT_EQ(test::ReadFile(dir / "backup/x.cnt"), "new container");
}

TEST_F(FileOperationTest, ADestinationFolderTakesTheSourceName) {
  copy.FilesTo = {(dir / "backup").string()};
  EXPECT_TRUE(copy.Execute());
  EXPECT_EQ(test::ReadFile(dir / "backup/x.cnt"), "new container");
}

TEST_F(FileOperationTest, AMissingSourceIsShownAndReportedAsFailure) {
  copy.FilesFrom = {(dir / "gone.cnt").string()};
  EXPECT_FALSE(copy.Execute());
  ASSERT_EQ(dialogs->shown.size(), 1u);
  EXPECT_EQ(dialogs->shown[0].icon, platform::MessageIcon::kError);
  EXPECT_FALSE(std::filesystem::exists(dir / "backup/gone.cnt"));
}

// The copy is written under a name of its own: a disk too full for it keeps
// the old copy whole.
TEST_F(FileOperationTest, AFailedCopyLeavesTheOldBackupWhole) {
  test::SmallDisk disk(dir / "backup", 64);
  if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
  test::WriteFile(dir / "backup/x.cnt", "old container");
  test::WriteFile(dir / "x.cnt", std::string(200 << 10, 'n'));
  copy.Flags = {fofNoConfirmation};
  EXPECT_FALSE(copy.Execute());
  EXPECT_TRUE(copy.LastError.ends_with("No space left on device")) << copy.LastError;
  EXPECT_EQ(test::ReadFile(dir / "backup/x.cnt"), "old container");
  EXPECT_EQ(test::FilesIn(dir / "backup"), std::vector<std::string>{"x.cnt"});
}

TEST_F(FileOperationTest, NoConfirmationReplacesWithoutAsking) {
  test::WriteFile(dir / "backup/x.cnt", "old container");
  copy.Flags = {fofNoConfirmation};
  EXPECT_TRUE(copy.Execute());
  EXPECT_TRUE(dialogs->shown.empty());
  EXPECT_EQ(test::ReadFile(dir / "backup/x.cnt"), "new container");
}

TEST_F(FileOperationTest, RenameOnCollisionKeepsBoth) {
  test::WriteFile(dir / "backup/x.cnt", "old container");
  copy.Flags = {fofRenameOnCollision};
  EXPECT_TRUE(copy.Execute());
  EXPECT_EQ(test::ReadFile(dir / "backup/x.cnt"), "old container");
  EXPECT_EQ(test::ReadFile(dir / "backup/x (2).cnt"), "new container");
}

TEST_F(FileOperationTest, MoveAndDeleteDoWhatTheySay) {
  copy.Operation = foMove;
  EXPECT_TRUE(copy.Execute());
  EXPECT_FALSE(std::filesystem::exists(dir / "x.cnt"));
  EXPECT_EQ(test::ReadFile(dir / "backup/x.cnt"), "new container");
  copy.Operation = foDelete;
  copy.FilesFrom = {(dir / "backup/x.cnt").string()};
  EXPECT_TRUE(copy.Execute());
  EXPECT_FALSE(std::filesystem::exists(dir / "backup/x.cnt"));
}

}  // namespace
}  // namespace app
