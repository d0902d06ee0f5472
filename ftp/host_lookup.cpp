#include "ftp/host_lookup.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/sockets.h"
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

void Resolve(const std::string& name, int& error, std::vector<TNetAddress>& addresses) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = getaddrinfo(name.c_str(), nullptr, &hints, &found);
  error = platform::WinsockLookupError(result);
  for (const addrinfo* entry = result == 0 ? found : nullptr; entry; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6) continue;
    TNetAddress address;
    std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
    const bool known = std::any_of(addresses.begin(), addresses.end(), [&](const TNetAddress& other) {
      return other.SameHost(address) && other.Family() == address.Family();
    });
    if (!known) addresses.push_back(address);
  }
  // The name exists but has no address of a family we speak.
  if (error == 0 && addresses.empty()) error = 11004;
  if (found) freeaddrinfo(found);
}

}  // namespace

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
    std::vector<TNetAddress> addresses;
    Resolve(name, error, addresses);
    std::lock_guard guard(shared->lock);
    if (!shared->loop) return;
    shared->loop->Post([shared, error, addresses = std::move(addresses)] {
      Completion done;
      {
        std::lock_guard inner(shared->lock);
        if (!shared->loop) return;
        done = shared->done;
      }
      done(error, addresses);
    });
  }).detach();
}

THostLookup::~THostLookup() {
  std::lock_guard guard(shared_->lock);
  shared_->loop = nullptr;
  shared_->done = nullptr;
}

}  // namespace ftp
