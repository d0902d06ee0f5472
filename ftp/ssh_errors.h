#pragma once

#include <cstdint>
#include <string>

#include "ftp/ftp_errors.h"

namespace ftp {

// Why an SSH server, or the check of its host key, refused. None of these
// goes away by trying again; failures of the network do, and they come as
// ESockError (refused, reset, cut off) or EAbortError (time-outs, a transfer
// too slow, a cancel).
enum class TSshFailure : std::uint8_t {
  HostKeyUnknown,         // neither pinned nor in a known_hosts file, and not accepted
  HostKeyChanged,         // differs from a pinned key or from one a known_hosts file holds
  AuthenticationRefused,  // the server took no key and no password
  PermissionDenied,       // the server refused access to a file or folder
  NoSuchFile,             // the file or folder does not exist
  FileExists,             // a rename found its new name taken
  Refused,                // any other refusal of a request, a channel or the SFTP subsystem
  Protocol,               // the peer broke the SSH or SFTP protocol
};

// A refusal of an SSH server or of its host key; the message says what and why.
class ESshError : public Exception {
 public:
  ESshError(TSshFailure kind, const std::string& message) : Exception(message), kind_(kind) {}
  TSshFailure Kind() const { return kind_; }

 private:
  TSshFailure kind_;
};

}  // namespace ftp
