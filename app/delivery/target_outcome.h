#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/site/target_list.h"

namespace app {

// What became of one selected target in a send.
enum class TargetResult { kNotSent, kDelivered, kHandedOver, kFailed };

// Where a target stands while the send runs.
enum class TargetState { kWaiting, kSending, kRetrying, kDelivered, kFailed };

// Why an attempt failed: whether a later attempt may succeed (transient),
// or what stood in the way.
enum class FailureClass { kTransient, kPermanent, kVerification, kTls, kLocal, kChanged };

struct TargetFailure {
  FailureClass kind = FailureClass::kPermanent;
  std::string reply;  // the server's reply line (code and text), if any
  std::string text;   // the message, on one line
};

// One selected target: what it is, and how its delivery went.
struct TargetOutcome {
  std::size_t row = 0;  // its row of the target list
  rTargetList target;
  std::string protocol;  // "ftp", "ftps", "stowa"
  std::string host;
  int port = 0;
  std::string remoteName;
  std::string tempName;  // what the upload went to before its rename; empty: none
  bool textMode = false;  // ASCII, else binary
  TargetResult result = TargetResult::kNotSent;
  int attempts = 0;
  std::int64_t bytes = 0;
  std::string verifiedBy;  // "size", "sha256", ...; empty when nothing confirmed it
  std::string tls;         // protocol and cipher; empty without TLS
  double seconds = 0;
  std::optional<TargetFailure> error;

  bool GotIt() const { return result == TargetResult::kDelivered || result == TargetResult::kHandedOver; }
};

// "delivered", "handed-over", "failed", "not-sent".
const char* ResultName(TargetResult result);
// "transient", "permanent", "verification", "tls", "local", "changed".
const char* FailureClassName(FailureClass kind);

}  // namespace app
