#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// Reads a container as 8-bit text, a line at a time, in pieces of bounded
// size so a file of any length takes the same memory. A line ends at a
// carriage return; a line feed right after it belongs to the same line end;
// a line feed alone does not end a line. Ctrl-Z ends the readable text.
class ContainerText {
 public:
  using Piece = std::function<void(std::string_view)>;

  // Reads from the descriptor's current position; does not own it.
  explicit ContainerText(int fd, std::size_t bufferSize = 1 << 20);

  // Passes the next line, without its end, to `piece` in one or more pieces.
  // Raises EInOutError when the file cannot be read.
  void ReadLine(const Piece& piece);
  // Passes all readable text that is left to `piece`, in pieces as read,
  // line ends included.
  void ReadRest(const Piece& piece);
  // True when no readable text is left.
  bool AtEnd();

 private:
  bool Fill();

  int fd_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool endOfFile_ = false;
};

}  // namespace app
