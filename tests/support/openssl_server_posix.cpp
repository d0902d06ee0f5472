#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "support/child_process.h"
#include "support/openssl_server.h"

namespace test {

struct OpensslServer::Running {
  // Its input stays open while it runs: s_server ends its session when that input does.
  struct Pipe {
    int ends[2];
    Pipe() {
      if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("no pipe for openssl s_server");
    }
    ~Pipe() {
      for (int& end : ends) Close(end);
    }
    static void Close(int& end) {
      if (end >= 0) ::close(end);
      end = -1;
    }
  } input, output;
  ChildProcess server;

  // The child's ends are its own once it runs: a server that dies closes its output.
  explicit Running(const std::vector<std::string>& command)
      : server(command, ChildProcess::Options{input.ends[0], output.ends[1]}) {
    Pipe::Close(input.ends[0]);
    Pipe::Close(output.ends[1]);
  }
};

OpensslServer::OpensslServer(const CertificateFiles& files, const std::vector<std::string>& options)
    : running_(std::make_unique<Running>(OpensslServerCommand(files, options))) {
  while (port_ == 0) {
    const std::string line = ReadLineFrom(running_->output.ends[0], std::chrono::seconds(10));
    if (line.rfind(kOpensslReadyPrefix, 0) == 0) port_ = PortOfReadyLine(line);
  }
}

OpensslServer::~OpensslServer() = default;

}  // namespace test
