#include "ftp/tls_socket_bio.h"

#include <cerrno>
#include <cstdint>

#include "ftp/tls_connection.h"
#include "platform/sockets.h"

namespace ftp {
namespace {

platform::SocketHandle SocketOf(BIO* bio) {
  return static_cast<platform::SocketHandle>(reinterpret_cast<std::uintptr_t>(BIO_get_data(bio)));
}

bool Retriable(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

int ReadSocket(BIO* bio, char* into, int size) {
  BIO_clear_retry_flags(bio);
  const ssize_t got = platform::ReceiveSocket(SocketOf(bio), into, static_cast<std::size_t>(size), false);
  if (got < 0 && Retriable(errno)) BIO_set_retry_read(bio);
  // The TLS layer asks BIO_CTRL_EOF to tell an end of stream from a failure.
  if (got == 0 && size > 0) BIO_set_flags(bio, BIO_FLAGS_IN_EOF);
  return static_cast<int>(got);
}

int WriteSocket(BIO* bio, const char* bytes, int size) {
  BIO_clear_retry_flags(bio);
  const ssize_t sent = platform::SendSocket(SocketOf(bio), bytes, static_cast<std::size_t>(size));
  if (sent < 0 && Retriable(errno)) BIO_set_retry_write(bio);
  return static_cast<int>(sent);
}

long Control(BIO* bio, int command, long, void*) {
  switch (command) {
    case BIO_CTRL_FLUSH:
      return 1;  // nothing is buffered here
    case BIO_CTRL_EOF:
      return BIO_test_flags(bio, BIO_FLAGS_IN_EOF) != 0;
    default:
      return 0;
  }
}

int Create(BIO* bio) {
  BIO_set_init(bio, 1);
  return 1;
}

// The method table, made once and kept for the life of the process.
struct SocketMethod {
  BIO_METHOD* method = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "parcelo socket");
  SocketMethod() {
    if (!method) return;
    BIO_meth_set_read(method, ReadSocket);
    BIO_meth_set_write(method, WriteSocket);
    BIO_meth_set_ctrl(method, Control);
    BIO_meth_set_create(method, Create);
  }
  ~SocketMethod() { BIO_meth_free(method); }
};

}  // namespace

BIO* NewSocketBio(platform::SocketHandle socket) {
  static const SocketMethod socketMethod;
  BIO* bio = socketMethod.method ? BIO_new(socketMethod.method) : nullptr;
  if (!bio) throw ETlsError("TLS: out of memory");
  BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::uintptr_t>(socket)));
  return bio;
}

}  // namespace ftp
