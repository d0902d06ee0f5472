#include "delay_proxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <list>
#include <mutex>
#include <regex>
#include <stdexcept>
#include <utility>
#include <vector>

namespace wan {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::size_t kReadChunk = 65536;

sockaddr_in Address(const std::string& text, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (inet_pton(AF_INET, text.c_str(), &address.sin_addr) != 1) throw std::runtime_error("bad address " + text);
  return address;
}

int Listen(std::uint16_t port, std::uint16_t* bound) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address = Address("127.0.0.1", port);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 64) != 0) {
    ::close(fd);
    throw std::runtime_error("proxy cannot listen on port " + std::to_string(port));
  }
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  if (bound) *bound = ntohs(address.sin_port);
  return fd;
}

void NoDelay(int fd) {
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, 1 /* TCP_NODELAY */, &on, sizeof on);
}

struct Chunk {
  Clock::time_point due;
  std::string bytes;  // empty: the end of the stream
};

// One direction of a connection.
struct Flow {
  std::deque<Chunk> queue;
  std::size_t queued = 0;
  bool ended = false;     // the source closed
  bool shutDown = false;  // and that was passed on
  std::size_t written = 0;  // of the head chunk
};

struct Pair {
  int client = -1;
  int server = -1;
  std::uint16_t serverPort = 0;
  bool control = false;
  bool readable = false;  // a control connection whose replies are still plain text
  std::string partialLine;
  Clock::time_point connectAt;
  bool connecting = false;
  bool connected = false;
  Flow up;    // client to server
  Flow down;  // server to client
  bool dead = false;
};

struct Listener {
  int fd = -1;
  std::uint16_t serverPort = 0;
  bool control = false;
  bool once = false;  // a port a rewritten passive reply named: one connection
};

}  // namespace

class DelayProxy::Loop {
 public:
  Loop(const std::string& serverAddress, Link link) : server_(serverAddress) { SetLink(link); }
  ~Loop() {
    for (auto& listener : listeners_) ::close(listener.fd);
    for (auto& pair : pairs_) Close(pair);
  }

  std::uint16_t AddListener(std::uint16_t localPort, std::uint16_t serverPort, bool control, bool once) {
    std::uint16_t bound = 0;
    listeners_.push_back({Listen(localPort, &bound), serverPort, control, once});
    return bound;
  }

  void SetLink(Link link) {
    std::lock_guard guard(lock_);
    link_ = link;
  }

  void Run(const std::atomic<bool>& stop) {
    while (!stop) {
      const auto now = Clock::now();
      StartConnects(now);
      for (auto& pair : pairs_) {
        Deliver(pair, pair.up, pair.server, now);
        Deliver(pair, pair.down, pair.client, now);
        if (pair.up.shutDown && pair.down.shutDown) pair.dead = true;
      }
      std::erase_if(pairs_, [this](Pair& pair) {
        if (pair.dead) Close(pair);
        return pair.dead;
      });
      Poll(now);
    }
  }

 private:
  Link CurrentLink() {
    std::lock_guard guard(lock_);
    return link_;
  }

  void Close(Pair& pair) {
    if (pair.client >= 0) ::close(pair.client);
    if (pair.server >= 0) ::close(pair.server);
    pair.client = pair.server = -1;
  }

  // Bytes in flight a direction holds before it stops reading: a window
  // big enough for the rate over the round trip, as a TCP window would be.
  std::size_t Window(const Link& link) const {
    const double rtt = std::chrono::duration<double>(link.rtt).count();
    if (link.bytesPerSecond <= 0) return 8u << 20;
    return std::max<std::size_t>(256 << 10, static_cast<std::size_t>(2 * link.bytesPerSecond * rtt));
  }

