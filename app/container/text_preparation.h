#pragma once

#include <string>
#include <string_view>

#include "entity/char_to_entity_translator.h"

namespace app {

// Where a prepared text goes, in large blocks: into a file, and/or compared
// with the bytes of another file, to learn whether the preparation changed
// anything.
class PreparedOutput {
 public:
  // `file` (or -1) receives the text; `compareWith` (or -1) is the file it is
  // compared with, from its start; neither is owned.
  PreparedOutput(int file, std::string path, int compareWith);

  void Write(std::string_view bytes);
  std::string& Buffer() { return buffer_; }
  void FlushIfFull() {
    if (buffer_.size() >= kBlock) Flush();
  }
  // Writes and compares what is buffered. Raises EInOutError when the file
  // cannot be written or the other file cannot be read.
  void Flush();
  // True once the text is known to differ from the other file; complete
  // only after Finish.
  bool Differs() const { return differs_; }
  // A comparison without a file to write is over at the first difference.
  bool Done() const { return file_ < 0 && differs_; }
  // Flushes the rest; the text differs too when the other file is longer.
  void Finish();

 private:
  void Compare();

  static constexpr std::size_t kBlock = 1 << 20;
  static constexpr std::size_t kWriteBack = 8 << 20;
  int file_;
  std::string path_;
  int compareWith_;
  std::string buffer_;
  std::string compared_;
  std::size_t written_ = 0;
  std::size_t syncStarted_ = 0;
  bool differs_ = false;
};

// What PrepareText found.
struct TextPreparation {
  bool leftAsItIs = false;   // not 8-bit text, or in an encoding that cannot be read safely: nothing written
  bool hasSystemId = false;  // the first line already named a system identifier
};

// Prepares the container text read from `in` (from its start) into `out`:
// the first line gets the system identifier its version 1.2 or 1.1 public
// identifier asks for, unless it has one; every further line goes through
// the translator, in the container's encoding (Windows-1252 byte for byte,
// UTF-8 character by character); every line ends in CR LF; the text ends at
// a Ctrl-Z. Raises EInOutError when `in` cannot be read.
TextPreparation PrepareText(int in, const entity::TCharToEntityTranslator& translator, PreparedOutput& out);

}  // namespace app
