#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// The file holds a NUL byte: UTF-16 text, compressed or other binary data,
// nothing that may be read and rewritten as 8-bit text.
class ENotEightBitText : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a container as 8-bit text, a line at a time, in pieces of bounded
// size so a file of any length takes the same memory. A line ends at a
// carriage return; a line feed right after it belongs to the same line end;
// a line feed alone does not end a line. Ctrl-Z ends the readable text.
//
// Every byte of the file is looked at, also those after a Ctrl-Z: a NUL byte
// anywhere raises ENotEightBitText (at the latest when the text is read to
// its end).
class ContainerText {
 public:
  using Piece = std::function<void(std::string_view)>;
  // Where NextPiece may end a piece: at any byte, or only between the
  // characters of UTF-8 text (a cut character waits for the next piece).
  enum class PieceEnd { kAnyByte, kUtf8Character };

  // Reads from the descriptor's current position; does not own it.
  explicit ContainerText(int fd, std::size_t bufferSize = 1 << 20);

  // Passes the next line, without its end, to `piece` in one or more pieces.
  // Raises EInOutError when the file cannot be read.
  void ReadLine(const Piece& piece);
  // The next piece of the readable text, line ends included; empty at its end.
  std::string_view NextPiece(PieceEnd end);
  // True when no readable text is left.
  bool AtEnd();

 private:
  bool Fill();
  bool ReadMore();
  std::size_t ReadSome(char* into, std::size_t size);
  void CheckRestOfFile();

  int fd_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool textEnded_ = false;
  bool restUnread_ = false;  // bytes after a Ctrl-Z not yet looked at
};

}  // namespace app
