#pragma once

namespace ftp {

// The English text of a Windows Sockets error number, or nullptr when the
// table has no row for it (0 included).
const char* SocketErrorText(int error);

}  // namespace ftp
