#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ftp {

// The digests a server may offer to check an upload with, weakest first.
enum class THashKind { None, Crc32, Md5, Sha1, Sha256 };

// "CRC32", "MD5", "SHA-1", "SHA-256" (the names of the HASH command); empty for None.
const char* HashName(THashKind kind);

// The bytes in lower-case hexadecimal, as digests are compared.
std::string LowerHex(const unsigned char* bytes, std::size_t count);

// What the bytes of an upload were, gathered while they are sent, so that
// checking them needs no second pass over the file: their count, the count
// with every CR LF taken as one LF (what a server that stores text with its
// own line ends keeps), and their digest of `kind`.
class TSentBytes {
 public:
  // Whether SizeWithLfLineEnds is wanted (text); counting costs a scan.
  enum class LineEnds { Ignore, Count };
  explicit TSentBytes(THashKind kind = THashKind::None, LineEnds lineEnds = LineEnds::Count);
  ~TSentBytes();
  TSentBytes(const TSentBytes&) = delete;
  TSentBytes& operator=(const TSentBytes&) = delete;

  void Add(const char* bytes, std::size_t count);
  std::int64_t Size() const { return size_; }
  // Size() when the line ends are ignored.
  std::int64_t SizeWithLfLineEnds() const { return size_ - crLfPairs_; }
  THashKind Kind() const { return kind_; }
  // The digest of everything added, in lower-case hexadecimal; empty for None.
  // Ends the digest: nothing may be added afterwards.
  std::string Digest();

 private:
  struct Hash;
  void CountCrLf(const char* bytes, std::size_t count);

  THashKind kind_;
  std::unique_ptr<Hash> hash_;
  bool countLineEnds_;
  std::int64_t size_ = 0;
  std::int64_t crLfPairs_ = 0;
  bool endsWithCr_ = false;
};

}  // namespace ftp
