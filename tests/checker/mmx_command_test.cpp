#include "checker/mmx_command.h"

#include <gtest/gtest.h>

namespace mmx {
namespace {

// The command exactly as the program builds it for container path `c`.
std::string ProgramCommand(const std::string& c) {
  return " -X lib/checkit.mmx -A catalog dtd/catalog -F sgm -S " + c + " -A errfile " + c + ".err" + " logfile " +
         c + "-log.html" + " html yes" + " rules lib/checkit.mck";
}

void ExpectContainerFiles(const MmxCommand& command, const std::string& c) {
  EXPECT_EQ(command.container, c);
  EXPECT_EQ(command.errfile, c + ".err");
  EXPECT_EQ(command.logfile, c + "-log.html");
}

TEST(ParseMmxCommand, ReadsEveryOptionOfTheProgramsCommand) {
  const MmxCommand command = ParseMmxCommand(ProgramCommand("/data/x.cnt"));
  EXPECT_EQ(command.script, "lib/checkit.mmx");
  EXPECT_EQ(command.catalog, "dtd/catalog");
  EXPECT_EQ(command.format, "sgm");
  ExpectContainerFiles(command, "/data/x.cnt");
  EXPECT_TRUE(command.html);
  EXPECT_EQ(command.rules, "lib/checkit.mck");
}

TEST(ParseMmxCommand, KeepsBlanksInTheContainerPath) {
  ExpectContainerFiles(ParseMmxCommand(ProgramCommand("/home/ute/ECU data/K416 release 4.cnt")),
                       "/home/ute/ECU data/K416 release 4.cnt");
  ExpectContainerFiles(ParseMmxCommand(ProgramCommand("  lead and trail  ")), "  lead and trail  ");
}

TEST(ParseMmxCommand, FindsTheContainerEvenWhenItsPathHoldsTheOptionWords) {
  for (const std::string c : {"/data/my rules -A errfile x logfile y html yes.cnt",
                              "/data/ -S -X logfile rules html no/z.cnt", "relative -A catalog c.cnt"}) {
    ExpectContainerFiles(ParseMmxCommand(ProgramCommand(c)), c);
    EXPECT_EQ(ParseMmxCommand(ProgramCommand(c)).rules, "lib/checkit.mck") << c;
  }
}

TEST(ParseMmxCommand, SplitsAtTheOptionWordsWhenTheFilesAreNotNamedAfterTheContainer) {
  const MmxCommand command =
      ParseMmxCommand("-X s.mmx -F xml -S in put.xml -A errfile errors.txt logfile out/log.html html no rules r.mck");
  EXPECT_EQ(command.script, "s.mmx");
  EXPECT_EQ(command.catalog, "");
  EXPECT_EQ(command.format, "xml");
  EXPECT_EQ(command.container, "in put.xml");
  EXPECT_EQ(command.errfile, "errors.txt");
  EXPECT_EQ(command.logfile, "out/log.html");
  EXPECT_FALSE(command.html);
  EXPECT_EQ(command.rules, "r.mck");
}

TEST(ParseMmxCommand, LeavesMissingOptionsEmpty) {
  const MmxCommand empty = ParseMmxCommand("");
  EXPECT_EQ(empty.container, "");
  EXPECT_EQ(empty.logfile, "");

  const MmxCommand no_log = ParseMmxCommand(" -X lib/checkit.mmx -S a.cnt -A errfile a.cnt.err");
  EXPECT_EQ(no_log.container, "a.cnt");
  EXPECT_EQ(no_log.errfile, "a.cnt.err");
  EXPECT_EQ(no_log.logfile, "");

  const MmxCommand only_container = ParseMmxCommand(" -S a.cnt");
  EXPECT_EQ(only_container.container, "a.cnt");
  EXPECT_EQ(only_container.errfile, "");
}

TEST(ParseMmxCommand, AnEmptyContainerPathStillNamesTheLogFile) {
  const MmxCommand command = ParseMmxCommand(ProgramCommand(""));
  ExpectContainerFiles(command, "");
}

}  // namespace
}  // namespace mmx
