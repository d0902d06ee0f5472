#include "ftp/sent_bytes.h"

#include <openssl/evp.h>

#include <array>
#include <cstdio>
#include <cstring>

#include "ftp/ftp_errors.h"

namespace ftp {
namespace {

// CRC-32 as XCRC reports it (IEEE 802.3, reflected); OpenSSL has none.
const std::array<std::uint32_t, 256>& CrcTable() {
  static const auto table = [] {
    std::array<std::uint32_t, 256> entries{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int bit = 0; bit < 8; ++bit) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[i] = c;
    }
    return entries;
  }();
  return table;
}

const EVP_MD* Algorithm(THashKind kind) {
  switch (kind) {
    case THashKind::Md5: return EVP_md5();
    case THashKind::Sha1: return EVP_sha1();
    case THashKind::Sha256: return EVP_sha256();
    default: return nullptr;
  }
}

}  // namespace

std::string LowerHex(const unsigned char* bytes, std::size_t count) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 15];
  }
  return text;
}

struct TSentBytes::Hash {
  EVP_MD_CTX* context = nullptr;
  std::uint32_t crc = 0xFFFFFFFFu;
  ~Hash() { EVP_MD_CTX_free(context); }
};

const char* HashName(THashKind kind) {
  switch (kind) {
    case THashKind::Crc32: return "CRC32";
    case THashKind::Md5: return "MD5";
    case THashKind::Sha1: return "SHA-1";
    case THashKind::Sha256: return "SHA-256";
    default: return "";
  }
}

TSentBytes::TSentBytes(THashKind kind, LineEnds lineEnds)
    : kind_(kind), hash_(std::make_unique<Hash>()), countLineEnds_(lineEnds == LineEnds::Count) {
  const EVP_MD* algorithm = Algorithm(kind);
  if (!algorithm) return;
  hash_->context = EVP_MD_CTX_new();
  if (!hash_->context || EVP_DigestInit_ex(hash_->context, algorithm, nullptr) != 1)
    throw Exception("Prüfsumme nicht verfügbar: "_ansi + std::string(HashName(kind)));
}

TSentBytes::~TSentBytes() = default;

void TSentBytes::CountCrLf(const char* bytes, std::size_t count) {
  // memchr runs far faster than a loop over every byte.
  const char* end = bytes + count;
  for (const char* lf = static_cast<const char*>(std::memchr(bytes, '\n', count)); lf;
       lf = static_cast<const char*>(std::memchr(lf + 1, '\n', static_cast<std::size_t>(end - lf - 1)))) {
    if (lf == bytes ? endsWithCr_ : lf[-1] == '\r') ++crLfPairs_;
  }
  endsWithCr_ = end[-1] == '\r';
}

void TSentBytes::Add(const char* bytes, std::size_t count) {
  if (count == 0) return;
  size_ += static_cast<std::int64_t>(count);
  if (countLineEnds_) CountCrLf(bytes, count);
  if (hash_->context) {
    EVP_DigestUpdate(hash_->context, bytes, count);
  } else if (kind_ == THashKind::Crc32) {
    const auto& table = CrcTable();
    std::uint32_t crc = hash_->crc;
    for (std::size_t i = 0; i < count; ++i)
      crc = table[(crc ^ static_cast<unsigned char>(bytes[i])) & 0xFF] ^ (crc >> 8);
    hash_->crc = crc;
  }
}

std::string TSentBytes::Digest() {
  if (kind_ == THashKind::Crc32) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", hash_->crc ^ 0xFFFFFFFFu);
    return text;
  }
  if (!hash_->context) return {};
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(hash_->context, digest, &length);
  return LowerHex(digest, length);
}

}  // namespace ftp
