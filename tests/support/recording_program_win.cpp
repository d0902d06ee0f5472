#include <windows.h>

#include <filesystem>

#include "platform/wide_text.h"
#include "support/recording_program.h"

namespace test {
namespace {

// The shell's mailto command lives in HKEY_CLASSES_ROOT; wine does not look
// into the user's own classes for it.
constexpr wchar_t kMailtoCommand[] = L"mailto\\shell\\open\\command";

std::wstring MailtoCommand() {
  wchar_t command[1024];
  DWORD size = sizeof command;
  if (RegGetValueW(HKEY_CLASSES_ROOT, kMailtoCommand, nullptr, RRF_RT_REG_SZ, nullptr, command, &size) != ERROR_SUCCESS)
    return {};
  return command;
}

void SetMailtoCommand(const std::wstring& command) {
  RegSetKeyValueW(HKEY_CLASSES_ROOT, kMailtoCommand, nullptr, REG_SZ, command.c_str(),
                  static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

// PARCELO_RECORDER is the recording program the build made beside the tests.
RecordingProgram::RecordingProgram(const std::string& name) {
  std::filesystem::copy_file(PARCELO_RECORDER, dir_ / (name + ".exe"));
  setenv("PATH", (dir_.Path().string() + ";" + previousPath_).c_str(), 1);
}

RecordingProgram::RecordingProgram(MailClient) : RecordingProgram("xdg-email") {
  previousMailClient_ = platform::Narrow(MailtoCommand());
  SetMailtoCommand(L"\"" + (dir_ / "xdg-email.exe").wstring() + L"\" \"%1\"");
}

std::vector<std::string> RecordingProgram::MailCall(const std::string& uri) { return {uri}; }

RecordingProgram::~RecordingProgram() {
  if (!previousMailClient_.empty()) SetMailtoCommand(platform::Widen(previousMailClient_));
  setenv("PATH", previousPath_.c_str(), 1);
}

}  // namespace test
