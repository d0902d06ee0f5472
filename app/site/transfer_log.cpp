#include "app/site/transfer_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "app/local_files.h"
#include "platform/one_line.h"

namespace app {

TransferLog::TransferLog(Clock now) : now_(std::move(now)) {}

TransferLog::~TransferLog() { Close(); }

void TransferLog::Open(const std::string& folder, Header header) {
  Close();
  path_ = folder + "/" + kFileName;
  // Never through a link, nor into a pipe or a device, someone put under
  // the log's name in a folder others may write.
  constexpr int kFlags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  bool created = false;
  fd_ = open(path_.c_str(), kFlags);
  if (fd_ < 0 && errno == ENOENT) {
    fd_ = open(path_.c_str(), kFlags | O_CREAT | O_EXCL, 0644);
    created = fd_ >= 0;
  }
  if (fd_ < 0 && errno == ELOOP) throw EInOutError("Cannot open the transfer log \"" + path_ + "\": it is a symbolic link");
  if (fd_ < 0) RaiseIo("Cannot open the transfer log", path_, errno);
  struct stat info {};
  if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    Close();
    throw EInOutError("Cannot open the transfer log \"" + path_ + "\": it is no regular file");
  }
  if (created && header == Header::kWhenNew) {
    WriteLine("LOG - file for Parcelo Version 3.0");
    WriteLine("File gereate at " + now_());
  }
}

void TransferLog::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

void TransferLog::WriteLine(const std::string& text) {
  if (fd_ < 0) throw EInOutError("The transfer log \"" + path_ + "\" is not open");
  const std::string line = platform::OneLine(text) + "\r\n";
  WriteAll(fd_, line.data(), line.size(), "Cannot write the transfer log", path_);
}

}  // namespace app
