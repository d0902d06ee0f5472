#pragma once

#include <cstdint>
#include <string>

#include "ftp/sent_bytes.h"

namespace ftp {

// The verdicts on an upload that the server did not store as it was sent,
// the same for every protocol. Both raise EVerifyError.
[[noreturn]] void RaiseIncompleteUpload(std::int64_t stored, std::int64_t sent);
[[noreturn]] void RaiseCorruptedUpload(THashKind kind, const std::string& theirs, const std::string& ours);

}  // namespace ftp
