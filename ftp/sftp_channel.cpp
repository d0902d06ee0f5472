#include "ftp/sftp_channel.h"

#include "ftp/armed_timer.h"
#include "ftp/ssh_errors.h"

namespace ftp {
namespace {

constexpr std::uint32_t kVersion = 3;

const char* TypeName(sftp::Type type) {
  switch (type) {
    case sftp::kInit: return "INIT";
    case sftp::kOpen: return "OPEN";
    case sftp::kClose: return "CLOSE";
    case sftp::kWrite: return "WRITE";
    case sftp::kLstat: return "LSTAT";
    case sftp::kRemove: return "REMOVE";
    case sftp::kStat: return "STAT";
    case sftp::kRename: return "RENAME";
    default: return "an extended request";
  }
}

}  // namespace

TSftpChannel::TSftpChannel(TSshConnection& ssh, TSshSocket& socket, std::string host)
    : ssh_(ssh), socket_(socket), host_(std::move(host)), chunk_(64 * 1024) {}

std::map<std::string, std::string> TSftpChannel::Init() {
  TSftpRequest init(sftp::kInit, kVersion);
  Send(init);
  const ArmedTimer timer(socket_);
  TSftpReply reply = Receive("INIT", TSshSocket::Pumping::EveryPass, {});
  // The server answers with the lower of its version and ours.
  if (reply.Kind() != sftp::kVersion || reply.Id() < kVersion)
    throw ESshError(TSshFailure::Protocol, "SFTP: " + host_ + " speaks no SFTP version 3");
  std::map<std::string, std::string> extensions;
  while (!reply.AtEnd()) {
    std::string name = reply.String();
    extensions[name] = reply.String();
  }
  return extensions;
}

void TSftpChannel::Send(TSftpRequest& request) {
  // What went out already is dropped once it is half the buffer, so a long
  // transfer that never drains the buffer does not grow it.
  if (sent_ > 0 && sent_ >= outgoing_.size() / 2) {
    outgoing_.erase(0, sent_);
    sent_ = 0;
  }
  // Most requests find the buffer empty: they take its place without a copy.
  if (outgoing_.empty())
    outgoing_ = request.Take();
  else
    outgoing_ += request.Take();
}

TSftpReply TSftpChannel::Call(TSftpRequest& request) {
  const std::uint32_t id = request.Id();
  const char* what = TypeName(request.Kind());
  Send(request);
  const ArmedTimer timer(socket_);
  TSftpReply reply = Receive(what, TSshSocket::Pumping::EveryPass, {});
  if (reply.Id() != id) throw ESshError(TSshFailure::Protocol, "SFTP: " + host_ + " answered another request");
  return reply;
}

TSftpReply TSftpChannel::ReceiveDuringTransfer(const char* what, const std::function<void()>& beforeWait) {
  TSftpReply reply = Receive(what, TSshSocket::Pumping::WhenDue, beforeWait);
  socket_.MarkProgress();
  return reply;
}

TSftpReply TSftpChannel::Receive(const char* what, TSshSocket::Pumping pumping,
                                 const std::function<void()>& beforeWait) {
  for (;;) {
    const SshStatus status = Exchange();
    if (status == SshStatus::Done) return TakeReply();
    if (status == SshStatus::Closed)
      throw ESockError("SSH: " + host_ + " closed the SFTP channel before its reply to " + what);
    if (beforeWait) beforeWait();
    socket_.Await(status, pumping, std::string("reply of ") + host_ + " to " + what);
  }
}

SshStatus TSftpChannel::Exchange() {
  SshStatus writing = SshStatus::Done;
  while (sent_ < outgoing_.size()) {
    const SshTransfer moved = ssh_.Write(outgoing_.data() + sent_, outgoing_.size() - sent_);
    if (moved.status != SshStatus::Done) {
      writing = moved.status;
      break;
    }
    sent_ += moved.bytes;
  }
  if (sent_ == outgoing_.size()) {
    outgoing_.clear();
    sent_ = 0;
  }
  while (!HasReply()) {
    const SshTransfer got = ssh_.Read(chunk_.data(), chunk_.size());
    if (got.status == SshStatus::Done) {
      received_.append(chunk_.data(), got.bytes);
      continue;
    }
    // A socket too full to take our requests decides what to wait for.
    return writing == SshStatus::WantWrite && got.status == SshStatus::WantRead ? writing : got.status;
  }
  return SshStatus::Done;
}

bool TSftpChannel::HasReply() const {
  if (received_.size() < 4) return false;
  const std::uint32_t length = BigEndian32(received_.data());
  if (length > sftp::kMaxReply)
    throw ESshError(TSshFailure::Protocol,
                    "SFTP: " + host_ + " sent a reply of " + std::to_string(length) + " bytes, far more than any reply");
  return received_.size() - 4 >= length;
}

TSftpReply TSftpChannel::TakeReply() {
  const std::uint32_t length = BigEndian32(received_.data());
  std::string body = received_.substr(4, length);
  received_.erase(0, 4 + std::size_t{length});
  return TSftpReply(std::move(body), host_);
}

}  // namespace ftp
