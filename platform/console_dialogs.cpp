#include "platform/console_dialogs.h"

#include <algorithm>

namespace platform {
namespace {

std::string Lines(std::string text) {
  std::replace(text.begin(), text.end(), '\r', '\n');
  return text;
}

}  // namespace

ConsoleDialogs::ConsoleDialogs(std::ostream& out) : out_(out) {}

void ConsoleDialogs::MessageBox(const std::string& text, const std::string& caption, MessageIcon) {
  out_ << caption << ": " << Lines(text) << std::endl;
}

bool ConsoleDialogs::AskYesNo(const std::string& text, const std::string& caption) {
  out_ << caption << ": " << Lines(text) << " [yes]" << std::endl;
  return true;
}

std::optional<std::string> ConsoleDialogs::OpenFile(const std::string&, const std::string&) {
  return std::nullopt;
}

std::optional<std::string> ConsoleDialogs::ChooseFolder(const std::string&) { return std::nullopt; }

}  // namespace platform
