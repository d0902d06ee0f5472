#include "app/delivery/file_operation.h"

#include <gtest/gtest.h>

#include "platform/scripted_dialogs.h"
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

TEST_F(FileOperationTest, AFailedCopyLeavesTheOldBackupWhole) {
  test::WriteFile(dir / "backup/x.cnt", "old container");
  // The temporary copy cannot be made: a folder stands in its place.
  std::filesystem::create_directories(dir / "backup/x.cnt.parcelo-copy");
  EXPECT_FALSE(copy.Execute());
  EXPECT_EQ(test::ReadFile(dir / "backup/x.cnt"), "old container");
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
