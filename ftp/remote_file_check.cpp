// How the client asks whether a name in the current folder is taken.
#include "ftp/ftp_client.h"
#include "ftp/reply_text.h"

namespace ftp {

std::optional<bool> TFtpClient::RemoteFileExists(const std::string& name) {
  CheckCommandText(name);
  Cancelled = false;
  CheckConnected();
  DiscardInput();
  // RFC 3659: MLST answers 250 for a name that exists and 550 for one that
  // does not; SIZE 213 or 550, but some servers refuse SIZE in ASCII mode
  // with 550 too, so MLST counts first. Before the server's features are
  // known, both go with FEAT in one write: one round trip either way.
  const bool askFeatures = !features_;
  std::vector<std::string> commands;
  if (askFeatures) commands.emplace_back("FEAT");
  if (askFeatures || features_->Mlst) commands.push_back("MLST " + name);
  if (askFeatures || (!features_->Mlst && features_->Size)) commands.push_back("SIZE " + name);
  if (commands.empty()) return std::nullopt;
  WriteCommands(commands);
  if (askFeatures) ReadFeatures();
  std::optional<int> mlst, size;
  for (std::size_t i = askFeatures ? 1 : 0; i < commands.size(); ++i) {
    const std::string reply = ReadReply();
    if (reply.empty()) std::rethrow_exception(Refusal(reply));
    (commands[i].starts_with("MLST") ? mlst : size) = ReplyCodeOf(reply);
  }
  if (features_->Mlst && mlst) {
    if (*mlst == 250) return true;
    if (*mlst == 550) return false;
    return std::nullopt;
  }
  if (!features_->Size || !size) return std::nullopt;
  if (*size == 213) return true;
  if (*size == 550 && binaryType_) return false;
  return std::nullopt;
}

}  // namespace ftp
