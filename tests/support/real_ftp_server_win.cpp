#include "support/brokered_server.h"
#include "support/real_ftp_server.h"

namespace test {

// The servers run on the Linux side, started by its launcher.
struct RealFtpServer::Running {
  explicit Running(const std::vector<std::string>& command) : server(command, {}) {}
  BrokeredServer server;
};

void RealFtpServer::Stop::operator()(Running* running) const { delete running; }

std::uint16_t RealFtpServer::Launch(const std::vector<std::string>& command) {
  running_.reset(new Running(command));
  return static_cast<std::uint16_t>(std::stoi(running_->server.ReadyLine()));
}

std::uint16_t RealFtpServer::LaunchInetd(const std::vector<std::string>& command) {
  std::vector<std::string> inetd{"/usr/bin/python3", PARCELO_TEST_SUPPORT_DIR "/inetd.py", options_.address};
  inetd.insert(inetd.end(), command.begin(), command.end());
  return Launch(inetd);
}

std::string RealFtpServer::ServerPath(const std::filesystem::path& path) { return UnixPath(path); }

}  // namespace test
