#include "ftp/file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "ftp/ftp_errors.h"
#include "platform/file_io.h"

namespace ftp {

TLocalFile::TLocalFile(std::string path) : path_(std::move(path)) {
  fd_ = platform::OpenFile(path_, O_RDONLY);
  struct stat file {};
  if (fd_ >= 0 && ::fstat(fd_, &file) == 0 && S_ISREG(file.st_mode)) {
    size_ = file.st_size;
    return;
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
    errno = EISDIR;
  }
  RaiseFileError("Datei kann nicht geöffnet werden"_ansi, path_);
}

TLocalFile::~TLocalFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t TLocalFile::ReadAt(char* into, std::size_t size, std::int64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = platform::ReadFileAt(fd_, into + done, size - done, offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) RaiseFileError("Datei kann nicht gelesen werden", path_);
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

}  // namespace ftp
