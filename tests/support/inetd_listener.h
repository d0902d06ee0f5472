#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"

namespace test {

// A listener on 127.0.0.1 or another loopback address (AF_INET6: ::1) at a free port that starts `argv`
// for every connection it accepts, with the connection as the program's
// standard input and output, as inetd does: there is no start-up race, and
// a server that cannot listen on its own (vsftpd without a system account,
// sshd -i) serves one connection per process. Its processes are stopped when
// the object goes away.
class InetdListener {
 public:
  // Raises std::system_error when it cannot listen.
  InetdListener(std::vector<std::string> argv, int family, const std::string& ipv4 = "127.0.0.1");
  ~InetdListener();
  InetdListener(const InetdListener&) = delete;
  InetdListener& operator=(const InetdListener&) = delete;

  std::uint16_t Port() const { return port_; }

 private:
  void Serve();

  std::vector<std::string> argv_;
  std::uint16_t port_ = 0;
  int listener_ = -1;
  int stop_ = -1;  // eventfd: readable once the listener is being destroyed
  std::thread acceptor_;
  std::mutex childrenLock_;
  std::vector<std::unique_ptr<ChildProcess>> children_;
};

}  // namespace test
