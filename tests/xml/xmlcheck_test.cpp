// xmlcheck as a site administrator runs it: one line per file, exit 0 only
// when every file parsed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "support/run_program.h"

namespace {

class XmlCheckTool : public ::testing::Test {
protected:
  void SetUp() override
  {
    directory_ = std::filesystem::temp_directory_path() /
                 ("xmlcheck_test_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::create_directories(directory_);
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }
  std::string write(const std::string& name, const std::string& content)
  {
    std::ofstream((directory_ / name).string(), std::ios::binary) << content;
    return (directory_ / name).string();
  }
  // Runs xmlcheck on the files; returns its output and sets the exit code.
  std::string run(std::vector<std::string> files, int& exitCode)
  {
    files.insert(files.begin(), XMLCHECK_PATH);
    const test::ProgramResult result = test::RunProgram(files, {});
    exitCode = result.exitCode.value_or(-1);
    // Windows' console streams end their lines with CR LF.
    return std::regex_replace(result.output, std::regex("\r\n"), "\n");
  }

  std::filesystem::path directory_;
};

TEST_F(XmlCheckTool, ReportsEachFileAndFailsIfAnyFails)
{
  std::string good = write("ftpsend.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<FTPSEND>\n"
                                          "  <Werk compress=\"no\"><NAME>M\xC3\xBCnchen</NAME></Werk>\n</FTPSEND>\n");
  std::string bad = write("broken.xml", "<FTPSEND>\n  <Werk compress=\"no></Werk>\n</FTPSEND>\n");
  int exitCode = -1;
  EXPECT_EQ(run({good}, exitCode), good + ": OK\n");
  EXPECT_EQ(exitCode, 0);
  std::string output = run({good, bad, (directory_ / "absent.xml").string()}, exitCode);
  EXPECT_EQ(exitCode, 1);
  EXPECT_EQ(output, good + ": OK\n" + bad + ": FATAL ERROR in local document " + bad +
                        " between line 2, position 3 and line 3, position 11 -- Character(s) outside the "
                        "root-element: <Werk compress=\"no></Werk>\n</FTPSEND>\n\n" +
                        (directory_ / "absent.xml").string() + ": Cannot open file \"" +
                        (directory_ / "absent.xml").string() + "\". No such file or directory\n");
}

TEST_F(XmlCheckTool, TheFatalErrorIsTheReasonAndWarningsFollowIt)
{
  std::string file = write("twice.xml", "<!DOCTYPE a [\n<!ENTITY e 'x'>\n<!ENTITY e 'y'>\n]>\n<a>\n");
  int exitCode = -1;
  EXPECT_EQ(run({file}, exitCode),
            file + ": FATAL ERROR in local document " + file + " in line 5, position 4 -- M=sing end-tag.\n" + file +
                ": WARNING: in local document " + file +
                " in line 3, between position 1 and 15 -- Double entity declaration: e\n");
  EXPECT_EQ(exitCode, 1);
}

TEST_F(XmlCheckTool, WithoutFilesItExplainsItsUse)
{
  int exitCode = -1;
  run({}, exitCode);
  EXPECT_EQ(exitCode, 2);
}

} // namespace
