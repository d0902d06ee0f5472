#include "ftp/replacement_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "ftp/ftp_errors.h"
#include "platform/file_io.h"

namespace ftp {
namespace {

std::atomic<unsigned> nextNumber{0};

}  // namespace

TReplacementFile::TReplacementFile(const std::string& target) : target_(target) {
  for (;;) {
    path_ = target + "." + std::to_string(getpid()) + "-" + std::to_string(nextNumber++) + ".part";
    const int fd = platform::OpenFile(path_, O_WRONLY | O_CREAT | O_EXCL);
    if (fd >= 0) {
      ::close(fd);
      return;
    }
    if (errno != EEXIST) RaiseFileError("Datei kann nicht angelegt werden", target);
  }
}

TReplacementFile::~TReplacementFile() {
  if (!committed_) ::unlink(path_.c_str());
}

void TReplacementFile::Commit() {
  if (platform::RenameOver(path_, target_) != 0)
    RaiseFileError("Datei kann nicht ersetzt werden", target_);
  committed_ = true;
}

}  // namespace ftp
