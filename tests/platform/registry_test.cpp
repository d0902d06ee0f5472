#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace platform {
namespace {

constexpr const char* kKey = "\\Software\\Korvath\\Parcelo";

class RegistryTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::filesystem::path file = dir / "Korvath/Parcelo.reg";
};

TEST_F(RegistryTest, StringsAndIntegersSurviveARoundTrip) {
  {
    TRegistry registry(file);
    ASSERT_TRUE(registry.OpenKey(kKey, true));
    registry.WriteString("BackupFolder", "C:\\backup \"old\"");
    registry.WriteInteger("Backup", 7);
    registry.WriteBool("SendEMail", false);
    registry.WriteString("Empty", "");
  }
  TRegistry registry(file);
  ASSERT_TRUE(registry.OpenKey(kKey, false));
  EXPECT_EQ(registry.ReadString("BackupFolder"), "C:\\backup \"old\"");
  EXPECT_EQ(registry.ReadInteger("Backup"), 7);
  EXPECT_TRUE(registry.ReadBool("Backup"));
  EXPECT_FALSE(registry.ReadBool("SendEMail"));
  EXPECT_EQ(registry.ReadString("Empty"), "");
  EXPECT_FALSE(registry.ValueExists("LastDir"));
}

TEST_F(RegistryTest, TheFileIsAWindowsRegExport) {
  TRegistry registry(file);
  ASSERT_TRUE(registry.OpenKey(kKey, true));
  registry.WriteString("ReadmeDate", "00.00.0000");
  registry.WriteInteger("Backup", 1);
  EXPECT_EQ(test::ReadFile(file),
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_CURRENT_USER\\Software\\Korvath\\Parcelo]\n"
            "\"ReadmeDate\"=\"00.00.0000\"\n"
            "\"Backup\"=dword:00000001\n\n");
}

TEST_F(RegistryTest, AMissingKeyIsCreatedOnlyWhenAllowed) {
  TRegistry registry(file);
  EXPECT_FALSE(registry.OpenKey(kKey, false));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(registry.OpenKey(kKey, true));
  EXPECT_NE(test::ReadFile(file).find("[HKEY_CURRENT_USER\\Software\\Korvath\\Parcelo]"), std::string::npos);
}

TEST_F(RegistryTest, ReadingAValueOfTheWrongTypeRaises) {
  TRegistry registry(file);
  ASSERT_TRUE(registry.OpenKey(kKey, true));
  registry.WriteString("Backup", "yes");
  registry.WriteInteger("LastDir", 3);
  try {
    registry.ReadBool("Backup");
    FAIL() << "no exception";
  } catch (const ERegistryException& error) {
    EXPECT_STREQ(error.what(), "Invalid data type for 'Backup'");
  }
  EXPECT_THROW(registry.ReadString("LastDir"), ERegistryException);
  EXPECT_THROW(registry.ReadString("Missing"), ERegistryException);
}

TEST_F(RegistryTest, ValuesOfOtherTypesAndOtherKeysSurviveWrites) {
  test::WriteFile(file,
                  "Windows Registry Editor Version 5.00\r\n\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
                  "\"Blob\"=hex:01,02,\\\r\n  03\r\n"
                  "@=\"default\"\r\n");
  TRegistry registry(file);
  ASSERT_TRUE(registry.OpenKey(kKey, true));
  registry.WriteString("LastDir", "/data/");
  const std::string text = test::ReadFile(file);
  EXPECT_NE(text.find("\"Blob\"=hex:01,02,  03"), std::string::npos);
  EXPECT_NE(text.find("@=\"default\""), std::string::npos);
  EXPECT_NE(text.find("\"LastDir\"=\"/data/\""), std::string::npos);
}

TEST_F(RegistryTest, ACorruptFileCannotBeOpenedAndIsLeftAlone) {
  const std::string corrupt = "this is not a settings file\n";
  test::WriteFile(file, corrupt);
  TRegistry registry(file);
  EXPECT_FALSE(registry.OpenKey(kKey, true));
  EXPECT_THROW(registry.WriteString("LastDir", "x"), ERegistryException);
  EXPECT_EQ(test::ReadFile(file), corrupt);
}

TEST_F(RegistryTest, AnUnwritableStoreRaisesOnWrite) {
  TRegistry registry(file);
  ASSERT_TRUE(registry.OpenKey(kKey, true));
  // A file where the settings folder was: nothing can be written there, not even by root.
  std::filesystem::remove_all(file.parent_path());
  test::WriteFile(file.parent_path(), "");
  try {
    registry.WriteString("LastDir", "x");
    FAIL() << "no exception";
  } catch (const ERegistryException& error) {
    EXPECT_STREQ(error.what(), "Failed to set data for 'LastDir'");
  }
}

TEST_F(RegistryTest, TwoProcessesWritingDifferentValuesLoseNeither) {
  {
    TRegistry registry(file);
    ASSERT_TRUE(registry.OpenKey(kKey, true));
  }
  constexpr int kWrites = 60;
  pid_t children[2];
  for (int child = 0; child < 2; ++child) {
    children[child] = fork();
    ASSERT_GE(children[child], 0);
    if (children[child] == 0) {
      TRegistry registry(file);
      if (!registry.OpenKey(kKey, false)) _exit(2);
      for (int i = 0; i < kWrites; ++i)
        registry.WriteInteger("P" + std::to_string(child) + "_" + std::to_string(i), i);
      _exit(0);
    }
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  TRegistry registry(file);
  ASSERT_TRUE(registry.OpenKey(kKey, false));
  for (int child = 0; child < 2; ++child)
    for (int i = 0; i < kWrites; ++i)
      EXPECT_EQ(registry.ReadInteger("P" + std::to_string(child) + "_" + std::to_string(i)), i);
}

TEST(RegistryDefaultFile, FollowsXdgConfigHome) {
  setenv("XDG_CONFIG_HOME", "/tmp/some-config", 1);
  EXPECT_EQ(TRegistry::DefaultFile(), "/tmp/some-config/Korvath/Parcelo.reg");
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/home/eng", 1);
  EXPECT_EQ(TRegistry::DefaultFile(), "/home/eng/.config/Korvath/Parcelo.reg");
}

}  // namespace
}  // namespace platform
