#pragma once

#include <chrono>
#include <cstddef>
#include <optional>

namespace ftp {

// The bounds of one reply on a control connection, over all its lines: it
// must be complete within a total time and stay below a size. A server that
// trickles a reply or never ends it fails here instead of holding the client
// for ever; the idle time-out alone restarts with every byte.
class ReplyBounds {
 public:
  // Far beyond any sane reply (a long FEAT or HELP has some dozens of lines).
  static constexpr std::size_t kMaxLines = 1000;
  static constexpr std::size_t kMaxBytes = 256 * 1024;

  // Starts a reply that must be complete within `limit` (nullopt: no time bound).
  void Open(std::optional<std::chrono::milliseconds> limit);
  void Close() { open_ = false; }
  bool IsOpen() const { return open_; }
  // Counts bytes of the reply; raises ESockError "Antwort zu lang" past kMaxBytes.
  void CountBytes(std::size_t bytes);
  // Counts a complete line; raises ESockError "Antwort zu lang" past kMaxLines.
  void CountLine();
  // Once the time is up raises EAbortError "Zeitüberschreitung beim Warten auf
  // Antwort" when nothing came, else "Zeitüberschreitung beim Lesen der Antwort".
  void CheckTime() const;

 private:
  bool open_ = false;
  std::optional<std::chrono::steady_clock::time_point> deadline_;
  std::size_t lines_ = 0;
  std::size_t bytes_ = 0;
};

}  // namespace ftp
