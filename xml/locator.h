#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "xml/input_source.h"

namespace xml {

// Counts lines and columns (both from 1) of the units a reader accepts, and
// where the current token started.
class TLocator {
public:
  // The first unit is at the source's origin.
  explicit TLocator(const TInputSource& source);

  const TInputSource& source() const { return source_; }
  const std::u16string& publicId() const;
  const std::u16string& systemId() const;
  std::uint32_t line() const { return line_; }
  std::uint32_t column() const { return column_; }
  std::uint32_t startLine() const { return startLine_; }
  std::uint32_t startColumn() const { return startColumn_; }

  // Counts one accepted unit: the unit after a line feed is column 1 of the
  // next line.
  void advance(char16_t unit)
  {
    if (lastWasLf_) {
      ++line_;
      column_ = 1;
    } else {
      ++column_;
    }
    lastWasLf_ = unit == u'\n';
    if (markPending_) {
      markStart();
      markPending_ = false;
    }
  }
  // The same as advance for each unit of the run, in one step.
  void advance(std::u16string_view run);
  // The current position becomes the start of the token.
  void markStart()
  {
    startLine_ = line_;
    startColumn_ = column_;
  }

  // Where the current token started.
  TTextPosition start() const { return {startLine_, startColumn_}; }

private:
  const TInputSource& source_;
  std::uint32_t line_ = 0;
  std::uint32_t column_ = 0;
  std::uint32_t startLine_ = 0;
  std::uint32_t startColumn_ = 0;
  bool lastWasLf_ = true;
  bool markPending_ = true;
};

// The position of the unit after `text`, when `text` starts at `start`.
TTextPosition positionAfter(TTextPosition start, std::u16string_view text);

} // namespace xml
