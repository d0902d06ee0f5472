#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace ftp {

// Ends a transfer that still moves, but too slowly ever to end: fewer than
// kMinBytes within a span of `window` (as curl's --speed-limit and
// --speed-time do). The idle time-out alone lets a byte every few seconds
// hold a transfer for ever.
class MinimumRate {
 public:
  static constexpr std::int64_t kMinBytes = 1024;

  // nullopt: no minimum.
  explicit MinimumRate(std::optional<std::chrono::milliseconds> window);
  // Takes the count of bytes moved so far; raises EAbortError "Übertragung zu
  // langsam: weniger als 1024 Byte in <window>" once a whole window has passed
  // since the count last grew by kMinBytes.
  void Check(std::int64_t bytesMoved);

 private:
  std::optional<std::chrono::milliseconds> window_;
  std::chrono::steady_clock::time_point windowStart_;
  std::int64_t bytesAtStart_ = -1;
};

}  // namespace ftp
