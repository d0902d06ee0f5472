// How the client asks whether a name in the current folder is taken.
#include "ftp/ftp_client.h"
#include "ftp/reply_text.h"

namespace ftp {

std::optional<bool> TFtpClient::RemoteFileExists(const std::string& name) {
  CheckCommandText(name);
  CheckConnected();
  const TServerFeatures& features = Features();
  // RFC 3659: MLST answers 250 for a name that exists and 550 for one that
  // does not; SIZE 213 or 550, but some servers refuse SIZE in ASCII mode
  // with 550 too, so MLST is asked first.
  const char* command = features.Mlst ? "MLST " : features.Size ? "SIZE " : nullptr;
  if (!command) return std::nullopt;
  DiscardInput();
  const std::string reply = Transaction(command + name);
  if (reply.empty()) throw ESockError("Verbindung vom Server beendet");
  const auto code = ReplyCodeOf(reply);
  if (code == 250 || code == 213) return true;
  if (code == 550 && features.Mlst) return false;
  if (code == 550 && binaryType_) return false;
  return std::nullopt;
}

}  // namespace ftp
