#include "platform/winsock_startup.h"

#include <winsock2.h>

#include <system_error>

namespace platform {

void StartWinsock() {
  // Never cleaned up: sockets may be closed by static destructors at exit.
  static const int started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
  }();
  if (started != 0) throw std::system_error(started, std::system_category(), "WSAStartup");
}

}  // namespace platform
