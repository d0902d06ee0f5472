#include "app/site/transfer_log.h"

#include <unistd.h>

#include <cerrno>

#include "app/file_system.h"
#include "app/local_files.h"
#include "app/path_text.h"
#include "platform/one_line.h"

namespace app {

TransferLog::TransferLog(Clock now) : now_(std::move(now)) {}

TransferLog::~TransferLog() { Close(); }

void TransferLog::Open(const std::string& folder, Header header) {
  Close();
  path_ = JoinPath(folder, kFileName);
  // Never through a link, nor into a pipe or a device, someone put under
  // the log's name in a folder others may write.
  bool created = false;
  fd_ = OpenToAppend(path_, false);
  if (fd_ < 0 && errno == ENOENT) {
    fd_ = OpenToAppend(path_, true);
    created = fd_ >= 0;
  }
  if (fd_ < 0 && errno == ELOOP) throw EInOutError("Cannot open the transfer log \"" + path_ + "\": it is a symbolic link");
  if (fd_ < 0) RaiseIo("Cannot open the transfer log", path_, errno);
  const auto info = IdentityOf(fd_);
  if (!info || !info->regular) {
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
