#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ftp {
namespace sftp {

// Packet types and status codes of SFTP version 3 (draft-ietf-secsh-filexfer-02).
enum Type : std::uint8_t {
  kInit = 1,
  kVersion = 2,
  kOpen = 3,
  kClose = 4,
  kWrite = 6,
  kLstat = 7,
  kRemove = 13,
  kStat = 17,
  kRename = 18,
  kStatus = 101,
  kHandle = 102,
  kAttrs = 105,
  kExtended = 200,
  kExtendedReply = 201,
};

enum Status : std::uint32_t {
  kOk = 0,
  kEof = 1,
  kNoSuchFile = 2,
  kPermissionDenied = 3,
  kFailure = 4,
  kBadMessage = 5,
  kNoConnection = 6,
  kConnectionLost = 7,
  kOpUnsupported = 8,
};

// Flags of OPEN.
enum OpenFlags : std::uint32_t { kWriteAccess = 0x02, kCreate = 0x08, kTruncate = 0x10 };

// The largest reply the client takes: far above any reply to the requests
// it makes, so that a peer's endless packet fails instead of filling memory.
constexpr std::size_t kMaxReply = 256 * 1024;

}  // namespace sftp

// The big-endian number of four bytes at `at`, as SFTP writes every number.
std::uint32_t BigEndian32(const char* at);

// One request, built field by field as it goes on the wire: its length,
// type, request id (INIT: the version) and fields.
class TSftpRequest {
 public:
  TSftpRequest(sftp::Type type, std::uint32_t id);

  TSftpRequest& U32(std::uint32_t value);
  TSftpRequest& U64(std::uint64_t value);
  TSftpRequest& String(std::string_view text);
  // A string of at most `size` bytes that `fill` writes in place and whose
  // count it returns.
  TSftpRequest& String(std::size_t size, const std::function<std::size_t(char*)>& fill);
  // Attributes that set nothing.
  TSftpRequest& NoAttributes() { return U32(0); }

  sftp::Type Kind() const { return type_; }
  std::uint32_t Id() const { return id_; }
  // The whole packet; the request is spent afterwards.
  std::string Take();

 private:
  sftp::Type type_;
  std::uint32_t id_;
  std::string bytes_;
};

// One reply without its length. Reading past its end raises ESshError
// (Protocol) "SFTP: <host> sent a malformed reply".
class TSftpReply {
 public:
  TSftpReply(std::string body, std::string host);

  sftp::Type Kind() const { return static_cast<sftp::Type>(static_cast<unsigned char>(body_[0])); }
  // The request id (VERSION: the version).
  std::uint32_t Id() const { return id_; }
  // Whether this is a STATUS reply with `code`; reads nothing.
  bool IsStatus(std::uint32_t code) const;
  std::uint32_t U32();
  std::uint64_t U64();
  std::string String();
  // What is left of the packet.
  std::string Rest();
  bool AtEnd() const { return at_ == body_.size(); }

 private:
  [[noreturn]] void Malformed() const;
  const char* Take(std::size_t count);

  std::string body_;
  std::string host_;
  std::size_t at_ = 1;
  std::uint32_t id_ = 0;
};

// What an ATTRS reply says of a file.
struct TSftpAttributes {
  std::optional<std::uint64_t> size;
  std::optional<std::uint32_t> permissions;
  bool IsFolder() const { return permissions && (*permissions & 0170000) == 0040000; }
};

TSftpAttributes ReadAttributes(TSftpReply& reply);

}  // namespace ftp
