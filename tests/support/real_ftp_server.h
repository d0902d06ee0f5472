#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/test_certificates.h"

namespace test {

enum class RealServerKind { Pyftpdlib, Vsftpd };

// How an FTPS server (pyftpdlib only) departs from a strict, correct one.
enum class FtpsQuirk {
  None,
  PlainClientsToo,         // clients may also stay on plain FTP throughout
  PlainDataConnections,    // data connections stay plain whatever PROT says
  DataWithoutCloseNotify,  // a download's data connection ends without close_notify
};

// How a RealFtpServer behaves beyond the plain defaults.
struct RealServerOptions {
  // Given a certificate, the server speaks explicit FTPS (AUTH TLS) and
  // insists on it: no login and no data connection without TLS, and (vsftpd)
  // every data connection must resume the control connection's TLS session.
  std::optional<CertificateFiles> tls{};
  // With tls: TLS from the first byte (implicit FTPS) instead of after AUTH TLS.
  bool implicitTls = false;
  // With tls: every TLS connection, control and data, must show a client
  // certificate that this CA issued.
  std::optional<std::filesystem::path> clientCa{};
  // Bytes per second (pyftpdlib only): the server takes uploads no faster,
  // as a busy or distant site does.
  std::size_t readLimit = 0;
  FtpsQuirk quirk = FtpsQuirk::None;
  // "::1" listens on IPv6 (vsftpd: its launcher does); any other loopback
  // address of IPv4 serves as well.
  std::string address = "127.0.0.1";
  // The ports passive mode hands out, first to last; 0, 0: any free one.
  std::pair<std::uint16_t, std::uint16_t> passivePorts{0, 0};
  // pyftpdlib only: a second account of this name, its password Password(),
  // whose login lands in Top()/<name> instead.
  std::string secondUser{};
};

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
  // How a server started for a test names `path`: on Windows the server runs
  // on the Linux side and sees its Unix path.
  static std::string ServerPath(const std::filesystem::path& path);

  // Raises std::runtime_error when the server does not come up or cannot
  // behave as `options` ask.
  explicit RealFtpServer(RealServerKind kind, RealServerOptions options = {});
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
  void StartPyftpdlib();
  void StartVsftpd();
  std::string VsftpdTlsSettings() const;
  // Starting differs by system: these start the server, or vsftpd behind an
  // inetd on options_.address, and give its port; the server's paths are
  // what ServerPath makes of ours.
  std::uint16_t Launch(const std::vector<std::string>& command);
  std::uint16_t LaunchInetd(const std::vector<std::string>& command);

  RealServerKind kind_;
  RealServerOptions options_;
  TempDir tree_;
  TempDir state_;  // configuration, outside the served tree
  std::filesystem::path loginDir_;
  std::string user_;
  std::string password_ = "secret";
  std::uint16_t port_ = 0;
  struct Running;  // the started server, by system
  struct Stop {
    void operator()(Running* running) const;
  };
  std::unique_ptr<Running, Stop> running_;
};

}  // namespace test
