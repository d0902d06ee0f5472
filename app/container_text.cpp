#include "app/container_text.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/transfer_log.h"

namespace app {
namespace {

constexpr char kCtrlZ = 26;

}  // namespace

ContainerText::ContainerText(int fd, std::size_t bufferSize) : fd_(fd), buffer_(bufferSize) {}

bool ContainerText::Fill() {
  if (begin_ < end_) return true;
  if (endOfFile_) return false;
  ssize_t n;
  do {
    n = read(fd_, buffer_.data(), buffer_.size());
  } while (n < 0 && errno == EINTR);
  if (n < 0) throw EInOutError(std::string("Cannot read the container: ") + std::strerror(errno));
  begin_ = 0;
  end_ = static_cast<std::size_t>(n);
  // Ctrl-Z ends the text: nothing after it is ever read.
  if (const void* stop = std::memchr(buffer_.data(), kCtrlZ, end_)) {
    end_ = static_cast<std::size_t>(static_cast<const char*>(stop) - buffer_.data());
    endOfFile_ = true;
  }
  if (n == 0) endOfFile_ = true;
  return begin_ < end_;
}

bool ContainerText::AtEnd() { return !Fill(); }

void ContainerText::ReadRest(const Piece& piece) {
  while (Fill()) {
    piece(std::string_view(buffer_.data() + begin_, end_ - begin_));
    begin_ = end_;
  }
}

void ContainerText::ReadLine(const Piece& piece) {
  while (Fill()) {
    const char* start = buffer_.data() + begin_;
    const auto* cr = static_cast<const char*>(std::memchr(start, '\r', end_ - begin_));
    if (!cr) {
      piece(std::string_view(start, end_ - begin_));
      begin_ = end_;
      continue;
    }
    const auto length = static_cast<std::size_t>(cr - start);
    if (length) piece(std::string_view(start, length));
    begin_ += length + 1;
    if (Fill() && buffer_[begin_] == '\n') ++begin_;
    return;
  }
}

}  // namespace app
