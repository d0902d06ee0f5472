#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/file_io.h"

namespace platform {

int OpenFile(const std::string& path, int flags, int mode) {
  return ::open(path.c_str(), flags | O_CLOEXEC, mode);
}

int RenameOver(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()); }

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  const passwd* user = getpwuid(getuid());
  return user && user->pw_dir ? user->pw_dir : "";
}

ssize_t ReadFileAt(int fd, char* into, std::size_t size, std::int64_t offset) {
  return ::pread(fd, into, size, static_cast<off_t>(offset));
}

}  // namespace platform
