#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace test {

// A real server (pyftpdlib, vsftpd, ...) that a Windows test program under
// wine has started through the Linux side's launcher (server_broker.py, its
// port in PARCELO_SERVER_BROKER, started by scripts/build-windows --test).
// The command is the Linux one: paths in it must be Unix paths (UnixPath).
// The server runs while the object lives, its input open.
class BrokeredServer {
 public:
  // Raises std::runtime_error when there is no launcher or the server does
  // not start and print its first line (the first that starts with
  // `readyPrefix`) in time.
  BrokeredServer(const std::vector<std::string>& argv, const std::filesystem::path& workingDir,
                 const std::string& readyPrefix = {});
  ~BrokeredServer();
  BrokeredServer(const BrokeredServer&) = delete;
  BrokeredServer& operator=(const BrokeredServer&) = delete;

  // That line (pyftpdlib: its port).
  const std::string& ReadyLine() const { return readyLine_; }

 private:
  unsigned long long control_;
  std::string readyLine_;
};

// The Unix path the Linux side sees for a path of this program.
std::string UnixPath(const std::filesystem::path& path);

}  // namespace test
