#include <windows.h>
#include <shellapi.h>

#include <cstdlib>

#include "platform/shell.h"
#include "platform/wide_text.h"

namespace platform {
namespace {

// One word of a command line as the C runtime's argument parser splits it:
// quoted, with backslashes doubled where a quote follows them.
void AppendQuoted(std::wstring& line, const std::wstring& word) {
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : word) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

bool Open(const std::string& target) {
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", Widen(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

bool Spawn(const std::string& program, const std::vector<std::string>& arguments, bool wait) {
  if (program.empty()) return arguments.size() == 1 && Open(arguments.front());
  std::wstring line;
  AppendQuoted(line, Widen(program));
  for (const auto& argument : arguments) {
    line += L' ';
    AppendQuoted(line, Widen(argument));
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // No application name: the system searches the program as a command line's first word.
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  if (wait) WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

bool StartProgram(const std::string& program, const std::string& argument, bool wait) {
  return Spawn(program, {argument}, wait);
}

bool StartProgramArgs(const std::string& program, const std::vector<std::string>& arguments) {
  return Spawn(program, arguments, false);
}

std::string SystemBrowser() {
  if (const char* browser = std::getenv("BROWSER"); browser && *browser) {
    std::string first(browser);
    return first.substr(0, first.find(';'));
  }
  return {};
}

}  // namespace platform
