#pragma once

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/site/target_list.h"
#include "ftp/tls_connection.h"
#include "ftp/tls_mode.h"

namespace ftp {
class TFileSource;
}

namespace app {

class SessionThread;

// What one attempt at one target needs. It runs on a session thread; the
// snapshot serves several attempts at once.
struct AttemptRequest {
  rTargetList target;
  std::string host;  // from the target's address, with the site's port where it names none
  int port = 21;
  ftp::TFileSource* container = nullptr;
  std::string containerText;  // the container as the user named it, for the log
  std::string remoteIdent;    // the first part of the remote name
  bool textMode = false;
  std::string user;
  std::string password;
  ftp::TTlsMode tlsMode = ftp::TTlsMode::None;
  ftp::TTlsSettings tls;
  // SFTP: Parcelo's own known_hosts, and who decides on a key nobody knows
  // (called on the session's thread; it may block); none: refused.
  std::string knownHostsFile;
  std::function<bool(const std::string& host, const std::string& fingerprint)> trustHostKey;
  int timeOut = 5000;
  int slowTimeOut = -1;
  // A file an earlier attempt left in the target's folder, removed first.
  std::string leftover;
  // Takes a remote name for this target before the server is asked about
  // it; false: another target of the send has it for the same folder.
  std::function<bool(const std::string& name)> claimName = [](const std::string&) { return true; };
};

// How an attempt went.
struct AttemptResult {
  bool delivered = false;
  std::string remoteName;
  std::int64_t bytes = 0;
  std::string verifiedBy;
  std::string tls;  // protocol and cipher
  std::string tempName;  // what the upload went to before its rename; empty: none
  // What a failed upload stored and could not remove (the connection broke).
  std::string leftBehind;
  std::exception_ptr error;
};

// What an attempt reports while it runs, from its own thread, in order.
class AttemptEvents {
 public:
  virtual ~AttemptEvents() = default;
  virtual void LogLine(const std::string& text) = 0;
  // A status text; `now`: the caller works on without handling events.
  virtual void Status(const std::string& text, bool now) = 0;
  // The client's connection error: shown to the user and logged.
  virtual void ConnectionError(const std::string& text) = 0;
  // A command the server refused, by its kind (the FTP client's TCmdType).
  virtual void Refused(int commandKind) = 0;
  // The server took the transfer type: text (ASCII) or binary.
  virtual void TransferModeSet(bool text) = 0;
  virtual void Progress(std::int64_t sent, std::int64_t size) = 0;
  // The server confirmed the upload.
  virtual void Uploaded() = 0;
};

// The first free remote name of the request's ident from now on: the name
// of this moment, else the stamps two seconds on, as often as it takes (a
// name is free when the request can claim it and `exists` does not say it
// is taken; nullopt: it cannot tell). Raises Exception when none of a
// hundred is free.
std::string FreeRemoteName(const AttemptRequest& request,
                           const std::function<std::optional<bool>(const std::string&)>& exists);

// The name an upload goes to before it is renamed to `remoteName`: the
// target's `pattern` with "*" replaced; `remoteName` itself without one.
std::string StoredName(const std::string& pattern, const std::string& remoteName);

// The upload's steps that every transport shares: the first free remote
// name (logged with the source), the temporary name the bytes go to first
// (logged when the target has one), `store` to that name, then `rename` to
// the final name, taking the next free one when it was taken meanwhile.
// Fills the result's names; `storedAs` says what a failure may have left.
// Raises what the steps raise.
void UploadUnderFreeName(const AttemptRequest& request, AttemptEvents& events,
                         const std::function<std::optional<bool>(const std::string&)>& exists,
                         const std::function<void(const std::string& name)>& store,
                         const std::function<void(const std::string& from, const std::string& to)>& rename,
                         AttemptResult& result, std::string& storedAs);

// Passes an upload's progress on, not more often than the window can use it.
class ProgressThrottle {
 public:
  explicit ProgressThrottle(AttemptEvents& events) : events_(events) {}
  void operator()(std::int64_t sent, std::int64_t size);

 private:
  AttemptEvents& events_;
  std::chrono::steady_clock::time_point last_{};
};

// One way of delivering a container to a target.
class Transport {
 public:
  virtual ~Transport() = default;
  // Runs on `session`'s thread; never raises: a failure is the result's error.
  virtual AttemptResult Attempt(const AttemptRequest& request, AttemptEvents& events, SessionThread& session) = 0;
  // Removes `request.leftover` on a connection of its own, where the server
  // can be reached. Runs on `session`'s thread; never raises.
  virtual void RemoveLeftover(const AttemptRequest& request, AttemptEvents& events, SessionThread& session) = 0;
};

}  // namespace app
