// Lets arbitrary bytes play an FTP server on loopback against TFtpClient:
// greetings, replies with continuation lines and partial lines, PASV and EPSV replies
// pointing at a real listener, data connections, dropped and closed control
// connections. The client logs in, changes folder, sets the type, uploads and
// downloads, and must never report a transfer it did not make: a download
// reported as success left exactly the bytes served, a failed one left no
// file, an upload reported as success delivered the whole file.
//
// The input: the first byte holds flags (bit 0: OnFailure handles refusals,
// bit 1: passive upload, bit 2: passive download); the rest are steps
// separated by 0x1E, each an operation byte and its payload:
//   0 read a command, then send the payload ("%P" becomes the tuple of a
//     passive listener opened for a PASV or EPSV)
//   1 send the payload without reading a command
//   2 open the data connection (PORT's address or the passive listener);
//     after STOR take everything, else serve the payload; then close it
//   3 reset the control connection      4 close the control connection

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ftp/ftp_client.h"
#include "ftp/ftp_errors.h"
#include "support/scripted_ftp_server.h"
#include "support/temp_dir.h"

namespace {

using Connection = test::ScriptedFtpServer::Connection;

void Check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "broken: %s\n", what);
  std::abort();
}

// What the server did on its data connections, read by the client side.
struct DataRecord {
  std::mutex lock;
  std::vector<std::string> served;
  std::optional<std::string> stored;
};

std::vector<std::string_view> Steps(std::string_view script) {
  std::vector<std::string_view> steps;
  for (std::size_t start = 0; start <= script.size();) {
    std::size_t end = script.find('\x1e', start);
    if (end == std::string_view::npos) end = script.size();
    steps.push_back(script.substr(start, end - start));
    start = end + 1;
  }
  return steps;
}

std::string WithPassiveTuple(std::string payload, const std::string& tuple) {
  for (std::size_t at = payload.find("%P"); at != std::string::npos; at = payload.find("%P", at + tuple.size()))
    payload.replace(at, 2, tuple);
  return payload;
}

test::ScriptedFtpServer::DataConnection OpenData(Connection& c, const std::string& lastPort,
                                                 std::optional<test::ScriptedFtpServer::PassiveListener>& passive) {
  if (!lastPort.empty()) return c.ConnectTo(lastPort);
  if (passive) return passive->Accept();
  throw std::runtime_error("no data connection was offered");
}

void Play(Connection& c, std::string_view script, DataRecord& record) {
  std::string lastCommand;
  std::string lastPort;
  std::optional<test::ScriptedFtpServer::PassiveListener> passive;
  for (std::string_view step : Steps(script)) {
    if (step.empty()) continue;
    const std::string payload(step.substr(1));
    switch (static_cast<unsigned char>(step[0]) % 5) {
      case 0:
        lastCommand = c.Command();
        if (lastCommand.starts_with("PORT ")) {
          lastPort = lastCommand;
          passive.reset();
        }
        if (lastCommand == "PASV" || lastCommand == "EPSV") {
          lastPort.clear();
          passive.emplace(c.Listen());
        }
        c.Send(passive ? WithPassiveTuple(payload, lastCommand == "EPSV" ? passive->ExtendedTuple() : passive->Tuple())
                       : payload);
        break;
      case 1:
        c.Send(payload);
        break;
      case 2: {
        auto data = OpenData(c, lastPort, passive);
        if (lastCommand.starts_with("STOR ")) {
          std::string bytes = data.ReceiveAll();
          std::lock_guard guard(record.lock);
          record.stored = std::move(bytes);
        } else {
          {
            std::lock_guard guard(record.lock);
            record.served.push_back(payload);
          }
          data.Send(payload);
          data.Close();
        }
        break;
      }
      case 3:
        c.Reset();
        return;
      case 4:
        c.Close();
        return;
    }
  }
}

struct Workspace {
  test::TempDir dir;
  std::filesystem::path source = dir / "source.cnt";
  std::filesystem::path target = dir / "fetched.cnt";
  std::string content;
  Workspace() {
    for (int i = 0; content.size() < 3000; ++i) content += "line " + std::to_string(i) + "\r\n";
    dir.Write("source.cnt", content);
  }
  std::ptrdiff_t FileCount() const {
    return std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator());
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static Workspace workspace;
  std::filesystem::remove(workspace.target);
  const std::uint8_t flags = data[0];
  const std::string script(reinterpret_cast<const char*>(data) + 1, size - 1);
  DataRecord record;
  test::ScriptedFtpServer server([&](Connection& c) { Play(c, script, record); });

  ftp::TFtpClient client;
  client.Host = "127.0.0.1";
  client.Port = server.Port();
  client.UserID = "anna";
  client.Password = "secret";
  client.TimeOut = 50;
  client.SlowTimeOut = 300;
  bool uploaded = false;
  bool downloaded = false;
  client.OnSuccess = [&](ftp::TCmdType kind) {
    uploaded = uploaded || kind == ftp::ctUpload;
    downloaded = downloaded || kind == ftp::ctDownload;
  };
  client.OnFailure = [&](bool& handled, ftp::TCmdType) { handled = (flags & 1) != 0; };
  const auto attempt = [&](auto&& step) {
    try {
      step();
    } catch (const ftp::Exception&) {
    }
  };
  attempt([&] { client.Connect(); });
  if (client.Connected) attempt([&] { client.ChangeDirectory("in"); });
  if (client.Connected) attempt([&] { client.SetTransferMode(ftp::tmImage); });
  client.Passive = (flags & 2) != 0;
  if (client.Connected) attempt([&] { client.Upload(workspace.source.string(), "up.cnt"); });
  client.Passive = (flags & 4) != 0;
  if (client.Connected) attempt([&] { client.Download("down.cnt", workspace.target.string()); });
  attempt([&] { client.Disconnect(); });

  // A download leaves its file only when it succeeded, and nothing else.
  Check(workspace.FileCount() == (downloaded ? 2 : 1), "a download leaves its file exactly when it succeeded");
  Check(test::ReadFile(workspace.source) == workspace.content, "an upload leaves its source as it was");
  if (downloaded) {
    const std::string fetched = test::ReadFile(workspace.target);
    std::lock_guard guard(record.lock);
    bool served = false;
    for (const std::string& payload : record.served) served = served || payload == fetched;
    Check(served, "a successful download holds what the server sent");
  }
  if (uploaded) {
    // The server may still be taking the data it was sent before the reply.
    for (int i = 0; i < 200 && server.Finished() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::lock_guard guard(record.lock);
    Check(!record.stored || *record.stored == workspace.content, "a successful upload delivered the whole file");
  }
  return 0;
}
