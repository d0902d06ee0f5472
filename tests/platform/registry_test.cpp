#include "platform/registry.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <regex>
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
    EXPECT_THROW(registry.WriteString("LastDir", "/a\nb"), ERegistryException);
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
    EXPECT_EQ(error.what(), "Invalid data type for 'Backup' in " + file.string());
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

std::string Utf16Le(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  return bytes;
}

std::vector<std::filesystem::path> SetAsideFiles(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> found;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().filename().string().starts_with("Parcelo.reg.damaged-")) found.push_back(entry.path());
  std::sort(found.begin(), found.end());
  return found;
}

TEST_F(RegistryTest, DamagedFilesAreSetAsideAndValidOnesRead) {
  const std::string ours = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Korvath\\Parcelo]\n"
                           "\"Backup\"=dword:00000000\n\"LastDir\"=\"/home/j\xC3\xB6rg/\"\n\n";
  const struct {
    const char* what;
    std::string bytes;
    std::optional<std::string> lastDir;  // none: damaged
  } cases[] = {
      {"written by the store", ours, "/home/j\xC3\xB6rg/"},
      {"regedit, UTF-16LE",
       Utf16Le(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Korvath\\Parcelo]\r\n"
               u"\"Path\"=hex(2):25,00,54,00,\\\r\n  4d,00,00,00\r\n\"Backup\"=dword:00000000\r\n"
               u"\"LastDir\"=\"C:\\\\Users\\\\J\u00f6rg \U0001F4E6\"\r\n\r\n"),
       "C:\\Users\\J\xC3\xB6rg \xF0\x9F\x93\xA6"},
      {"REGEDIT4, ANSI", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Korvath\\Parcelo]\r\n\"LastDir\"=\"J\xF6rg\"\r\n",
       "J\xC3\xB6rg"},
      {"cut in a string", ours.substr(0, ours.size() - 5), {}},
      {"cut in a continued hex value", ours + "\"Blob\"=hex:01,02,\\\n", {}},
      {"junk appended", ours + test::PatternBytes(64), {}},
      {"random bytes", test::PatternBytes(256), {}},
      {"wrong header", "Windows Registry Editor Version 4.00\n\n[HKEY_CURRENT_USER\\Software\\Korvath\\Parcelo]\n", {}},
      {"UTF-16LE lone surrogate", Utf16Le(u"Windows Registry Editor Version 5.00\r\n;\xD83D\r\n"), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(file.parent_path());
    test::WriteFile(file, c.bytes);
    TRegistry registry(file);
    ASSERT_TRUE(registry.OpenKey(kKey, true));
    if (c.lastDir) {
      EXPECT_EQ(registry.ReadString("LastDir"), *c.lastDir);
      EXPECT_EQ(test::ReadFile(file), c.bytes) << "a valid file was rewritten";
      continue;
    }
    ASSERT_TRUE(registry.Damage() && registry.Damage()->setAside);
    EXPECT_EQ(test::ReadFile(*registry.Damage()->setAside), c.bytes);
    registry.WriteBool("Backup", true);
    TRegistry again(file);
    ASSERT_TRUE(again.OpenKey(kKey, false) && !again.Damage());
    EXPECT_TRUE(again.ReadBool("Backup"));
  }
}

TEST_F(RegistryTest, ADamagedFileNeverTakesTheNameOfAnEarlierOne) {
  for (const char* junk : {"junk 1", "junk 2", "junk 3"}) {
    test::WriteFile(file, junk);
    ASSERT_TRUE(TRegistry(file).OpenKey(kKey, true));
  }
  const auto aside = SetAsideFiles(file.parent_path());
  ASSERT_EQ(aside.size(), 3u);
  EXPECT_TRUE(std::regex_match(aside[0].filename().string(), std::regex(R"(Parcelo\.reg\.damaged-\d{4}-\d\d-\d\d)")));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(test::ReadFile(aside[i]), "junk " + std::to_string(i + 1));
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
