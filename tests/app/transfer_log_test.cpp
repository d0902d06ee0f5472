#include "app/site/transfer_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "send_samples.h"
#include "support/temp_dir.h"

namespace app {
namespace {

TransferLog MakeLog() {
  return TransferLog([] { return std::string("08.12.2026 12:10:04"); });
}

TEST(TransferLog, ANewFileGetsTheHeaderOnlyWhenAsked) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "a");
  std::filesystem::create_directories(dir / "b");
  TransferLog log = MakeLog();
  log.Open((dir / "a").string(), TransferLog::Header::kNone);
  log.WriteLine("first");
  log.Open((dir / "b").string(), TransferLog::Header::kWhenNew);
  log.WriteLine("second");
  log.Close();
  EXPECT_EQ(test::ReadFile(dir / "a/ParceloLog.txt"), "first\r\n");
  EXPECT_EQ(test::ReadFile(dir / "b/ParceloLog.txt"),
            "LOG - file for Parcelo Version 3.0\r\nFile gereate at 08.12.2026 12:10:04\r\nsecond\r\n");
}

TEST(TransferLog, ReopeningAnExistingFileAppendsWithoutHeader) {
  test::TempDir dir;
  TransferLog log = MakeLog();
  log.Open(dir.Path().string(), TransferLog::Header::kWhenNew);
  log.WriteLine("one");
  log.Open(dir.Path().string(), TransferLog::Header::kWhenNew);
  log.WriteLine("two");
  EXPECT_EQ(test::ReadFile(dir / "ParceloLog.txt"),
            "LOG - file for Parcelo Version 3.0\r\nFile gereate at 08.12.2026 12:10:04\r\none\r\ntwo\r\n");
}

TEST(TransferLog, EveryLineIsOnDiskAsSoonAsItIsWritten) {
  test::TempDir dir;
  TransferLog log = MakeLog();
  log.Open(dir.Path().string(), TransferLog::Header::kNone);
  log.WriteLine("target: Werk 1");
  EXPECT_EQ(test::ReadFile(dir / "ParceloLog.txt"), "target: Werk 1\r\n");
}

// Values from a target list, a file name or a server's reply: one record
// stays one line.
TEST(TransferLog, ControlCharactersInALineAreWrittenAsEscapes) {
  test::TempDir dir;
  TransferLog log = MakeLog();
  log.Open(dir.Path().string(), TransferLog::Header::kNone);
  log.WriteLine("target path: /in\r\nconnect: forged");
  log.WriteLine(test::Bytes("target: A\nB\x1B[2J\0C\x7F\tD \xE4\\r"));
  EXPECT_EQ(test::ReadFile(dir / "ParceloLog.txt"),
            "target path: /in\\r\\nconnect: forged\r\ntarget: A\\nB\\x1B[2J\\x00C\\x7F\tD \xE4\\r\r\n");
}

TEST(TransferLog, AFolderThatCannotTakeTheLogRaises) {
  test::TempDir dir;
  test::WriteFile(dir / "file", "");
  TransferLog log = MakeLog();
  EXPECT_THROW(log.Open((dir / "missing").string(), TransferLog::Header::kNone), EInOutError);
  EXPECT_THROW(log.Open((dir / "file").string(), TransferLog::Header::kNone), EInOutError);
  EXPECT_THROW(log.WriteLine("x"), EInOutError);
}

// In a backup folder others may write, what someone put under the log's
// name is never written through: a link, a pipe.
TEST(TransferLog, WhatIsPlantedUnderItsNameIsNeverWrittenThrough) {
  test::TempDir dir;
  const auto victim = dir.Write("victim", "not yours");
  const std::function<void(const std::filesystem::path&)> plants[] = {
      [&](const auto& log) { std::filesystem::create_symlink(victim, log); },
      [&](const auto& log) { mkfifo(log.c_str(), 0666); },
  };
  for (const auto& plant : plants) {
    std::filesystem::remove(dir / "ParceloLog.txt");
    plant(dir / "ParceloLog.txt");
    TransferLog log = MakeLog();
    EXPECT_THROW(log.Open(dir.Path().string(), TransferLog::Header::kWhenNew), EInOutError);
    EXPECT_FALSE(log.IsOpen());
  }
  EXPECT_EQ(test::ReadFile(victim), "not yours");
}

}  // namespace
}  // namespace app
