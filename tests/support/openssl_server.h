#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/real_ftp_server.h"
#include "support/test_certificates.h"

namespace test {

// `openssl s_server` on 127.0.0.1 at a free port for one connection: a TLS
// peer that no FTP server here can play. It runs while the object lives.
class OpensslServer {
 public:
  // `options`: more of s_server's options. Raises std::runtime_error when it
  // does not come up in time.
  OpensslServer(const CertificateFiles& files, const std::vector<std::string>& options);
  ~OpensslServer();
  OpensslServer(const OpensslServer&) = delete;
  OpensslServer& operator=(const OpensslServer&) = delete;

  int Port() const { return port_; }

 private:
  struct Running;  // the started server, by system
  std::unique_ptr<Running> running_;
  int port_ = 0;
};

// The command line, with the paths as the server's side names them.
inline std::vector<std::string> OpensslServerCommand(const CertificateFiles& files,
                                                     const std::vector<std::string>& options) {
  std::vector<std::string> command{"openssl", "s_server", "-accept", "127.0.0.1:0", "-naccept", "1",
                                   "-cert", RealFtpServer::ServerPath(files.certificate),
                                   "-key", RealFtpServer::ServerPath(files.key)};
  command.insert(command.end(), options.begin(), options.end());
  return command;
}

// The port in the line the server announces its socket with.
constexpr const char* kOpensslReadyPrefix = "ACCEPT ";
inline int PortOfReadyLine(const std::string& line) { return std::stoi(line.substr(line.rfind(':') + 1)); }

}  // namespace test
