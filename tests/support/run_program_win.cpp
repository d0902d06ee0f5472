#include "support/run_program.h"

#include <windows.h>

#include <system_error>

#include "platform/wide_text.h"

namespace test {
namespace {

std::system_error LastError(const std::string& what) {
  return std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

class Handle {
 public:
  explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
  ~Handle() { reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  void reset() {
    if (handle_ && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_;
};

// One argument as the C runtime of the started program splits it again:
// quoted when it holds blanks or quotes, backslashes doubled before a quote.
std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    quoted.push_back(c);
    backslashes = 0;
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

// The current environment without the variables `changes` names, then those
// of them with a value, as the block of NUL-terminated entries CreateProcessW takes.
std::wstring EnvironmentBlock(const std::map<std::string, std::string>& changes) {
  std::wstring block;
  wchar_t* const current = GetEnvironmentStringsW();
  for (const wchar_t* entry = current; *entry; entry += wcslen(entry) + 1) {
    const std::wstring variable(entry);
    // The names of the per-drive folders ("=C:") begin with '='.
    const std::wstring name = variable.substr(0, variable.find(L'=', 1));
    bool changed = false;
    for (const auto& change : changes)
      changed = changed || CompareStringOrdinal(name.c_str(), -1, platform::Widen(change.first).c_str(), -1, TRUE) == CSTR_EQUAL;
    if (!changed) block += variable + L'\0';
  }
  FreeEnvironmentStringsW(current);
  for (const auto& [name, value] : changes)
    if (!value.empty()) block += platform::Widen(name) + L"=" + platform::Widen(value) + L'\0';
  return block + L'\0';
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
                         std::chrono::milliseconds bound, std::atomic<pid_t>* started) {
  // A named pipe, because only those read overlapped: the wait for output
  // then has the bound.
  const std::wstring pipeName =
      L"\\\\.\\pipe\\parcelo-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64());
  Handle readEnd(CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                  PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 4096, 0, nullptr));
  if (readEnd.get() == INVALID_HANDLE_VALUE) throw LastError("CreateNamedPipeW");
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  Handle writeEnd(CreateFileW(pipeName.c_str(), GENERIC_WRITE, 0, &inherited, OPEN_EXISTING, 0, nullptr));
  Handle nothing(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr));
  if (writeEnd.get() == INVALID_HANDLE_VALUE || nothing.get() == INVALID_HANDLE_VALUE) throw LastError("CreateFileW");

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nothing.get();
  startup.hStdOutput = writeEnd.get();
  startup.hStdError = writeEnd.get();
  std::wstring commandLine;
  for (const std::string& argument : argv) commandLine += (commandLine.empty() ? L"" : L" ") + Quoted(platform::Widen(argument));
  std::wstring variables = EnvironmentBlock(environment);
  PROCESS_INFORMATION process{};
  const BOOL created = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                      CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, variables.data(), nullptr,
                                      &startup, &process);
  writeEnd.reset();
  if (!created) throw LastError("CreateProcessW " + argv[0]);
  const Handle processHandle(process.hProcess);
  const Handle threadHandle(process.hThread);
  if (started) *started = static_cast<pid_t>(process.dwProcessId);

  // The output ends when the program (and anything it started that kept the
  // pipe) has gone.
  ProgramResult result;
  const Handle readDone(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const auto deadline = std::chrono::steady_clock::now() + bound;
  char buffer[4096];
  bool outputEnded = false;
  while (!outputEnded) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    OVERLAPPED overlapped{};
    overlapped.hEvent = readDone.get();
    DWORD n = 0;
    if (!ReadFile(readEnd.get(), buffer, sizeof buffer, nullptr, &overlapped) && GetLastError() != ERROR_IO_PENDING) {
      outputEnded = true;
      break;
    }
    if (WaitForSingleObject(readDone.get(), static_cast<DWORD>(left.count())) != WAIT_OBJECT_0) CancelIo(readEnd.get());
    if (GetOverlappedResult(readEnd.get(), &overlapped, &n, TRUE))
      result.output.append(buffer, n);
    else
      outputEnded = GetLastError() != ERROR_OPERATION_ABORTED;
  }
  // With its output closed the program is ending; otherwise it overran the bound.
  if (!outputEnded) TerminateProcess(process.hProcess, 1);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  if (outputEnded && GetExitCodeProcess(process.hProcess, &code)) result.exitCode = static_cast<int>(code);
  return result;
}

std::string ThisProgram() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) return platform::Narrow(path.substr(0, length));
    path.resize(path.size() * 2);
  }
}

}  // namespace test
