#pragma once
#include <istream>
#include <streambuf>
#include <string_view>
#include <vector>

namespace xml {

// A read-only, seekable stream over pieces of memory that stay where they
// are (nothing is copied); the pieces read as one byte sequence.
class TMemoryStreamBuf : public std::streambuf {
public:
  explicit TMemoryStreamBuf(std::vector<std::string_view> pieces);

protected:
  int_type underflow() override;
  std::streamsize xsgetn(char* out, std::streamsize count) override;
  pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode mode) override;
  pos_type seekpos(pos_type position, std::ios_base::openmode mode) override;

private:
  // Makes piece `index` the get area, positioned `offset` bytes in.
  void enterPiece(std::size_t index, std::size_t offset);
  std::size_t position() const;

  std::vector<std::string_view> pieces_;
  std::vector<std::size_t> starts_;
  std::size_t size_ = 0;
  std::size_t current_ = 0;
};

// The pieces of a wide string read as UTF-16 in this machine's byte order:
// a byte-order mark (unless the text starts with one) and the text's own
// storage.
std::vector<std::string_view> wideTextPieces(std::u16string_view text);

// An istream over TMemoryStreamBuf.
class TMemoryStream : public std::istream {
public:
  explicit TMemoryStream(std::vector<std::string_view> pieces);

private:
  TMemoryStreamBuf buffer_;
};

} // namespace xml
