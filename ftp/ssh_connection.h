#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/socket_handle.h"

namespace ftp {

// Where a step of the SSH layer stands. The connection never waits: WantRead
// and WantWrite ask the caller to wait until the socket is readable or
// writable and then to repeat the same call.
enum class SshStatus {
  Done,       // the step is complete (an authentication: accepted)
  WantRead,
  WantWrite,
  Denied,     // an authentication that the server did not accept
  Closed,     // Read: the server ended the channel
};

// The outcome of Read and Write: `bytes` moved when Done.
struct SshTransfer {
  SshStatus status;
  std::size_t bytes;
};

// What a known_hosts file says of the server's host key.
enum class TKnownHost { Unknown, Match, Changed };

// The authentication methods a server names.
enum SshMethod : unsigned {
  kSshPublicKey = 1,
  kSshPassword = 2,
  kSshKeyboardInteractive = 4,
};

// The SSH layer of one connection (libssh, in non-blocking mode) over a
// connected, non-blocking TCP socket that the caller keeps open for the
// connection's lifetime. The library works on a duplicate of the socket,
// which it closes itself. Nothing of the library shows outside this class.
//
// A failure raises ESockError when the connection ended under the step (the
// network or the server cut it), else ESshError naming the step and the
// library's reason.
class TSshConnection {
 public:
  // `host` and `port` name the server as known_hosts files do; `user` is the
  // account (empty: the local user's name). Raises ESshError when the library
  // cannot take the socket.
  TSshConnection(platform::SocketHandle socket, const std::string& host, int port, const std::string& user);
  ~TSshConnection();
  TSshConnection(const TSshConnection&) = delete;
  TSshConnection& operator=(const TSshConnection&) = delete;

  // Before the key exchange: asks for the host key types that these
  // known_hosts files hold for the server first, so that a server with
  // several keys shows one that a file can vouch for. Empty: none.
  void PreferKeyTypesOf(const std::string& file, const std::string& otherFile);
  // The banner exchange and the key exchange.
  SshStatus KeyExchange();
  // Of the server's host key, once the key exchange is done: "SHA256:<base64>"
  // as OpenSSH prints it, and the line that a known_hosts file keeps for it.
  std::string HostKeyFingerprint() const;
  std::string KnownHostsLine() const;
  // What `file` (OpenSSH's format, hashed names included) says of the key.
  // A missing file knows nothing.
  TKnownHost LookUp(const std::string& file);
  // "curve25519-sha256 aes256-gcm@openssh.com": the key exchange and the cipher.
  std::string Algorithms() const;

  // The empty authentication: Done when the server needs none, else Denied;
  // then Methods() tells what it accepts.
  SshStatus AuthenticateNone();
  unsigned Methods() const;
  // Each key of the running ssh-agent in turn; Denied when no agent runs.
  SshStatus AuthenticateByAgent();
  // The private key in `file`; Denied also when it cannot be read without a
  // passphrase.
  SshStatus AuthenticateByKey(const std::string& file);
  SshStatus AuthenticateByPassword(const std::string& password);
  // Keyboard-interactive, answering a single hidden prompt with `password`;
  // Denied when the server asks for more.
  SshStatus AuthenticateInteractively(const std::string& password);

  // A session channel with the "sftp" subsystem.
  SshStatus OpenSftp();
  // Bytes from the channel into `buffer`; Closed when the server ended it.
  SshTransfer Read(char* buffer, std::size_t size);
  // Bytes into the channel, as many as its window takes.
  SshTransfer Write(const char* bytes, std::size_t size);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ftp
