// The SFTP side of the SFTP client: what it does with files.
#include <algorithm>
#include <map>

#include "ftp/armed_timer.h"
#include "ftp/minimum_rate.h"
#include "ftp/sftp_channel.h"
#include "ftp/sftp_client.h"
#include "ftp/upload_verdict.h"

namespace ftp {
namespace {

// Requests of 32 KiB, which every server takes, and enough of them in
// flight to fill the window that OpenSSH opens (2 MiB).
constexpr std::size_t kWriteSize = 32 * 1024;
constexpr std::size_t kWritesInFlight = 64;

// The digests of check-file that we can compute, strongest first.
constexpr std::pair<const char*, THashKind> kCheckFileDigests[] = {
    {"sha256", THashKind::Sha256}, {"sha1", THashKind::Sha1}, {"md5", THashKind::Md5}};

const char* StatusName(std::uint32_t code) {
  switch (code) {
    case sftp::kEof: return "end of file";
    case sftp::kNoSuchFile: return "no such file";
    case sftp::kPermissionDenied: return "permission denied";
    case sftp::kFailure: return "failure";
    case sftp::kBadMessage: return "bad message";
    case sftp::kOpUnsupported: return "operation unsupported";
    default: return "status";
  }
}

}  // namespace

TSftpChannel& TSftpClient::Channel() {
  if (!channel_) throw Exception("Nicht verbunden");
  return *channel_;
}

template <class Operation>
auto TSftpClient::Guarded(const Operation& operation) {
  try {
    return operation(Channel());
  } catch (const ESshError& error) {
    // A refused request leaves the stream as it was; a broken one does not.
    if (error.Kind() == TSshFailure::Protocol) Close();
    throw;
  } catch (const ESockError&) {
    Close();
    throw;
  } catch (const EAbortError&) {
    Close();
    throw;
  }
}

std::string TSftpClient::RemotePath(const std::string& folder, const std::string& name) const {
  // A name from a container must not lead out of the mailbox.
  if (name.empty() || name == "." || name == ".." || name.find_first_of(std::string("/\0", 2)) != std::string::npos)
    throw Exception("SFTP: unusable remote name \"" + name + "\"");
  if (folder.empty()) return name;
  return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

void TSftpClient::ExpectOk(TSftpReply& reply, const std::string& what) const {
  if (!reply.IsStatus(sftp::kOk)) RaiseStatus(reply, what);
}

void TSftpClient::RaiseStatus(TSftpReply& reply, const std::string& what) const {
  if (reply.Kind() != sftp::kStatus)
    throw ESshError(TSshFailure::Protocol, "SFTP: " + Host + " gave a reply of type " +
                                               std::to_string(reply.Kind()) + " to " + what);
  const std::uint32_t code = reply.U32();
  const std::string said = reply.AtEnd() ? std::string() : reply.String();
  const std::string text = "SFTP: " + Host + " refused " + what + ": " + StatusName(code) +
                           (said.empty() ? "" : " (" + said + ")");
  switch (code) {
    case sftp::kNoConnection:
    case sftp::kConnectionLost: throw ESockError(text);
    case sftp::kNoSuchFile: throw ESshError(TSshFailure::NoSuchFile, text);
    case sftp::kPermissionDenied: throw ESshError(TSshFailure::PermissionDenied, text);
    default: throw ESshError(TSshFailure::Refused, text);
  }
}

void TSftpClient::CheckFolder(const std::string& folder) {
  if (folder.empty()) return;
  TSftpReply reply = Channel().Call(TSftpRequest(sftp::kStat, Channel().NextId()).String(folder));
  if (reply.Kind() == sftp::kAttrs && ReadAttributes(reply).IsFolder()) return;
  if (reply.Kind() == sftp::kAttrs)
    throw ESshError(TSshFailure::NoSuchFile, "SFTP: " + folder + " on " + Host + " is no folder");
  if (reply.IsStatus(sftp::kNoSuchFile))
    throw ESshError(TSshFailure::NoSuchFile, "SFTP: there is no folder " + folder + " on " + Host);
  RaiseStatus(reply, "the look-up of the folder " + folder);
}

std::string TSftpClient::Open(const std::string& path) {
  TSftpRequest open(sftp::kOpen, Channel().NextId());
  open.String(path).U32(sftp::kWriteAccess | sftp::kCreate | sftp::kTruncate).NoAttributes();
  TSftpReply reply = Channel().Call(open);
  if (reply.Kind() != sftp::kHandle) RaiseStatus(reply, "the upload of " + path);
  return reply.String();
}

void TSftpClient::Upload(TFileSource& source, const std::string& folder, const std::string& name) {
  const std::string path = RemotePath(folder, name);
  Guarded([&](TSftpChannel& channel) {
    CheckFolder(folder);
    Note("SFTP: " + path + " goes byte for byte (SFTP has no ASCII mode)");
    const std::string handle = Open(path);
    TSentBytes sent(OfferedDigest(), TSentBytes::LineEnds::Ignore);
    try {
      SendBytes(source, handle, path, sent);
    } catch (...) {
      // Replies to the requests still in flight would answer the next ones.
      Close();
      throw;
    }
    TSftpReply closed = channel.Call(TSftpRequest(sftp::kClose, channel.NextId()).String(handle));
    ExpectOk(closed, "the upload of " + path);
    VerifyUpload(path, sent);
  });
}

void TSftpClient::SendBytes(TFileSource& source, const std::string& handle, const std::string& path,
                            TSentBytes& sent) {
  TSftpChannel& channel = Channel();
  const std::int64_t size = source.Size();
  std::int64_t offset = 0;
  std::int64_t acknowledged = 0;
  std::map<std::uint32_t, std::size_t> inFlight;
  MinimumRate rate(socket_->SlowBound());
  const ArmedTimer timer(*socket_);
  while (acknowledged < size) {
    while (inFlight.size() < kWritesInFlight && offset < size) {
      const auto want = static_cast<std::size_t>(std::min<std::int64_t>(kWriteSize, size - offset));
      TSftpRequest write(sftp::kWrite, channel.NextId());
      write.String(handle).U64(static_cast<std::uint64_t>(offset)).String(want, [&](char* into) {
        const std::size_t got = source.ReadAt(into, want, offset);
        // Fewer bytes than the file had when the upload began: it was cut meanwhile.
        if (got == 0) throw Exception("Datei während des Sendens gekürzt: "_ansi + source.Name());
        sent.Add(into, got);
        inFlight[write.Id()] = got;
        return got;
      });
      offset += static_cast<std::int64_t>(inFlight[write.Id()]);
      channel.Send(write);
    }
    TSftpReply reply = channel.ReceiveDuringTransfer("WRITE", [&] { rate.Check(acknowledged); });
    const auto written = inFlight.find(reply.Id());
    if (written == inFlight.end())
      throw ESshError(TSshFailure::Protocol, "SFTP: " + Host + " answered a request never made");
    ExpectOk(reply, "the upload of " + path);
    acknowledged += static_cast<std::int64_t>(written->second);
    inFlight.erase(written);
    if (OnProgress) OnProgress(acknowledged, size);
  }
}

THashKind TSftpClient::OfferedDigest() const {
  const auto offer = extensions_.find("check-file");
  if (offer == extensions_.end()) return THashKind::None;
  // The extension may name its digests; without a list, the strongest is asked for.
  for (const auto& [name, kind] : kCheckFileDigests)
    if (offer->second.empty() || ("," + offer->second + ",").find(std::string(",") + name + ",") != std::string::npos)
      return kind;
  return THashKind::None;
}

void TSftpClient::VerifyUpload(const std::string& path, TSentBytes& sent) {
  TSftpReply reply = Channel().Call(TSftpRequest(sftp::kStat, Channel().NextId()).String(path));
  if (reply.Kind() != sftp::kAttrs) RaiseStatus(reply, "the check of the upload of " + path);
  const TSftpAttributes stored = ReadAttributes(reply);
  if (!stored.size) {
    Note("not verified (the server tells no size)");
    return;
  }
  if (static_cast<std::int64_t>(*stored.size) != sent.Size())
    RaiseIncompleteUpload(static_cast<std::int64_t>(*stored.size), sent.Size());
  Note("verified: " + std::to_string(*stored.size) + " bytes");
  if (sent.Kind() != THashKind::None) VerifyDigest(path, sent);
}

// check-file (draft-ietf-secsh-filexfer-extensions): the digest of the whole
// file, in a reply "check-file", the digest's name and its raw bytes.
void TSftpClient::VerifyDigest(const std::string& path, TSentBytes& sent) {
  const char* algorithm = "";
  for (const auto& [name, kind] : kCheckFileDigests)
    if (kind == sent.Kind()) algorithm = name;
  TSftpRequest check(sftp::kExtended, Channel().NextId());
  check.String("check-file-name").String(path).String(algorithm).U64(0).U64(0).U32(0);
  TSftpReply reply = Channel().Call(check);
  if (reply.Kind() != sftp::kExtendedReply || reply.String() != "check-file" || reply.String() != algorithm) {
    Note("digest not compared (check-file gave no " + std::string(algorithm) + " digest)");
    return;
  }
  const std::string digest = reply.Rest();
  const std::string theirs = LowerHex(reinterpret_cast<const unsigned char*>(digest.data()), digest.size());
  const std::string ours = sent.Digest();
  if (theirs != ours) RaiseCorruptedUpload(sent.Kind(), theirs, ours);
  Note("verified: " + std::string(HashName(sent.Kind())) + " " + ours);
}

std::optional<std::int64_t> TSftpClient::Exists(const std::string& folder, const std::string& name) {
  const std::string path = RemotePath(folder, name);
  return Guarded([&](TSftpChannel& channel) -> std::optional<std::int64_t> {
    // LSTAT: a link counts as there, whatever it points to.
    TSftpReply reply = channel.Call(TSftpRequest(sftp::kLstat, channel.NextId()).String(path));
    if (reply.Kind() == sftp::kAttrs) {
      const TSftpAttributes attributes = ReadAttributes(reply);
      return attributes.size ? static_cast<std::int64_t>(*attributes.size) : -1;
    }
    if (reply.IsStatus(sftp::kNoSuchFile)) return std::nullopt;
    RaiseStatus(reply, "the look-up of " + path);
  });
}

// Plain RENAME, not posix-rename@openssh.com: version 3 defines RENAME to
// fail when the new name exists (OpenSSH does it by a hard link, at once),
// while posix-rename replaces by definition. The look-up first also stops
// servers that replace against the rule.
void TSftpClient::Rename(const std::string& folder, const std::string& from, const std::string& to) {
  const std::string source = RemotePath(folder, from);
  const std::string target = RemotePath(folder, to);
  if (Exists(folder, to))
    throw ESshError(TSshFailure::FileExists, "SFTP: " + target + " exists already on " + Host + "; not replaced");
  Guarded([&](TSftpChannel& channel) {
    TSftpReply reply =
        channel.Call(TSftpRequest(sftp::kRename, channel.NextId()).String(source).String(target));
    ExpectOk(reply, "the rename of " + source + " to " + target);
  });
}

void TSftpClient::Delete(const std::string& folder, const std::string& name) {
  const std::string path = RemotePath(folder, name);
  Guarded([&](TSftpChannel& channel) {
    TSftpReply reply = channel.Call(TSftpRequest(sftp::kRemove, channel.NextId()).String(path));
    ExpectOk(reply, "the deletion of " + path);
  });
}

}  // namespace ftp
