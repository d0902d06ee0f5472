#pragma once

#include <functional>
#include <string>

#include "app/workflow_errors.h"

namespace app {

// The append-only transfer log "ParceloLog.txt" in the backup folder. Lines
// are Windows-1252 text ending in CR LF; each line reaches the file as it is
// written, so a crash never loses the record of a transfer.
class TransferLog {
 public:
  enum class Header { kNone, kWhenNew };
  using Clock = std::function<std::string()>;  // "date time" for the header line

  explicit TransferLog(Clock now);
  ~TransferLog();
  TransferLog(const TransferLog&) = delete;
  TransferLog& operator=(const TransferLog&) = delete;

  static constexpr const char* kFileName = "ParceloLog.txt";

  // Opens "<folder>/ParceloLog.txt" ("\" on Windows) for appending, creating it when missing
  // (with the two header lines when asked). Raises EInOutError when the file
  // cannot be opened or written, or is no regular file of its own name (a
  // symbolic link, a pipe).
  void Open(const std::string& folder, Header header);
  void Close();
  // Writes `text` as one line: line ends and other control characters in it
  // are written as escapes (\r, \n, \xNN). Raises EInOutError when the log is
  // not open or the line cannot be written.
  void WriteLine(const std::string& text);
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }

 private:
  Clock now_;
  std::string path_;
  int fd_ = -1;
};

}  // namespace app
