#include <windows.h>

#include <gtest/gtest.h>

#include "platform/registry.h"

namespace platform {
namespace {

// A key of the tests' own beside the program's, removed afterwards.
constexpr char kKey[] = "\\Software\\Korvath\\ParceloTest";

class RegistryWinTest : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Korvath\\ParceloTest"); }
};

TEST_F(RegistryWinTest, ValuesReachTheRegistryAndComeBack) {
  {
    TRegistry registry;
    ASSERT_FALSE(registry.OpenKey(kKey, false));
    ASSERT_TRUE(registry.OpenKey(kKey, true));
    registry.WriteString("LastDir", "C:\\Daten\\Müller");
    registry.WriteInteger("Parallel", -7);
    registry.WriteBool("Backup", true);
  }
  // What another program (regedit) sees: a REG_SZ in UTF-16 and a REG_DWORD.
  wchar_t text[64];
  DWORD size = sizeof text;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Korvath\\ParceloTest", L"LastDir", RRF_RT_REG_SZ, nullptr,
                         text, &size), ERROR_SUCCESS);
  EXPECT_STREQ(text, L"C:\\Daten\\M\u00fcller");
  DWORD number = 0;
  size = sizeof number;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Korvath\\ParceloTest", L"Backup", RRF_RT_REG_DWORD, nullptr,
                         &number, &size), ERROR_SUCCESS);
  EXPECT_EQ(number, 1u);

  TRegistry again;
  ASSERT_TRUE(again.OpenKey(kKey, false));
  EXPECT_EQ(again.ReadString("LastDir"), "C:\\Daten\\Müller");
  EXPECT_EQ(again.ReadInteger("Parallel"), -7);
  EXPECT_TRUE(again.ReadBool("Backup"));
  EXPECT_FALSE(again.ValueExists("SendEMail"));
  EXPECT_THROW(again.ReadInteger("LastDir"), ERegistryException);
  EXPECT_THROW(again.ReadString("SendEMail"), ERegistryException);
}

}  // namespace
}  // namespace platform
