#include "ftp/host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>
#include <mutex>
#include <thread>

#include "platform/winsock_error.h"

namespace ftp {

// Outlives both sides: the requester clears `loop` when it gives up, the
// worker posts only while it is set.
struct THostLookup::Shared {
  std::mutex lock;
  platform::EventLoop* loop;
  Completion done;
};

namespace {

void Resolve(const std::string& name, int& error, in_addr_t& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = getaddrinfo(name.c_str(), nullptr, &hints, &found);
  error = platform::WinsockLookupError(result);
  address = 0;
  if (result == 0 && found) {
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  } else if (error == 0) {
    error = 11004;  // the name exists but has no IPv4 address
  }
  if (found) freeaddrinfo(found);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<in_addr_t> DottedAddress(const std::string& text) {
  std::uint32_t address = 0;
  std::size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0 && (at >= text.size() || text[at++] != '.')) return std::nullopt;
    const std::size_t start = at;
    unsigned value = 0;
    while (at < text.size() && at - start < 3 && IsDigit(text[at]))
      value = value * 10 + static_cast<unsigned>(text[at++] - '0');
    if (at == start || value > 255) return std::nullopt;
    address = address << 8 | value;
  }
  if (at != text.size()) return std::nullopt;
  return htonl(address);
}

bool HasControlCharacter(const std::string& name) {
  return std::any_of(name.begin(), name.end(),
                     [](unsigned char c) { return c < 0x20 || c == 0x7f; });
}

THostLookup::THostLookup(platform::EventLoop& loop, const std::string& name, Completion done)
    : shared_(std::make_shared<Shared>()) {
  shared_->loop = &loop;
  shared_->done = std::move(done);
  std::thread([shared = shared_, name] {
    int error;
    in_addr_t address;
    Resolve(name, error, address);
    std::lock_guard guard(shared->lock);
    if (!shared->loop) return;
    shared->loop->Post([shared, error, address] {
      Completion done;
      {
        std::lock_guard inner(shared->lock);
        if (!shared->loop) return;
        done = shared->done;
      }
      done(error, address);
    });
  }).detach();
}

THostLookup::~THostLookup() {
  std::lock_guard guard(shared_->lock);
  shared_->loop = nullptr;
  shared_->done = nullptr;
}

}  // namespace ftp
