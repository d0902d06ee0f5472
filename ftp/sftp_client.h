#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ftp/file_source.h"
#include "ftp/sent_bytes.h"
#include "ftp/ssh_errors.h"

namespace ftp {

class TSftpChannel;
class TSftpReply;
class TSshConnection;
class TSshSocket;

constexpr int kSftpPort = 22;

// What the caller decides for a host key that nobody has vouched for yet.
enum class THostKeyDecision { Refuse, AcceptAndRemember };

// The private keys tried after the agent: PARCELO_SSH_KEY when it is set,
// else ~/.ssh/id_ed25519, id_ecdsa and id_rsa.
std::vector<std::string> DefaultSshKeyFiles();
// ~/.ssh/known_hosts.
std::string DefaultUserKnownHostsFile();

// An SFTP client: SSH through libssh over a socket session of the calling
// thread's event loop, and SFTP version 3 on top. Every wait is the socket
// session's, bounded as the FTP client's are: the connect, the key exchange,
// each authentication step and each reply within TimeOut; an upload fails
// when the server acknowledges nothing for TimeOut, or less than 1,024 bytes
// over SlowTimeOut. Construct it anywhere; Connect and everything after it
// run on one thread, whose loop keeps running during the waits.
//
// Failures raise ESockError (refused, reset, cut off: worth another try),
// EAbortError (time-outs, too slow, cancelled: worth another try), ESshError
// (the server or its host key refused: permanent, see Kind()), and Exception
// for local causes (the file, a remote name with a slash) and for an upload
// that the server did not store as sent. After a network failure, a
// time-out, a broken protocol or a failure amid an upload's data the
// connection is closed; after a refused request or a failed check it stays.
class TSftpClient {
 public:
  using TStatusEvent = std::function<void(const std::string& Status)>;
  using TNoteEvent = std::function<void(const std::string& Note)>;
  using TProgressEvent = std::function<void(std::int64_t Sent, std::int64_t Size)>;
  // `Host` as the user knows the server ("name", or "name:port" off port
  // 22), `Fingerprint` "SHA256:<base64>".
  using THostKeyEvent = std::function<THostKeyDecision(const std::string& Host, const std::string& Fingerprint)>;

  TSftpClient();
  ~TSftpClient();
  TSftpClient(const TSftpClient&) = delete;
  TSftpClient& operator=(const TSftpClient&) = delete;

  std::string Host;
  int Port = kSftpPort;
  std::string UserID;    // empty: the local user's name
  std::string Password;  // tried after the keys; never shown in a text
  int TimeOut = 0;       // milliseconds, as TSockSession's; 0 = unbounded
  int SlowTimeOut = -1;  // as TSockSession's
  int ReportLevel = 0;   // 1: steps and notes through OnStatus; 8: the socket's steps too
  // "SHA256:<base64>" fingerprints. When there are any, the host key must be
  // one of them and nothing else is asked.
  std::vector<std::string> PinnedHostKeys;
  // Parcelo's own known_hosts: asked first, and where accepted keys go.
  std::string KnownHostsFile;
  // Asked second, never written.
  std::string UserKnownHostsFile = DefaultUserKnownHostsFile();
  bool UseAgent = true;
  std::vector<std::string> KeyFiles = DefaultSshKeyFiles();

  TStatusEvent OnStatus;
  // What an upload found worth recording: "verified: 1234 bytes",
  // "verified: SHA-256 ...", that it went byte for byte, a key accepted.
  TNoteEvent OnTransferNote;
  // Bytes the server has acknowledged so far.
  TProgressEvent OnProgress;
  // A host key neither pinned nor in a known_hosts file; unset: refused.
  THostKeyEvent OnUnknownHostKey;

  // Connects, checks the host key (no key or password goes out before it is
  // accepted), authenticates (ssh-agent, KeyFiles, then Password) and starts
  // SFTP. Does nothing when connected. Raises ESshError HostKeyUnknown,
  // HostKeyChanged or AuthenticationRefused, or a network failure.
  void Connect();
  bool Connected() const { return channel_ != nullptr; }
  // "SSH: curve25519-sha256 aes128-gcm@openssh.com, host key SHA256:...".
  const std::string& Description() const { return description_; }

  // Stores the bytes of `source` as `name` in `folder` (empty: the login
  // folder), replacing a file of that name, and checks what the server then
  // reports: its size, and its digest where it offers check-file. Raises
  // ESshError NoSuchFile when there is no such folder.
  void Upload(TFileSource& source, const std::string& folder, const std::string& name);
  // The size of `name` in `folder` (-1 when the server tells none); nullopt
  // when there is no such name.
  std::optional<std::int64_t> Exists(const std::string& folder, const std::string& name);
  // Renames `from` to `to` in `folder`, never replacing a file: ESshError
  // FileExists when `to` is there.
  void Rename(const std::string& folder, const std::string& from, const std::string& to);
  void Delete(const std::string& folder, const std::string& name);
  // Ends the connection; does nothing when not connected.
  void Disconnect();
  // Ends the wait in progress with EAbortError (call it on the client's thread).
  void Abort();

 private:
  void Status(int level, const std::string& text) const;
  void Note(const std::string& text) const;
  void Close();
  void CheckHostKey();
  void Remember(const std::string& line);
  void Authenticate();
  TSftpChannel& Channel();
  // Runs one operation; a failure that leaves the stream in doubt closes the connection.
  template <class Operation>
  auto Guarded(const Operation& operation);
  std::string RemotePath(const std::string& folder, const std::string& name) const;
  // Raises for a STATUS reply other than OK, naming `what` ("the upload of x").
  void ExpectOk(TSftpReply& reply, const std::string& what) const;
  [[noreturn]] void RaiseStatus(TSftpReply& reply, const std::string& what) const;
  void CheckFolder(const std::string& folder);
  std::string Open(const std::string& path);
  void SendBytes(TFileSource& source, const std::string& handle, const std::string& path, TSentBytes& sent);
  void VerifyUpload(const std::string& path, TSentBytes& sent);
  void VerifyDigest(const std::string& path, TSentBytes& sent);
  THashKind OfferedDigest() const;

  std::unique_ptr<TSshSocket> socket_;
  std::unique_ptr<TSshConnection> ssh_;
  std::unique_ptr<TSftpChannel> channel_;
  std::map<std::string, std::string> extensions_;
  std::string description_;
};

}  // namespace ftp
