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

// Whether a recipient entry (from a container, written by whoever made it)
// may be used as a mail address: a local part, "@" and a domain, with no
// blank or control character, nothing that separates or annotates addresses
// or starts a query (? & , ; : < > " ( ) [ ] \), and not starting with "-".
bool IsMailAddress(const std::string& entry);

// The recipients of a recipients text that are mail addresses, and the
// entries that are not.
struct SortedRecipients {
  std::vector<std::string> addresses;
  std::vector<std::string> rejected;
};
SortedRecipients SortRecipients(const std::string& recipients);

// "mailto:" with the addresses and the subject, each percent-encoded in
// UTF-8 from Windows-1252, so the mail client can read nothing in it but
// addresses and a subject.
std::string MailtoUri(const std::vector<std::string>& addresses, const std::string& subject);

// The desktop mail client: opens a new, unsent mail with its recipients and
// subject filled in, for the user to review and send. The client is found
// once (at the first mail) and kept for the run.
class TMailClient {
 public:
  enum TConnectKind { ckRunningOrNew, ckNewInstance, ckRunningInstance };
  bool AutoConnect = false;
  TConnectKind ConnectKind = ckRunningOrNew;
  bool AutoQuit = false;

  // Finds the mail client (xdg-email on PATH; on Windows the program registered
  // for mailto:); raises EMailClientError when there is none.
  void Connect();
  bool Connected() const { return !program_.empty(); }

  // Opens the new mail, handing the client one mailto URI we build. Texts are
  // Windows-1252. Raises EMailClientError when the client cannot be started.
  void DisplayMail(const std::vector<std::string>& addresses, const std::string& subject);

 private:
  std::string program_;
};

}  // namespace app
