#include "app/container/container_text.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/workflow_errors.h"
#include "app/container/utf8_sequence.h"

namespace app {
namespace {

constexpr char kCtrlZ = 26;

void RequireText(const char* bytes, std::size_t size) {
  if (std::memchr(bytes, 0, size)) throw ENotEightBitText("The container holds NUL bytes: it is not 8-bit text");
}

}  // namespace

ContainerText::ContainerText(int fd, std::size_t bufferSize) : fd_(fd), buffer_(bufferSize) {}

std::size_t ContainerText::ReadSome(char* into, std::size_t size) {
  ssize_t n;
  do {
    n = read(fd_, into, size);
  } while (n < 0 && errno == EINTR);
  if (n < 0) throw EInOutError(std::string("Cannot read the container: ") + std::strerror(errno));
  return static_cast<std::size_t>(n);
}

// Appends the next bytes of the file to what is not yet passed on; false
// when the text has ended.
bool ContainerText::ReadMore() {
  if (textEnded_) {
    CheckRestOfFile();
    return false;
  }
  std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
  const std::size_t n = ReadSome(buffer_.data() + end_, buffer_.size() - end_);
  if (n == 0) {
    textEnded_ = true;
    return false;
  }
  const char* fresh = buffer_.data() + end_;
  RequireText(fresh, n);
  // Ctrl-Z ends the text: nothing after it is passed on.
  if (const void* stop = std::memchr(fresh, kCtrlZ, n)) {
    end_ += static_cast<std::size_t>(static_cast<const char*>(stop) - fresh);
    textEnded_ = true;
    restUnread_ = true;
    return true;
  }
  end_ += n;
  return true;
}

void ContainerText::CheckRestOfFile() {
  if (!restUnread_) return;
  restUnread_ = false;
  std::vector<char> chunk(1 << 16);
  while (const std::size_t n = ReadSome(chunk.data(), chunk.size())) RequireText(chunk.data(), n);
}

bool ContainerText::Fill() {
  while (begin_ == end_)
    if (!ReadMore()) return false;
  return true;
}

bool ContainerText::AtEnd() { return !Fill(); }

std::string_view ContainerText::NextPiece(PieceEnd end) {
  if (!Fill()) return {};
  for (;;) {
    std::size_t stop = end_;
    if (end == PieceEnd::kUtf8Character && !textEnded_)
      stop -= CutUtf8Tail(std::string_view(buffer_.data() + begin_, end_ - begin_));
    if (stop > begin_) {
      const std::string_view piece(buffer_.data() + begin_, stop - begin_);
      begin_ = stop;
      return piece;
    }
    // Nothing but a cut character: its other bytes come with the next read,
    // or, at the end of the text, it goes on as it is.
    if (!ReadMore()) end = PieceEnd::kAnyByte;
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
