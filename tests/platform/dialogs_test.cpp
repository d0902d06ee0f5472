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
