// How the client learns what a server offers and has it confirm an upload.
#include "ftp/ftp_client.h"
#include "ftp/reply_text.h"

namespace ftp {
namespace {

// The number after the code of a 213 reply ("213 1234567").
std::optional<std::int64_t> StatusNumber(const std::string& reply) {
  if (ReplyCodeOf(reply) != 213 || reply.size() < 5) return std::nullopt;
  return LeadingNumber(reply.substr(4), 19);
}

}  // namespace

void TFtpClient::Note(const std::string& text) {
  Status(1, text);
  if (OnTransferNote) OnTransferNote(text);
}

const TServerFeatures& TFtpClient::Features() {
  if (features_) return *features_;
  std::vector<std::string> lines;
  {
    const ReplyScope bounds(*this);
    const std::string reply = SendCommandLine("FEAT");
    ReadContinuation(reply, &lines);
    // RFC 2389: 211 lists the features; a server without FEAT refuses it.
    if (ReplyCodeOf(reply) != 211) lines.clear();
  }
  features_ = ParseFeatures(lines);
  return *features_;
}

void TFtpClient::VerifyUpload(const std::string& name, TSentBytes& sent, const TServerFeatures& features) {
  if (!features.Size) {
    Note("not verified (server offers no SIZE)");
    return;
  }
  std::string reply = Transaction("SIZE " + name);
  // Some servers (pyftpdlib) tell no size of a text in ASCII mode, as it
  // depends on line ends; in image type they tell the bytes they stored.
  if (!binaryType_ && !StatusNumber(reply)) reply = SizeInImageType(name, reply);
  const auto stored = StatusNumber(reply);
  if (!stored) {
    Note("not verified (SIZE answered " + QuotedReply(reply) + ")");
    return;
  }
  // In ASCII mode a server may store text with its own line ends (LF).
  const bool same = *stored == sent.Size() || (!binaryType_ && *stored == sent.SizeWithLfLineEnds());
  if (!same)
    throw Exception("Upload unvollständig: der Server hat "_ansi + std::to_string(*stored) +
                    " Byte gespeichert, gesendet wurden " + std::to_string(sent.Size()) + " Byte");
  Note("verified: " + std::to_string(*stored) + " bytes");
  if (sent.Kind() != THashKind::None) VerifyDigest(name, sent, features);
}

std::string TFtpClient::SizeInImageType(const std::string& name, const std::string& refusal) {
  if (ReplyCodeOf(Transaction("TYPE I")) != 200) return refusal;
  const std::string reply = Transaction("SIZE " + name);
  // The next upload of this connection must go as text again.
  const std::string restored = Transaction("TYPE A");
  if (ReplyCodeOf(restored) != 200)
    throw Exception("ASCII-Modus nicht wiederhergestellt: " + QuotedReply(restored));
  return reply;
}

void TFtpClient::VerifyDigest(const std::string& name, TSentBytes& sent, const TServerFeatures& features) {
  const std::string algorithm = HashName(sent.Kind());
  if (!features.HashSelected) {
    const std::string reply = Transaction("OPTS HASH " + algorithm);
    if (ReplyCodeOf(reply) != 200) {
      Note("digest not compared (OPTS HASH answered " + QuotedReply(reply) + ")");
      return;
    }
  }
  const std::string reply = Transaction(features.HashCommand + " " + name);
  const std::string theirs = DigestOfReply(reply, sent.Kind());
  if (theirs.empty()) {
    Note("digest not compared (" + features.HashCommand + " answered " + QuotedReply(reply) + ")");
    return;
  }
  const std::string ours = sent.Digest();
  if (theirs != ours)
    throw Exception("Upload verfälscht: "_ansi + algorithm + " des Servers " + theirs + ", gesendet " + ours);
  Note("verified: " + algorithm + " " + ours);
}

}  // namespace ftp
