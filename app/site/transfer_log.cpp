#include "app/site/transfer_log.h"

#include <fcntl.h>
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
  const bool existed = access(path_.c_str(), F_OK) == 0;
  fd_ = open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) RaiseIo("Cannot open the transfer log", path_, errno);
  if (!existed && header == Header::kWhenNew) {
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
