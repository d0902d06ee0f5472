// The SSH side of the SFTP client: the connection, the host key and the
// authentication.
#include "ftp/sftp_client.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "ftp/sftp_channel.h"
#include "ftp/ssh_connection.h"
#include "ftp/ssh_socket.h"
#include "platform/file_io.h"

namespace ftp {
namespace {

// OpenSSH prints fingerprints without the base64 padding; others keep it.
std::string WithoutPadding(std::string fingerprint) {
  while (fingerprint.ends_with('=')) fingerprint.pop_back();
  return fingerprint;
}

std::string Joined(const std::vector<std::string>& items, const char* separator) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
  return text;
}

std::string MethodNames(unsigned methods) {
  std::vector<std::string> names;
  if (methods & kSshPublicKey) names.emplace_back("publickey");
  if (methods & kSshPassword) names.emplace_back("password");
  if (methods & kSshKeyboardInteractive) names.emplace_back("keyboard-interactive");
  return names.empty() ? "nothing we speak" : Joined(names, ", ");
}

}  // namespace

std::vector<std::string> DefaultSshKeyFiles() {
  if (const char* key = std::getenv("PARCELO_SSH_KEY"); key && *key) return {key};
  const std::string ssh = platform::HomeFolder() + "/.ssh/";
  return {ssh + "id_ed25519", ssh + "id_ecdsa", ssh + "id_rsa"};
}

std::string DefaultUserKnownHostsFile() { return platform::HomeFolder() + "/.ssh/known_hosts"; }

TSftpClient::TSftpClient() = default;

TSftpClient::~TSftpClient() { Close(); }

void TSftpClient::Status(int level, const std::string& text) const {
  if (ReportLevel >= level && OnStatus) OnStatus(text);
}

void TSftpClient::Note(const std::string& text) const {
  Status(1, text);
  if (OnTransferNote) OnTransferNote(text);
}

void TSftpClient::Connect() {
  if (Connected()) return;
  try {
    socket_ = std::make_unique<TSshSocket>();
    socket_->Host = Host;
    socket_->Port = Port;
    socket_->TimeOut = TimeOut;
    socket_->SlowTimeOut = SlowTimeOut;
    socket_->ReportLevel = ReportLevel;
    socket_->OnStatus = [this](TSockSession&, const std::string& text) { Status(8, text); };
    Status(1, "SSH: connecting to " + Host + ":" + std::to_string(Port));
    socket_->Connect();
    ssh_ = std::make_unique<TSshConnection>(socket_->SocketHandle(), Host, Port, UserID);
    // With pins, no file has a say, not even in the choice of the key type.
    if (PinnedHostKeys.empty())
      ssh_->PreferKeyTypesOf(KnownHostsFile, UserKnownHostsFile);
    else
      ssh_->PreferKeyTypesOf("", "");
    socket_->Drive([this] { return ssh_->KeyExchange(); }, "key exchange with " + Host);
    CheckHostKey();
    Authenticate();
    socket_->Drive([this] { return ssh_->OpenSftp(); }, "start of SFTP on " + Host);
    channel_ = std::make_unique<TSftpChannel>(*ssh_, *socket_, Host);
    extensions_ = channel_->Init();
    description_ = "SSH: " + ssh_->Algorithms() + ", host key " + ssh_->HostKeyFingerprint();
    Status(1, description_);
  } catch (...) {
    Close();
    throw;
  }
}

void TSftpClient::Close() {
  channel_.reset();
  ssh_.reset();
  if (!socket_) return;
  // Let the goodbye go out instead of resetting the connection.
  socket_->KeepUnsentDataOnClose();
  try {
    socket_->Disconnect();
  } catch (const Exception&) {
    // The close of a socket that the work is done with, or that failed already.
  }
  socket_.reset();
}

void TSftpClient::Disconnect() {
  if (!socket_) return;
  Status(1, "SSH: disconnecting from " + Host);
  Close();
}

void TSftpClient::Abort() {
  if (socket_) socket_->Cancel();
}

