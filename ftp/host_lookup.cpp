#include "ftp/host_lookup.h"

#include <netdb.h>

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

}  // namespace

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
