#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// open() for a UTF-8 path: always in binary mode (Windows would otherwise
// turn CR LF into LF and stop at Ctrl-Z) and never inherited by started
// programs. -1 with errno on failure.
int OpenFile(const std::string& path, int flags, int mode = 0666);

// rename() that replaces an existing `to` on every system (Windows' rename()
// refuses to). -1 with errno on failure.
int RenameOver(const std::string& from, const std::string& to);

// pread(): reads up to `size` bytes at `offset` without moving the file position.
ssize_t ReadFileAt(int fd, char* into, std::size_t size, std::int64_t offset);

}  // namespace platform
