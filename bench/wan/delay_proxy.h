#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace wan {

// What the simulated network between the clients and the server is like.
struct Link {
  std::chrono::microseconds rtt{0};
  double bytesPerSecond = 0;  // in each direction, shared by all connections; 0: no cap
};

// A wide-area network in user space, for the kernel here has no netem: a
// proxy on 127.0.0.1 that holds every byte back for half the round-trip time
// in each direction, at most at the rate cap, on control and data
// connections alike. It speaks enough FTP for passive mode: a 227 or 229
// reply on a control connection is rewritten to name a port of the proxy
// that leads to the server's data port. Once a control connection is
// protected (234 to AUTH TLS) its replies cannot be read, so for FTPS the
// proxy also mirrors a range of ports: 127.0.0.1:p leads to the server's p,
// and the server must hand out its passive ports from that range. Active
// mode (PORT, EPRT) is not carried: the server would reach the client past
// the proxy.
//
// The kernel completes a client's connect on loopback at once; the proxy
// opens its connection to the server 1.5 round trips later instead, so the
// greeting comes 2 round trips after the connect and bytes the client sends
// at once arrive when they would on a real network.
class DelayProxy {
 public:
  // Forwards to the server at `serverAddress` (IPv4 text, not 127.0.0.1).
  DelayProxy(const std::string& serverAddress, Link link);
  ~DelayProxy();
  DelayProxy(const DelayProxy&) = delete;
  DelayProxy& operator=(const DelayProxy&) = delete;

  // A port of 127.0.0.1 that leads to the server's control port. Before Start.
  std::uint16_t AddControlPort(std::uint16_t serverPort);
  // 127.0.0.1:p leads to the server's p for each p from first to last. Before Start.
  void MirrorPorts(std::uint16_t first, std::uint16_t last);
  // Takes effect for the bytes read from then on.
  void SetLink(Link link);
  void Start();

 private:
  class Loop;
  std::unique_ptr<Loop> loop_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace wan
