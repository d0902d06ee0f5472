#include "support/brokered_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace test {
namespace {

// Longer than the launcher's own bound for the first line, so its reason
// arrives rather than a bare timeout.
constexpr DWORD kAnswerBoundMs = 30000;

std::string JsonString(const std::string& text) {
  std::string quoted = "\"";
  for (const unsigned char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      quoted += escaped;
    } else {
      quoted += static_cast<char>(c);
    }
  }
  return quoted + "\"";
}

// A server started on Linux runs under the OpenSSL configuration of this
// program, as a server it started itself would.
std::string ForwardedEnvironment() {
  const char* config = std::getenv("OPENSSL_CONF");
  return config && *config ? "\"OPENSSL_CONF\": " + JsonString(UnixPath(config)) : "";
}

std::string Request(const std::vector<std::string>& argv, const std::filesystem::path& workingDir,
                    const std::string& readyPrefix) {
  std::string request = "{\"argv\": [";
  for (std::size_t i = 0; i < argv.size(); ++i) request += (i ? ", " : "") + JsonString(argv[i]);
  return request + "], \"cwd\": " + JsonString(workingDir.empty() ? "" : UnixPath(workingDir)) +
         ", \"ready\": " + JsonString(readyPrefix) + ", \"env\": {" + ForwardedEnvironment() + "}}\n";
}

std::uint16_t LauncherPort() {
  const char* port = std::getenv("PARCELO_SERVER_BROKER");
  if (!port || !*port)
    throw std::runtime_error(
        "no server launcher: PARCELO_SERVER_BROKER is not set (scripts/build-windows --test starts "
        "tests/support/server_broker.py)");
  return static_cast<std::uint16_t>(std::stoi(port));
}

SOCKET Connect(std::uint16_t port) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup failed");
  const SOCKET control = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (control == INVALID_SOCKET ||
      ::connect(control, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = WSAGetLastError();
    if (control != INVALID_SOCKET) ::closesocket(control);
    WSACleanup();
    throw std::runtime_error("no server launcher on port " + std::to_string(port) + " (error " +
                             std::to_string(error) + ")");
  }
  const DWORD bound = kAnswerBoundMs;
  ::setsockopt(control, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&bound), sizeof bound);
  return control;
}

std::string ReadLine(SOCKET control) {
  std::string line;
  char byte;
  for (;;) {
    const int got = ::recv(control, &byte, 1, 0);
    if (got <= 0) throw std::runtime_error("the server launcher gave no answer: " + line);
    if (byte == '\n') return line;
    line += byte;
  }
}

void Close(SOCKET control) {
  ::closesocket(control);
  WSACleanup();
}

}  // namespace

BrokeredServer::BrokeredServer(const std::vector<std::string>& argv, const std::filesystem::path& workingDir,
                               const std::string& readyPrefix) {
  const std::string request = Request(argv, workingDir, readyPrefix);
  const SOCKET control = Connect(LauncherPort());
  std::string answer;
  try {
    if (::send(control, request.data(), static_cast<int>(request.size()), 0) != static_cast<int>(request.size()))
      throw std::runtime_error("the server launcher took no request");
    answer = ReadLine(control);
  } catch (...) {
    Close(control);
    throw;
  }
  if (answer.rfind("ready ", 0) != 0) {
    Close(control);
    throw std::runtime_error("the server launcher could not start " + argv.at(0) + ": " + answer);
  }
  control_ = control;
  readyLine_ = answer.substr(6);
}

BrokeredServer::~BrokeredServer() { Close(static_cast<SOCKET>(control_)); }

std::string UnixPath(const std::filesystem::path& path) {
  using Converter = char*(CDECL*)(LPCWSTR);
  static const auto convert = reinterpret_cast<Converter>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  const std::wstring absolute = std::filesystem::absolute(path).wstring();
  if (convert) {
    if (char* unix = convert(absolute.c_str())) {
      std::string converted = unix;
      HeapFree(GetProcessHeap(), 0, unix);
      return converted;
    }
  }
  // Wine maps the Unix root to Z: in every prefix it makes.
  const std::u8string generic = std::filesystem::path(absolute).generic_u8string();
  const std::string text(generic.begin(), generic.end());
  if (text.size() >= 2 && (text[0] == 'Z' || text[0] == 'z') && text[1] == ':') return text.substr(2);
  throw std::runtime_error("no Unix path for " + text);
}

}  // namespace test
