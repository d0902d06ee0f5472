#include "xml/memory_stream.h"

#include <algorithm>
#include <cstring>

namespace xml {

TMemoryStreamBuf::TMemoryStreamBuf(std::vector<std::string_view> pieces)
{
  for (std::string_view piece : pieces) {
    if (piece.empty())
      continue;
    pieces_.push_back(piece);
    starts_.push_back(size_);
    size_ += piece.size();
  }
  enterPiece(0, 0);
}

void TMemoryStreamBuf::enterPiece(std::size_t index, std::size_t offset)
{
  current_ = index;
  if (index >= pieces_.size()) {
    setg(nullptr, nullptr, nullptr);
    return;
  }
  char* begin = const_cast<char*>(pieces_[index].data());
  setg(begin, begin + offset, begin + pieces_[index].size());
}

std::size_t TMemoryStreamBuf::position() const
{
  if (current_ >= pieces_.size())
    return size_;
  return starts_[current_] + static_cast<std::size_t>(gptr() - eback());
}

TMemoryStreamBuf::int_type TMemoryStreamBuf::underflow()
{
  while (gptr() == egptr()) {
    if (current_ >= pieces_.size())
      return traits_type::eof();
    enterPiece(current_ + 1, 0);
    if (current_ >= pieces_.size())
      return traits_type::eof();
  }
  return traits_type::to_int_type(*gptr());
}

std::streamsize TMemoryStreamBuf::xsgetn(char* out, std::streamsize count)
{
  std::streamsize copied = 0;
  while (copied < count) {
    if (gptr() == egptr() && traits_type::eq_int_type(underflow(), traits_type::eof()))
      break;
    std::streamsize chunk = std::min<std::streamsize>(count - copied, egptr() - gptr());
    std::memcpy(out + copied, gptr(), static_cast<std::size_t>(chunk));
    gbump(static_cast<int>(chunk));
    copied += chunk;
  }
  return copied;
}

TMemoryStreamBuf::pos_type TMemoryStreamBuf::seekoff(off_type offset, std::ios_base::seekdir direction,
                                                     std::ios_base::openmode mode)
{
  off_type base = direction == std::ios_base::beg ? 0
                  : direction == std::ios_base::cur ? static_cast<off_type>(position())
                                                     : static_cast<off_type>(size_);
  return seekpos(pos_type(base + offset), mode);
}

TMemoryStreamBuf::pos_type TMemoryStreamBuf::seekpos(pos_type position, std::ios_base::openmode)
{
  off_type target = off_type(position);
  if (target < 0 || static_cast<std::size_t>(target) > size_)
    return pos_type(off_type(-1));
  std::size_t index = static_cast<std::size_t>(
      std::upper_bound(starts_.begin(), starts_.end(), static_cast<std::size_t>(target)) - starts_.begin());
  if (index == 0) {
    enterPiece(pieces_.empty() ? 0 : 0, 0);
  } else {
    enterPiece(index - 1, static_cast<std::size_t>(target) - starts_[index - 1]);
  }
  return position;
}

std::vector<std::string_view> wideTextPieces(std::u16string_view text)
{
  static const char16_t kByteOrderMark = 0xFEFF;
  std::vector<std::string_view> pieces;
  if (text.empty() || text.front() != kByteOrderMark)
    pieces.emplace_back(reinterpret_cast<const char*>(&kByteOrderMark), sizeof kByteOrderMark);
  pieces.emplace_back(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
  return pieces;
}

TMemoryStream::TMemoryStream(std::vector<std::string_view> pieces)
    : std::istream(nullptr), buffer_(std::move(pieces))
{
  rdbuf(&buffer_);
}

} // namespace xml
