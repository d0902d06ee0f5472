#pragma once

namespace platform {

// Starts Windows Sockets 2.2 for the process on the first call; later calls
// do nothing. Raises std::system_error when Winsock cannot start.
void StartWinsock();

}  // namespace platform
