#include <gtest/gtest.h>

#include <sstream>

#include "platform/console_dialogs.h"
#include "platform/qt_dialogs.h"
#include "platform/scripted_dialogs.h"

namespace platform {
namespace {

TEST(ConsoleDialogs, PrintBoxesWithLineBreaksAndAnswerAtOnce) {
  std::ostringstream out;
  ConsoleDialogs dialogs(out);
  dialogs.MessageBox("first\rsecond", "Error", MessageIcon::kError);
  EXPECT_TRUE(dialogs.AskYesNo("Replace?", "Confirm"));
  EXPECT_FALSE(dialogs.OpenFile("/tmp", "all files (*.*)|*.*"));
  EXPECT_EQ(out.str(), "Error: first\nsecond\nConfirm: Replace? [yes]\n");
}

// The program's lines are separated by single CRs; what a value brings (line
// ends from a container's sw-ident or a server, other control characters) is
// shown escaped, as in the log, so it cannot start a line of its own. The
// terminal gets UTF-8, whatever the text's code page.
TEST(ConsoleDialogs, ShowWhatValuesBringEscapedAndInUtf8) {
  const struct {
    std::string text;
    const char* printed;
  } cases[] = {
      {"TargetFile: ABC\r\nDELE victim", "Error: TargetFile: ABC\\r\\nDELE victim\n"},
      {"target: A\nB\x1B[2J\tC", "Error: target: A\\nB\\x1B[2J\tC\n"},
      {"identical,\rplease change\r\r!! ABORT !!", "Error: identical,\nplease change\n\n!! ABORT !!\n"},
      {"550 No such file.\r\n", "Error: 550 No such file.\n"},
      {"Plant M\xFCnchen", "Error: Plant M\xC3\xBCnchen\n"},
      {"/home/m\xC3\xBCller/c.cnt", "Error: /home/m\xC3\xBCller/c.cnt\n"},
  };
  for (const auto& [text, printed] : cases) {
    std::ostringstream out;
    ConsoleDialogs(out).MessageBox(text, "Error", MessageIcon::kError);
    EXPECT_EQ(out.str(), printed);
  }
}

TEST(ScriptedDialogs, RecordEveryBoxAndAnswerAsTold) {
  ScriptedDialogs dialogs;
  dialogs.answers = {false};
  dialogs.picks = {std::string("/data/x.cnt")};
  dialogs.MessageBox("No file selected", "Error", MessageIcon::kError);
  EXPECT_FALSE(dialogs.AskYesNo("Replace?", "Confirm"));
  EXPECT_TRUE(dialogs.AskYesNo("Again?", "Confirm"));
  EXPECT_EQ(dialogs.OpenFile("/data/", "f"), "/data/x.cnt");
  EXPECT_EQ(dialogs.ChooseFolder("/data/"), std::nullopt);
  ASSERT_EQ(dialogs.shown.size(), 5u);
  EXPECT_EQ(dialogs.MessageTexts(), std::vector<std::string>{"No file selected"});
  EXPECT_EQ(dialogs.shown[3].text, "/data/");
}

TEST(Dialogs, InstallReplacesTheCurrentImplementation) {
  auto scripted = std::make_unique<ScriptedDialogs>();
  ScriptedDialogs* raw = scripted.get();
  auto previous = Dialogs::Install(std::move(scripted));
  Dialogs::Current().MessageBox("hello", "Information", MessageIcon::kInformation);
  EXPECT_EQ(raw->MessageTexts(), std::vector<std::string>{"hello"});
  Dialogs::Install(std::move(previous));
}

TEST(QtDialogs, OpenDialogFilterPairsBecomeQtNameFilters) {
  const QStringList filters = NameFiltersFromPairs(
      "Container file (*.cnt, *.ecu)|*.cnt; *.ecu|XML file (*.xml)|*.xml|all files (*.*)|*.*");
  EXPECT_EQ(filters, QStringList({"Container file (*.cnt, *.ecu) (*.cnt *.ecu)", "XML file (*.xml) (*.xml)",
                                  "all files (*.*) (*.*)"}));
}

}  // namespace
}  // namespace platform
