#pragma once

#include <array>
#include <cstdint>
#include <streambuf>

namespace ftp {
class TFileSource;
}

namespace app {

// A seekable input stream buffer over a file source: the parser reads a
// container through the same bytes an upload sends.
class SourceStreamBuf : public std::streambuf {
 public:
  explicit SourceStreamBuf(ftp::TFileSource& source) : source_(source) {}

 protected:
  int_type underflow() override;
  pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode) override;
  pos_type seekpos(pos_type position, std::ios_base::openmode mode) override;

 private:
  ftp::TFileSource& source_;
  std::array<char, 1 << 16> buffer_;
  std::int64_t bufferStart_ = 0;  // offset in the source of buffer_[0]
};

}  // namespace app
