#include "ftp/minimum_rate.h"

#include <string>

#include "ftp/ftp_errors.h"

namespace ftp {
namespace {

std::string DurationText(std::chrono::milliseconds span) {
  const auto ms = span.count();
  return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

}  // namespace

MinimumRate::MinimumRate(std::optional<std::chrono::milliseconds> window)
    : window_(window), windowStart_(std::chrono::steady_clock::now()) {}

void MinimumRate::Check(std::int64_t bytesMoved) {
  if (!window_) return;
  const auto now = std::chrono::steady_clock::now();
  if (bytesAtStart_ < 0) bytesAtStart_ = bytesMoved;
  if (bytesMoved - bytesAtStart_ >= kMinBytes) {
    windowStart_ = now;
    bytesAtStart_ = bytesMoved;
    return;
  }
  if (now - windowStart_ < *window_) return;
  throw EAbortError("Übertragung zu langsam: weniger als "_ansi + std::to_string(kMinBytes) +
                    " Byte in " + DurationText(*window_));
}

}  // namespace ftp
