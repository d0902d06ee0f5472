// How the client learns what a server offers and has it confirm an upload.
#include "ftp/ftp_client.h"
#include "ftp/reply_text.h"
#include "ftp/upload_verdict.h"

namespace ftp {
namespace {

// "SHA-256" as "sha256".
std::string AsciiLowerWithoutDash(const std::string& name) {
  std::string lower;
  for (char c : name)
    if (c != '-') lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower;
}

}  // namespace

void TFtpClient::Note(const std::string& text) {
  Status(1, text);
  if (OnTransferNote) OnTransferNote(text);
}

const TServerFeatures& TFtpClient::Features() {
  if (!features_) {
    Writeln("FEAT");
    ReadFeatures();
  }
  return *features_;
}

void TFtpClient::ReadFeatures() {
  std::vector<std::string> lines;
  const std::string reply = ReadReply(&lines);
  // RFC 2389: 211 lists the features; a server without FEAT refuses it.
  if (ReplyCodeOf(reply) != 211) lines.clear();
  features_ = ParseFeatures(lines);
}

void TFtpClient::VerifyUpload(const std::string& name, TSentBytes& sent, const TServerFeatures& features) {
  if (!features.Size) {
    Note("not verified (server offers no SIZE)");
    return;
  }
  std::string reply;
  if (binaryType_ || !asciiSizeRefused_) reply = Transaction("SIZE " + name);
  // Some servers (pyftpdlib) tell no size of a text in ASCII mode, as it
  // depends on line ends; in image type they tell the bytes they stored.
  // Such a server is asked in image type at once for the rest of the connection.
  if (!binaryType_ && !StatusNumber(reply)) {
    asciiSizeRefused_ = true;
    reply = SizeInImageType(name);
  }
  const auto stored = StatusNumber(reply);
  if (!stored) {
    Note("not verified (SIZE answered " + QuotedReply(reply) + ")");
    return;
  }
  // In ASCII mode a server may store text with its own line ends (LF).
  const bool same = *stored == sent.Size() || (!binaryType_ && *stored == sent.SizeWithLfLineEnds());
  if (!same) RaiseIncompleteUpload(*stored, sent.Size());
  Note("verified: " + std::to_string(*stored) + " bytes");
  verifiedBy_ = "size";
  if (sent.Kind() != THashKind::None) VerifyDigest(name, sent, features);
}

std::string TFtpClient::SizeInImageType(const std::string& name) {
  WriteCommands({"TYPE I", "SIZE " + name});
  // The next transfer of this connection goes as text again: it sets TYPE A
  // first (QUIT needs none).
  if (ReplyCodeOf(ReadReply()) == 200) imageTypeForQuery_ = true;
  return ReadReply();
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
  if (theirs != ours) RaiseCorruptedUpload(sent.Kind(), theirs, ours);
  Note("verified: " + algorithm + " " + ours);
  verifiedBy_ = AsciiLowerWithoutDash(algorithm);
}

}  // namespace ftp
