#include "platform/scripted_dialogs.h"

namespace platform {

void ScriptedDialogs::Record(Shown entry) {
  shown.push_back(entry);
  if (whileShown) whileShown(entry);
}

void ScriptedDialogs::MessageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
  Record({Shown::kMessage, text, caption, icon});
}

bool ScriptedDialogs::AskYesNo(const std::string& text, const std::string& caption) {
  Record({Shown::kQuestion, text, caption, MessageIcon::kQuestion});
  if (answers.empty()) return true;
  const bool answer = answers.front();
  answers.pop_front();
  return answer;
}

std::optional<std::string> ScriptedDialogs::OpenFile(const std::string& initialFolder, const std::string& filter) {
  Record({Shown::kOpenFile, initialFolder, filter});
  return NextPick();
}

std::optional<std::string> ScriptedDialogs::ChooseFolder(const std::string& initialFolder) {
  Record({Shown::kChooseFolder, initialFolder, {}});
  return NextPick();
}

std::optional<std::string> ScriptedDialogs::NextPick() {
  if (picks.empty()) return std::nullopt;
  auto pick = picks.front();
  picks.pop_front();
  return pick;
}

std::vector<std::string> ScriptedDialogs::MessageTexts() const {
  std::vector<std::string> texts;
  for (const auto& entry : shown)
    if (entry.kind == Shown::kMessage) texts.push_back(entry.text);
  return texts;
}

}  // namespace platform
