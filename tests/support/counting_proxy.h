#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "support/socket_wait.h"

namespace test {

// A TCP proxy on 127.0.0.1 in front of a server's control port that counts
// what its clients hold open: MostAtOnce() is the largest number of
// connections open at any one moment, each counted from its accept until the
// client closes it. Only control connections pass: passive replies name the
// server's own address, and in active mode the server connects to the client.
class CountingProxy {
 public:
  explicit CountingProxy(std::uint16_t serverPort);
  ~CountingProxy();
  CountingProxy(const CountingProxy&) = delete;
  CountingProxy& operator=(const CountingProxy&) = delete;

  std::uint16_t Port() const { return port_; }
  int MostAtOnce() const { return most_; }

 private:
  void Serve();

  std::uint16_t serverPort_;
  std::uint16_t port_ = 0;
  platform::SocketHandle listener_ = platform::kNoSocket;
  StopSignal stop_;  // raised once the proxy is being destroyed
  std::atomic<int> most_ = 0;
  std::thread thread_;
};

}  // namespace test
