// Feeds arbitrary server bytes to the reply handling: the text helpers line
// by line, and ReadLn over a real loopback connection, whose lines must add
// up to the bytes sent, each within the 64 KiB buffer.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "ftp/reply_text.h"
#include "ftp/sock_session.h"
#include "support/loopback.h"

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

void ParseEachLine(const std::string& bytes) {
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    const std::string line = bytes.substr(start, end - start);
    start = end + 1;
    const auto code = ftp::LeadingNumber(line, 10);
    Check(!code || *code >= 0);
    Check(ftp::ParseByteCount(line) >= 0);
    ftp::ContinuesReply(line);
    for (int n = 0; n <= 7; ++n) Check(ftp::Field(line, ',', n).size() <= line.size());
    try {
      const int port = ftp::PassivePort(line);
      Check(port >= 0 && port <= 65535);
    } catch (const ftp::Exception&) {
    }
  }
}

// A listening loopback socket that lives for the whole fuzzing run.
struct Listener {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int port = 0;
  Listener() {
    port = ntohs(test::BindLoopback(fd).sin_port);
    listen(fd, 4);
  }
};

void ReadAllLines(const std::string& bytes) {
  static Listener listener;
  ftp::TSockSession session;
  session.Host = "127.0.0.1";
  session.Port = listener.port;
  session.Connect();
  const int peer = accept(listener.fd, nullptr, nullptr);
  // Loopback buffers hold far more than a fuzz input, so this does not block.
  Check(send(peer, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size()));
  shutdown(peer, SHUT_WR);
  std::string gathered;
  try {
    for (std::string line = session.ReadLn(); !line.empty(); line = session.ReadLn()) {
      Check(line.back() == '\n' && line.size() <= ftp::TSockSession::kBufferSize);
      gathered += line;
    }
  } catch (const ftp::ESockError&) {
    // A line longer than the buffer; what came before it must still be right.
  }
  Check(bytes.compare(0, gathered.size(), gathered) == 0);
  close(peer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  ParseEachLine(bytes);
  ReadAllLines(bytes);
  return 0;
}
