// How the client learns what a server keeps without moving a file.
#include "ftp/ftp_client.h"
#include "ftp/reply_text.h"

namespace ftp {

std::vector<TRemoteFile> TFtpClient::DescribeFiles(const std::vector<std::string>& names) {
  Cancelled = false;
  CheckConnected();
  DiscardInput();
  const bool askFeatures = !features_;
  // The size of a text in ASCII mode depends on the server's line ends, or
  // is refused (pyftpdlib); in image type it is the bytes the server keeps.
  const bool switchType = !binaryType_ && !imageTypeForQuery_;
  std::vector<std::string> commands;
  if (askFeatures) commands.emplace_back("FEAT");
  if (switchType) commands.emplace_back("TYPE I");
  for (const std::string& name : names) {
    commands.push_back("SIZE " + name);
    commands.push_back("MDTM " + name);
  }
  // One write: the server answers in order, all of it in one round trip.
  WriteCommands(commands);
  if (askFeatures) ReadFeatures();
  if (switchType && ReplyCodeOf(ReadReply()) == 200) imageTypeForQuery_ = true;
  const auto next = [this] {
    std::string reply = ReadReply();
    if (reply.empty()) std::rethrow_exception(Refusal(reply));
    return reply;
  };
  std::vector<TRemoteFile> files;
  for (std::size_t i = 0; i < names.size(); ++i) {
    TRemoteFile file;
    const std::string size = next();
    const std::string modified = next();
    if (features_->Size && (binaryType_ || imageTypeForQuery_)) file.Size = StatusNumber(size);
    if (features_->Mdtm) file.Modified = TimeStampOf(modified);
    files.push_back(std::move(file));
  }
  return files;
}

}  // namespace ftp
