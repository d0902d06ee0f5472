#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/inetd_listener.h"
#include "support/temp_dir.h"

namespace test {

enum class SftpPeer {
  Sshd,                 // OpenSSH's sshd: public keys only
  PasswordPeer,         // paramiko: password, public keys refused
  InteractivePeer,      // paramiko: keyboard-interactive, public keys refused
};

// How the SFTP subsystem behind sshd departs from OpenSSH's (sftp_quirks.py
// names them).
enum class SftpQuirk { None, Stall, Silent, HugeReply, WrongSize, CheckFile, WrongDigest };

struct RealSftpOptions {
  SftpPeer peer = SftpPeer::Sshd;
  SftpQuirk quirk = SftpQuirk::None;
  std::string address = "127.0.0.1";  // or "::1"
  bool ecdsaKeyToo = false;  // sshd: an ECDSA host key beside the Ed25519 one
};

// The host keys a test may name: the server's (Ed25519), one it does not
// have, and its ECDSA key (ecdsaKeyToo).
enum class HostKey { Main, Other, Ecdsa };

// An SSH server that nobody here wrote, on 127.0.0.1 or ::1 at a free port,
// run as the user running the tests (no root needed), one process per
// connection (sshd -i, or the paramiko peer). Its host key and a user key
// that it authorizes are made at start; SFTP paths are absolute, below Top().
class RealSftpServer {
 public:
  // Raises std::runtime_error when a key cannot be made.
  explicit RealSftpServer(RealSftpOptions options = {});

  std::uint16_t Port() const { return inetd_->Port(); }
  const std::string& User() const { return user_; }
  const std::string& Password() const { return password_; }
  const std::filesystem::path& UserKey() const { return userKey_; }
  // "SHA256:..." of a host key.
  std::string Fingerprint(HostKey key = HostKey::Main) const;
  // The known_hosts line of a host key for this server.
  std::string KnownHostsLine(HostKey key = HostKey::Main) const;
  const std::filesystem::path& Top() const { return tree_.Path(); }
  // The authentication methods that the paramiko peer saw tried, in order.
  std::vector<std::string> Attempts() const;

 private:
  std::string SshdConfig() const;

  RealSftpOptions options_;
  TempDir state_;  // keys, configuration, the attempts
  TempDir tree_;
  std::string user_;
  std::string password_ = "secret";
  std::filesystem::path userKey_;
  std::map<HostKey, std::filesystem::path> hostKeys_;
  std::unique_ptr<InetdListener> inetd_;
};

}  // namespace test
