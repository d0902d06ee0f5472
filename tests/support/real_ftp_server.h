#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace test {

enum class RealServerKind { Pyftpdlib, Vsftpd };

// A real FTP server that nobody here wrote, serving a temporary tree on
// 127.0.0.1 (or ::1) at a free port, with one account (User(), Password()) that may
// read and write below LoginDir(); an upload into "locked/" is refused. It is
// stopped by PID when the object goes away.
//
// pyftpdlib runs under /usr/bin/python3 and tells its port when it listens.
// vsftpd runs in its inetd mode: the launcher listens itself and starts one
// vsftpd per accepted control connection, so there is no start-up race and
// root needs no system account (anonymous login with a password list). As
// vsftpd then runs as the launching user, whom permissions may not stop,
// "locked" is a plain file there, so that no upload can go below it.
class RealFtpServer {
 public:
  // Raises std::runtime_error when the server does not come up. With a
  // `readLimit` (bytes per second; pyftpdlib only) the server takes uploads
  // no faster than that, as a busy or distant site does. With `address`
  // "::1" it listens on IPv6 (vsftpd: its launcher does).
  explicit RealFtpServer(RealServerKind kind, std::size_t readLimit = 0,
                         const std::string& address = "127.0.0.1");
  ~RealFtpServer();
  RealFtpServer(const RealFtpServer&) = delete;
  RealFtpServer& operator=(const RealFtpServer&) = delete;

  RealServerKind Kind() const { return kind_; }
  const char* Name() const { return kind_ == RealServerKind::Pyftpdlib ? "pyftpdlib" : "vsftpd"; }
  std::uint16_t Port() const { return port_; }
  const std::string& User() const { return user_; }
  const std::string& Password() const { return password_; }
  // Where the login lands. The top of the tree is reached from here by
  // "../../..": on pyftpdlib it is the login folder itself (the server keeps
  // the client inside it), on vsftpd three real levels up.
  const std::filesystem::path& LoginDir() const { return loginDir_; }
  const std::filesystem::path& Top() const { return tree_.Path(); }

 private:
  void StartPyftpdlib(std::size_t readLimit, const std::string& address);
  void StartVsftpd(const std::string& address);
  void ServeVsftpd(const std::string& config);

  RealServerKind kind_;
  TempDir tree_;
  TempDir state_;  // configuration, outside the served tree
  std::filesystem::path loginDir_;
  std::string user_;
  std::string password_ = "secret";
  std::uint16_t port_ = 0;
  std::unique_ptr<ChildProcess> server_;
  // vsftpd: the launcher's listener, its thread and one process per connection.
  int listener_ = -1;
  int stop_ = -1;
  std::thread acceptor_;
  std::mutex childrenLock_;
  std::vector<std::unique_ptr<ChildProcess>> children_;
};

}  // namespace test
