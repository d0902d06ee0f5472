#pragma once

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/environment.h"
#include "support/temp_dir.h"

namespace test {

// A stand-in for an external program (the mail client, the web browser): a
// program of that name, first on PATH while the object lives, that records
// the arguments of every call (a shell script; on Windows a copy of a small
// recording program).
class RecordingProgram {
 public:
  explicit RecordingProgram(const std::string& name);
  // The desktop's mail client: xdg-email on PATH; on Windows the program the
  // shell starts for mailto: URIs.
  static constexpr struct MailClient {
  } kMailClient{};
  explicit RecordingProgram(MailClient);
  // The call the mail client gets for a mail: xdg-email is told the URI is
  // UTF-8; the shell hands the URI alone.
  static std::vector<std::string> MailCall(const std::string& uri);
  ~RecordingProgram();
  RecordingProgram(const RecordingProgram&) = delete;
  RecordingProgram& operator=(const RecordingProgram&) = delete;

  std::string Path() const { return (dir_.Path() / "").string(); }

  // The calls recorded so far, each as its argument list.
  std::vector<std::vector<std::string>> Calls() const {
    std::vector<std::vector<std::string>> calls;
    std::istringstream lines(ReadFile(record_));
    std::string line;
    while (std::getline(lines, line)) {
      std::vector<std::string> arguments;
      std::string argument;
      std::istringstream parts(line);
      while (std::getline(parts, argument, '\037')) arguments.push_back(argument);
      calls.push_back(arguments);
    }
    return calls;
  }

  // The program runs beside the caller; waits until `count` calls are recorded
  // or the bound has passed.
  std::vector<std::vector<std::string>> WaitForCalls(std::size_t count,
                                                     std::chrono::milliseconds bound = std::chrono::seconds(10)) const {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    auto calls = Calls();
    while (calls.size() < count && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      calls = Calls();
    }
    return calls;
  }

  // PATH reduced to an empty folder while the object lives: no program is found.
  class EmptyPath {
   public:
    EmptyPath() : previous_(Getenv("PATH")) { setenv("PATH", dir_.Path().string().c_str(), 1); }
    ~EmptyPath() { setenv("PATH", previous_.c_str(), 1); }

   private:
    TempDir dir_;
    std::string previous_;
  };

 private:
  static std::string Getenv(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
  }

  TempDir dir_;
  std::string record_ = (dir_ / "calls").string();
  std::string previousPath_ = Getenv("PATH");
  std::string previousMailClient_;  // the shell's mailto command it replaced (Windows)
};

}  // namespace test