  Clock::time_point Due(Clock::time_point& linkFree, std::size_t bytes, Clock::time_point now, const Link& link) {
    Clock::time_point sent = now;
    if (link.bytesPerSecond > 0 && bytes > 0) {
      linkFree = std::max(linkFree, now) +
                 std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(bytes / link.bytesPerSecond));
      sent = linkFree;
    }
    return sent + link.rtt / 2;
  }

  void Queue(Flow& flow, Clock::time_point& linkFree, std::string bytes, Clock::time_point now) {
    const Link link = CurrentLink();
    Chunk chunk{Due(linkFree, bytes.size(), now, link), std::move(bytes)};
    // A stream keeps its order whatever the link did meanwhile.
    if (!flow.queue.empty()) chunk.due = std::max(chunk.due, flow.queue.back().due);
    flow.queued += chunk.bytes.size();
    flow.queue.push_back(std::move(chunk));
  }

  void StartConnects(Clock::time_point now) {
    for (auto& pair : pairs_) {
      if (pair.connecting || pair.dead || now < pair.connectAt) continue;
      pair.connecting = true;
      pair.server = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      NoDelay(pair.server);
      const sockaddr_in address = Address(server_, pair.serverPort);
      if (::connect(pair.server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
          errno != EINPROGRESS)
        pair.dead = true;
    }
  }

  void Deliver(Pair& pair, Flow& flow, int to, Clock::time_point now) {
    if (pair.dead || to < 0 || (to == pair.server && !pair.connected)) return;
    while (!flow.queue.empty() && flow.queue.front().due <= now) {
      Chunk& head = flow.queue.front();
      if (head.bytes.empty()) {
        ::shutdown(to, SHUT_WR);
        flow.shutDown = true;
        flow.queue.pop_front();
        continue;
      }
      const ssize_t sent = ::send(to, head.bytes.data() + flow.written, head.bytes.size() - flow.written, MSG_NOSIGNAL);
      if (sent < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) return;
        // The receiver is gone: what it would have got goes nowhere.
        flow.queue.clear();
        flow.queued = 0;
        flow.shutDown = true;
        return;
      }
      flow.written += static_cast<std::size_t>(sent);
      if (flow.written < head.bytes.size()) return;
      flow.queued -= head.bytes.size();
      flow.written = 0;
      flow.queue.pop_front();
    }
  }

  void Poll(Clock::time_point now) {
    const Link link = CurrentLink();
    const std::size_t window = Window(link);
    std::vector<pollfd> fds;
    for (auto& listener : listeners_) fds.push_back({listener.fd, POLLIN, 0});
    auto next = now + 50ms;
    auto waitFor = [&](const Flow& flow, bool connected) {
      if (!connected || flow.queue.empty()) return short{0};
      if (flow.queue.front().due > now) {
        next = std::min(next, flow.queue.front().due);
        return short{0};
      }
      return short{POLLOUT};
    };
    for (auto& pair : pairs_) {
      if (!pair.connecting) next = std::min(next, pair.connectAt);
      const short toServer = waitFor(pair.up, pair.connected);
      const short toClient = waitFor(pair.down, true);
      short clientEvents = toClient;
      if (!pair.up.ended && pair.up.queued < window) clientEvents |= POLLIN;
      short serverEvents = pair.connected ? toServer : pair.connecting ? short{POLLOUT} : short{0};
      if (pair.connected && !pair.down.ended && pair.down.queued < window) serverEvents |= POLLIN;
      fds.push_back({pair.client, clientEvents, 0});
      fds.push_back({pair.connecting ? pair.server : -1, serverEvents, 0});
    }
    const auto wait = std::max(Clock::duration::zero(), next - now);
    const timespec timeout{static_cast<time_t>(std::chrono::duration_cast<std::chrono::seconds>(wait).count()),
                           static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count() % 1000000000)};
    if (::ppoll(fds.data(), fds.size(), &timeout, nullptr) < 0) return;
    const auto after = Clock::now();
    std::size_t i = 0;
    for (std::size_t l = 0; l < listeners_.size(); ++l, ++i)
      if (fds[i].revents & POLLIN) Accept(listeners_[l], after);
    for (auto it = pairs_.begin(); it != pairs_.end() && i + 1 < fds.size(); ++it, i += 2) {
      Pair& pair = *it;
      if (pair.dead) continue;
      if (pair.connecting && !pair.connected && (fds[i + 1].revents & (POLLOUT | POLLERR | POLLHUP))) {
        int error = 0;
        socklen_t length = sizeof error;
        getsockopt(pair.server, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0) pair.dead = true;
        pair.connected = error == 0;
        continue;
      }
      if (!pair.up.ended && (fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
        Read(pair, pair.client, pair.up, upFree_, after, false);
      if (pair.connected && !pair.down.ended && (fds[i + 1].revents & (POLLIN | POLLHUP | POLLERR)))
        Read(pair, pair.server, pair.down, downFree_, after, pair.readable);
    }
    std::erase_if(listeners_, [](const Listener& listener) { return listener.fd < 0; });
  }

  void Accept(Listener& listener, Clock::time_point now) {
    const int fd = ::accept4(listener.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    NoDelay(fd);
    Pair pair;
    pair.client = fd;
    pair.serverPort = listener.serverPort;
    pair.control = listener.control;
    pair.readable = listener.control;
    // SYN, SYN-ACK and ACK before the server accepts.
    pair.connectAt = now + CurrentLink().rtt * 3 / 2;
    pairs_.push_back(std::move(pair));
    if (listener.once) {
      ::close(listener.fd);
      listener.fd = -1;
    }
  }

  void Read(Pair& pair, int from, Flow& flow, Clock::time_point& linkFree, Clock::time_point now, bool replies) {
    std::string bytes(kReadChunk, '\0');
    const ssize_t got = ::recv(from, bytes.data(), bytes.size(), 0);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    // A reset ends the stream too; the other side learns of it a half round trip later.
    bytes.resize(static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    if (got <= 0) {
      flow.ended = true;
      if (!pair.partialLine.empty()) Queue(flow, linkFree, std::exchange(pair.partialLine, {}), now);
      Queue(flow, linkFree, {}, now);
      return;
    }
    if (replies) bytes = RewriteReplies(pair, bytes);
    if (!bytes.empty()) Queue(flow, linkFree, std::move(bytes), now);
  }

  // The complete reply lines among `bytes`, passive replies rewritten; a
  // partial line waits for the rest.
  std::string RewriteReplies(Pair& pair, const std::string& bytes) {
    pair.partialLine += bytes;
    std::string out;
    std::size_t start = 0;
    for (std::size_t lf; pair.readable && (lf = pair.partialLine.find('\n', start)) != std::string::npos;
         start = lf + 1) {
      std::string line = pair.partialLine.substr(start, lf + 1 - start);
      if (line.starts_with("234")) pair.readable = false;  // TLS from the next byte on
      out += Rewritten(line);
    }
    pair.partialLine.erase(0, start);
    if (!pair.readable) out += std::exchange(pair.partialLine, {});
    return out;
  }

  std::string Rewritten(const std::string& line) {
    static const std::regex pasv(R"(^(227[^(]*\()\s*\d+\s*,\s*\d+\s*,\s*\d+\s*,\s*\d+\s*,\s*(\d+)\s*,\s*(\d+)\s*(\).*)$)");
    static const std::regex epsv(R"(^(229[^(]*\(\|\|\|)(\d+)(\|\).*)$)");
    std::smatch match;
    std::string text = line;
    const std::string end = text.ends_with("\r\n") ? "\r\n" : "\n";
    text.resize(text.size() - end.size());
    if (std::regex_match(text, match, pasv)) {
      const int port = std::stoi(match[2]) * 256 + std::stoi(match[3]);
      const std::uint16_t ours = AddListener(0, static_cast<std::uint16_t>(port), false, true);
      return match[1].str() + "127,0,0,1," + std::to_string(ours >> 8) + "," + std::to_string(ours & 255) +
             match[4].str() + end;
    }
    if (std::regex_match(text, match, epsv)) {
      const std::uint16_t ours = AddListener(0, static_cast<std::uint16_t>(std::stoi(match[2])), false, true);
      return match[1].str() + std::to_string(ours) + match[3].str() + end;
    }
    return line;
  }

  std::string server_;
  std::mutex lock_;
  Link link_;
  std::vector<Listener> listeners_;
  std::list<Pair> pairs_;
  // When each direction of the link is free again, for the rate cap.
  Clock::time_point upFree_{};
  Clock::time_point downFree_{};
};

DelayProxy::DelayProxy(const std::string& serverAddress, Link link)
    : loop_(std::make_unique<Loop>(serverAddress, link)) {}

DelayProxy::~DelayProxy() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::uint16_t DelayProxy::AddControlPort(std::uint16_t serverPort) {
  return loop_->AddListener(0, serverPort, true, false);
}

void DelayProxy::MirrorPorts(std::uint16_t first, std::uint16_t last) {
  for (unsigned port = first; port <= last; ++port)
    loop_->AddListener(static_cast<std::uint16_t>(port), static_cast<std::uint16_t>(port), false, false);
}

void DelayProxy::SetLink(Link link) { loop_->SetLink(link); }

void DelayProxy::Start() {
  thread_ = std::thread([this] { loop_->Run(stop_); });
}

}  // namespace wan
