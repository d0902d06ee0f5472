#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace app {

class EMailClientError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The addresses of a recipients text: split at ";", except a ";" that ends a
// character or entity reference ("a&#38;b" stays one address); empty parts
// are dropped.
std::vector<std::string> SplitRecipients(const std::string& recipients);

// The desktop mail client: opens a new, unsent mail with its recipients and
// subject filled in, for the user to review and send. The client is found
// once (at the first mail) and kept for the run.
class TMailClient {
 public:
  enum TConnectKind { ckRunningOrNew, ckNewInstance, ckRunningInstance };
  bool AutoConnect = false;
  TConnectKind ConnectKind = ckRunningOrNew;
  bool AutoQuit = false;

  // Finds the mail client (xdg-email on PATH); raises EMailClientError when there is none.
  void Connect();
  bool Connected() const { return !program_.empty(); }

  // Opens the new mail. `recipients` are separated by ";" (empty parts are
  // skipped); texts are Windows-1252. Raises EMailClientError when the client
  // cannot be started.
  void DisplayMail(const std::string& recipients, const std::string& subject);

 private:
  std::string program_;
};

}  // namespace app
