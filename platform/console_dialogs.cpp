#include "platform/console_dialogs.h"

#include "platform/ansi.h"
#include "platform/one_line.h"

namespace platform {
namespace {

// For a terminal, which reads UTF-8.
std::string Lines(const std::string& text) { return DisplayUtf8(MessageText(text, "\n")); }

}  // namespace

ConsoleDialogs::ConsoleDialogs(std::ostream& out) : out_(out) {}

void ConsoleDialogs::MessageBox(const std::string& text, const std::string& caption, MessageIcon) {
  out_ << Lines(caption) << ": " << Lines(text) << std::endl;
}

bool ConsoleDialogs::AskYesNo(const std::string& text, const std::string& caption) {
  out_ << Lines(caption) << ": " << Lines(text) << " [yes]" << std::endl;
  return true;
}

std::optional<std::string> ConsoleDialogs::OpenFile(const std::string&, const std::string&) {
  return std::nullopt;
}

std::optional<std::string> ConsoleDialogs::ChooseFolder(const std::string&) { return std::nullopt; }

}  // namespace platform
