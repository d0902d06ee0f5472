#include "ftp/sftp_packet.h"

#include "ftp/ssh_errors.h"

namespace ftp {
namespace {

enum AttributeFlags : std::uint32_t {
  kSize = 0x01,
  kOwners = 0x02,
  kPermissions = 0x04,
  kTimes = 0x08,
  kExtensions = 0x80000000,
};

void PutU32(char* at, std::uint32_t value) {
  for (int i = 3; i >= 0; --i, value >>= 8) at[i] = static_cast<char>(value & 0xff);
}

}  // namespace

std::uint32_t BigEndian32(const char* at) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(at);
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
}

TSftpRequest::TSftpRequest(sftp::Type type, std::uint32_t id) : type_(type), id_(id), bytes_(4, '\0') {
  bytes_ += static_cast<char>(type);
  U32(id);
}

TSftpRequest& TSftpRequest::U32(std::uint32_t value) {
  char field[4];
  PutU32(field, value);
  bytes_.append(field, 4);
  return *this;
}

TSftpRequest& TSftpRequest::U64(std::uint64_t value) {
  U32(static_cast<std::uint32_t>(value >> 32));
  return U32(static_cast<std::uint32_t>(value));
}

TSftpRequest& TSftpRequest::String(std::string_view text) {
  U32(static_cast<std::uint32_t>(text.size()));
  bytes_.append(text);
  return *this;
}

TSftpRequest& TSftpRequest::String(std::size_t size, const std::function<std::size_t(char*)>& fill) {
  const std::size_t at = bytes_.size();
  bytes_.resize(at + 4 + size);
  const std::size_t filled = fill(bytes_.data() + at + 4);
  PutU32(bytes_.data() + at, static_cast<std::uint32_t>(filled));
  bytes_.resize(at + 4 + filled);
  return *this;
}

std::string TSftpRequest::Take() {
  PutU32(bytes_.data(), static_cast<std::uint32_t>(bytes_.size() - 4));
  return std::move(bytes_);
}

TSftpReply::TSftpReply(std::string body, std::string host) : body_(std::move(body)), host_(std::move(host)) {
  if (body_.empty()) Malformed();
  id_ = U32();
}

bool TSftpReply::IsStatus(std::uint32_t code) const {
  TSftpReply status = *this;
  return Kind() == sftp::kStatus && status.body_.size() - status.at_ >= 4 && status.U32() == code;
}

void TSftpReply::Malformed() const {
  throw ESshError(TSshFailure::Protocol, "SFTP: " + host_ + " sent a malformed reply");
}

const char* TSftpReply::Take(std::size_t count) {
  if (body_.size() - at_ < count) Malformed();
  const char* field = body_.data() + at_;
  at_ += count;
  return field;
}

std::uint32_t TSftpReply::U32() { return BigEndian32(Take(4)); }

std::uint64_t TSftpReply::U64() {
  const std::uint64_t high = U32();
  return high << 32 | U32();
}

std::string TSftpReply::String() {
  const std::uint32_t size = U32();
  return std::string(Take(size), size);
}

std::string TSftpReply::Rest() {
  std::string rest = body_.substr(at_);
  at_ = body_.size();
  return rest;
}

TSftpAttributes ReadAttributes(TSftpReply& reply) {
  TSftpAttributes attributes;
  const std::uint32_t flags = reply.U32();
  if (flags & kSize) attributes.size = reply.U64();
  if (flags & kOwners) reply.U64();
  if (flags & kPermissions) attributes.permissions = reply.U32();
  if (flags & kTimes) reply.U64();
  if (flags & kExtensions) {
    for (std::uint32_t count = reply.U32(); count > 0; --count) {
      reply.String();
      reply.String();
    }
  }
  return attributes;
}

}  // namespace ftp
