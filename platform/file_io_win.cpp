#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>

#include "platform/file_io.h"
#include "platform/wide_text.h"

namespace platform {

int OpenFile(const std::string& path, int flags, int mode) {
  const int permissions = (mode & 0200) ? _S_IREAD | _S_IWRITE : _S_IREAD;
  return ::_wopen(Widen(path).c_str(), flags | _O_BINARY | _O_NOINHERIT, permissions);
}

int RenameOver(const std::string& from, const std::string& to) {
  if (MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return 0;
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: errno = EACCES; break;
    default: errno = EIO; break;
  }
  return -1;
}

ssize_t ReadFileAt(int fd, char* into, std::size_t size, std::int64_t offset) {
  const auto file = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  if (file == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  const auto want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  if (ReadFile(file, into, want, &got, &at)) return got;
  if (GetLastError() == ERROR_HANDLE_EOF) return 0;
  errno = EIO;
  return -1;
}

}  // namespace platform
