#include "app/container/source_stream.h"

#include "ftp/file_source.h"

namespace app {

SourceStreamBuf::int_type SourceStreamBuf::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  bufferStart_ += egptr() - eback();
  const std::size_t got = source_.ReadAt(buffer_.data(), buffer_.size(), bufferStart_);
  setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
  return got == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
}

SourceStreamBuf::pos_type SourceStreamBuf::seekoff(off_type offset, std::ios_base::seekdir direction,
                                                   std::ios_base::openmode mode) {
  const std::int64_t current = bufferStart_ + (gptr() - eback());
  const std::int64_t base = direction == std::ios_base::beg ? 0 : direction == std::ios_base::cur ? current
                                                                                                  : source_.Size();
  return seekpos(pos_type(base + offset), mode);
}

SourceStreamBuf::pos_type SourceStreamBuf::seekpos(pos_type position, std::ios_base::openmode) {
  const std::int64_t target = position;
  if (target < 0 || target > source_.Size()) return pos_type(off_type(-1));
  bufferStart_ = target;
  setg(buffer_.data(), buffer_.data(), buffer_.data());
  return position;
}

}  // namespace app