void TSftpClient::CheckHostKey() {
  const std::string fingerprint = ssh_->HostKeyFingerprint();
  const std::string bracketed = Host.find(':') == std::string::npos ? Host : "[" + Host + "]";
  const std::string shown = Port == kSftpPort ? Host : bracketed + ":" + std::to_string(Port);
  const std::string refused = "; refused: the server may have been replaced, or someone is in between";
  if (!PinnedHostKeys.empty()) {
    const bool pinned = std::any_of(PinnedHostKeys.begin(), PinnedHostKeys.end(), [&](const std::string& pin) {
      return WithoutPadding(pin) == WithoutPadding(fingerprint);
    });
    if (pinned) return;
    throw ESshError(TSshFailure::HostKeyChanged, "SSH: the host key of " + shown + " has changed: it is " +
                                                     fingerprint + ", but the target list pins " +
                                                     Joined(PinnedHostKeys, " ") + refused);
  }
  // The first file that knows the host decides.
  for (const std::string* file : {&KnownHostsFile, &UserKnownHostsFile}) {
    if (file->empty()) continue;
    switch (ssh_->LookUp(*file)) {
      case TKnownHost::Match: return;
      case TKnownHost::Changed:
        throw ESshError(TSshFailure::HostKeyChanged, "SSH: the host key of " + shown + " has changed: it is " +
                                                         fingerprint + ", but " + *file +
                                                         " holds another key for it" + refused);
      case TKnownHost::Unknown: break;
    }
  }
  if (!OnUnknownHostKey || OnUnknownHostKey(shown, fingerprint) != THostKeyDecision::AcceptAndRemember)
    throw ESshError(TSshFailure::HostKeyUnknown, "SSH: the host key of " + shown + " is unknown: " + fingerprint +
                                                     "; not trusted without a pin (hostkey=\"" + fingerprint +
                                                     "\" in the target list) or a yes in the window");
  if (KnownHostsFile.empty()) return;
  Remember(ssh_->KnownHostsLine());
  Note("SSH: host key " + fingerprint + " of " + shown + " accepted, stored in " + KnownHostsFile);
}

void TSftpClient::Remember(const std::string& line) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(KnownHostsFile).parent_path(), ignored);
  const int file = platform::OpenFile(KnownHostsFile, O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (file < 0) RaiseFileError("Datei kann nicht geschrieben werden", KnownHostsFile);
  // One write, so that sessions storing keys at once do not mix their lines.
  const std::string entry = line + "\n";
  const bool written = ::write(file, entry.data(), static_cast<unsigned>(entry.size())) ==
                       static_cast<ssize_t>(entry.size());
  const int error = errno;
  ::close(file);
  errno = error;
  if (!written) RaiseFileError("Datei kann nicht geschrieben werden", KnownHostsFile);
}

void TSftpClient::Authenticate() {
  const std::string what = "authentication with " + Host;
  if (socket_->Drive([this] { return ssh_->AuthenticateNone(); }, what) == SshStatus::Done) return;
  const unsigned methods = ssh_->Methods();
  const std::string account = UserID.empty() ? "the local user" : UserID;
  std::vector<std::string> tried;
  const auto accepted = [&](const std::string& how, const std::function<SshStatus()>& step) {
    tried.push_back(how);
    Status(1, "SSH: authenticating as " + account + " by " + how);
    return socket_->Drive(step, what) == SshStatus::Done;
  };
  if (methods & kSshPublicKey) {
    const char* agent = std::getenv("SSH_AUTH_SOCK");
    if (UseAgent && agent && *agent && accepted("ssh-agent", [this] { return ssh_->AuthenticateByAgent(); }))
      return;
    for (const std::string& file : KeyFiles) {
      if (!std::filesystem::exists(file)) continue;
      if (accepted("key " + file, [&] { return ssh_->AuthenticateByKey(file); })) return;
    }
  }
  if (!Password.empty()) {
    if ((methods & kSshPassword) &&
        accepted("password", [this] { return ssh_->AuthenticateByPassword(Password); }))
      return;
    if ((methods & kSshKeyboardInteractive) &&
        accepted("keyboard-interactive", [this] { return ssh_->AuthenticateInteractively(Password); }))
      return;
  }
  throw ESshError(TSshFailure::AuthenticationRefused,
                  "SSH: " + Host + " refused the authentication of " + account + " (tried: " +
                      (tried.empty() ? "nothing, no key file and no password" : Joined(tried, ", ")) +
                      "; the server takes: " + MethodNames(methods) + ")");
}

}  // namespace ftp
