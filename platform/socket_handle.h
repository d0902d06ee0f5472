#pragma once

#include <cstdint>

namespace platform {

// A socket as the system's socket calls take it: a file descriptor on POSIX,
// a SOCKET (an unsigned handle the size of a pointer) on Windows.
#ifdef _WIN32
using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle kNoSocket = ~SocketHandle{0};
#else
using SocketHandle = int;
inline constexpr SocketHandle kNoSocket = -1;
#endif

}  // namespace platform
