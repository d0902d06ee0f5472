#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <system_error>

#include "support/child_process.h"
#include "support/inetd_listener.h"
#include "support/real_ftp_server.h"

namespace test {
namespace {

struct Pipe {
  int fds[2] = {-1, -1};
  Pipe() {
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
  }
  ~Pipe() {
    for (int fd : fds)
      if (fd >= 0) ::close(fd);
  }
  void CloseWriteEnd() {
    ::close(fds[1]);
    fds[1] = -1;
  }
};

}  // namespace

struct RealFtpServer::Running {
  std::unique_ptr<ChildProcess> server;
  // vsftpd: one process per connection.
  std::unique_ptr<InetdListener> vsftpd;
};

void RealFtpServer::Stop::operator()(Running* running) const { delete running; }

std::uint16_t RealFtpServer::Launch(const std::vector<std::string>& command) {
  Pipe output;
  running_.reset(new Running);
  running_->server = std::make_unique<ChildProcess>(command, ChildProcess::Options{-1, output.fds[1]});
  output.CloseWriteEnd();
  return static_cast<std::uint16_t>(std::stoi(ReadLineFrom(output.fds[0], std::chrono::seconds(20))));
}

// In this inetd mode vsftpd serves whatever connection it is given, so an
// IPv6 listener here is what listen_ipv6=YES would be in its own.
std::uint16_t RealFtpServer::LaunchInetd(const std::vector<std::string>& command) {
  running_.reset(new Running);
  running_->vsftpd = std::make_unique<InetdListener>(command, options_.address == "::1" ? AF_INET6 : AF_INET,
                                                     options_.address == "::1" ? "127.0.0.1" : options_.address);
  return running_->vsftpd->Port();
}

std::string RealFtpServer::ServerPath(const std::filesystem::path& path) { return path.string(); }

}  // namespace test
