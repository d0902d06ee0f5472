#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/file_io.h"

namespace platform {

int OpenFile(const std::string& path, int flags, int mode) {
  return ::open(path.c_str(), flags | O_CLOEXEC, mode);
}

int RenameOver(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()); }

ssize_t ReadFileAt(int fd, char* into, std::size_t size, std::int64_t offset) {
  return ::pread(fd, into, size, static_cast<off_t>(offset));
}

}  // namespace platform
