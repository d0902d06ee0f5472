#include "ftp/reply_bounds.h"

#include "ftp/ftp_errors.h"

namespace ftp {

void ReplyBounds::Open(std::optional<std::chrono::milliseconds> limit) {
  open_ = true;
  deadline_.reset();
  if (limit) deadline_ = std::chrono::steady_clock::now() + *limit;
  lines_ = 0;
  bytes_ = 0;
}

void ReplyBounds::CountBytes(std::size_t bytes) {
  bytes_ += bytes;
  if (bytes_ > kMaxBytes) throw ESockError("Antwort zu lang");
}

void ReplyBounds::CountLine() {
  if (++lines_ > kMaxLines) throw ESockError("Antwort zu lang");
}

void ReplyBounds::CheckTime() const {
  if (!deadline_ || std::chrono::steady_clock::now() < *deadline_) return;
  if (bytes_ == 0) throw EAbortError("Zeitüberschreitung beim Warten auf Antwort"_ansi);
  throw EAbortError("Zeitüberschreitung beim Lesen der Antwort"_ansi);
}

}  // namespace ftp
