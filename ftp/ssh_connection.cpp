#include "ftp/ssh_connection.h"

#include <libssh/libssh.h>

#include "ftp/ssh_errors.h"
#include "platform/sockets.h"

namespace ftp {
namespace {

// AES-GCM first: on processors with AES instructions it is several times
// faster than ChaCha20, which libssh would choose first; both are AEAD.
constexpr const char* kCiphers =
    "aes128-gcm@openssh.com,aes256-gcm@openssh.com,chacha20-poly1305@openssh.com,"
    "aes256-ctr,aes192-ctr,aes128-ctr";

std::string Reason(const char* said) { return said && *said ? std::string(": ") + said : std::string(); }

}  // namespace

struct TSshConnection::Impl {
  ssh_session session = nullptr;
  ssh_channel channel = nullptr;
  bool channelOpen = false;
  // A key whose authentication is under way (libssh wants the same one again).
  ssh_key pendingKey = nullptr;
  std::string pendingKeyFile;
  platform::SocketHandle socket;
  // The library's duplicate of the socket: ours to close until the key
  // exchange hands it over, the library's from then on.
  socket_t duplicate = platform::kNoSocket;
  bool handedOver = false;
  std::string host;
  std::string user;

  ~Impl() {
    ForgetPendingKey();
    if (channel) ssh_channel_free(channel);
    if (session) {
      // Says goodbye when the socket takes it; never waits.
      ssh_disconnect(session);
      ssh_free(session);
    }
    if (!handedOver && duplicate != platform::kNoSocket) platform::CloseSocket(duplicate);
  }

  void ForgetPendingKey() {
    if (pendingKey) ssh_key_free(pendingKey);
    pendingKey = nullptr;
    pendingKeyFile.clear();
  }

  const char* User() const { return user.empty() ? nullptr : user.c_str(); }

  // The library's two known_hosts files; an empty name points nowhere.
  void KnowHostsFrom(const std::string& file, const std::string& otherFile) {
    constexpr const char* kNowhere = "/nonexistent/known_hosts";
    ssh_options_set(session, SSH_OPTIONS_KNOWNHOSTS, file.empty() ? kNowhere : file.c_str());
    ssh_options_set(session, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, otherFile.empty() ? kNowhere : otherFile.c_str());
  }

  SshStatus Want() const {
    return ssh_get_poll_flags(session) & SSH_WRITE_PENDING ? SshStatus::WantWrite : SshStatus::WantRead;
  }

  // Whether the peer has ended the TCP connection (a close or a reset), also
  // when bytes it sent before are still unread; the library's own state does
  // not tell that from a failure of the protocol.
  bool PeerEnded() const { return platform::PeerEnded(socket); }

  [[noreturn]] void Fail(TSshFailure kind, const std::string& step) const {
    const char* said = ssh_get_error(session);
    // A server that says why it disconnects has refused, not broken down.
    const bool toldWhy = said && std::string(said).starts_with("Received SSH_MSG_DISCONNECT");
    if (!toldWhy && PeerEnded())
      throw ESockError("SSH: the connection to " + host + " ended during the " + step + Reason(said));
    throw ESshError(kind, "SSH: the " + step + " with " + host + " failed" + Reason(said));
  }

  SshStatus Auth(int result, const std::string& step) {
    switch (result) {
      case SSH_AUTH_SUCCESS: return SshStatus::Done;
      case SSH_AUTH_AGAIN: return Want();
      case SSH_AUTH_DENIED:
      case SSH_AUTH_PARTIAL: return SshStatus::Denied;  // partial: the next method may complete it
      default: Fail(TSshFailure::AuthenticationRefused, step);
    }
  }
};

TSshConnection::TSshConnection(platform::SocketHandle socket, const std::string& host, int port,
                               const std::string& user)
    : impl_(std::make_unique<Impl>()) {
  impl_->socket = socket;
  impl_->host = host;
  impl_->user = user;
  impl_->session = ssh_new();
  if (!impl_->session) throw ESshError(TSshFailure::Protocol, "SSH: the library cannot start a session");
  impl_->duplicate = platform::DuplicateSocket(socket);
  const int no = 0;
  // The user's ~/.ssh/config must not redirect or reconfigure a target.
  const bool set = impl_->duplicate != platform::kNoSocket &&
                   ssh_options_set(impl_->session, SSH_OPTIONS_FD, &impl_->duplicate) == SSH_OK &&
                   ssh_options_set(impl_->session, SSH_OPTIONS_HOST, host.c_str()) == SSH_OK &&
                   ssh_options_set(impl_->session, SSH_OPTIONS_PORT, &port) == SSH_OK &&
                   ssh_options_set(impl_->session, SSH_OPTIONS_PROCESS_CONFIG, &no) == SSH_OK &&
                   ssh_options_set(impl_->session, SSH_OPTIONS_CIPHERS_C_S, kCiphers) == SSH_OK &&
                   ssh_options_set(impl_->session, SSH_OPTIONS_CIPHERS_S_C, kCiphers) == SSH_OK &&
                   (user.empty() || ssh_options_set(impl_->session, SSH_OPTIONS_USER, user.c_str()) == SSH_OK);
  if (!set) throw ESshError(TSshFailure::Protocol, "SSH: the library cannot take the connection to " + host);
  ssh_set_blocking(impl_->session, 0);
}

TSshConnection::~TSshConnection() = default;

void TSshConnection::PreferKeyTypesOf(const std::string& file, const std::string& otherFile) {
  impl_->KnowHostsFrom(file, otherFile);
}

SshStatus TSshConnection::KeyExchange() {
  impl_->handedOver = true;
  const int result = ssh_connect(impl_->session);
  if (result == SSH_OK) return SshStatus::Done;
  if (result == SSH_AGAIN) return impl_->Want();
  impl_->Fail(TSshFailure::Protocol, "key exchange");
}

std::string TSshConnection::HostKeyFingerprint() const {
  ssh_key key = nullptr;
  unsigned char* hash = nullptr;
  std::size_t length = 0;
  std::string text;
  if (ssh_get_server_publickey(impl_->session, &key) == SSH_OK &&
      ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &length) == 0) {
    char* printed = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, length);
    if (printed) text = printed;
    ssh_string_free_char(printed);
  }
  ssh_clean_pubkey_hash(&hash);
  ssh_key_free(key);
  if (text.empty()) throw ESshError(TSshFailure::Protocol, "SSH: " + impl_->host + " showed no host key");
  return text;
}

std::string TSshConnection::KnownHostsLine() const {
  char* entry = nullptr;
  if (ssh_session_export_known_hosts_entry(impl_->session, &entry) != SSH_OK)
    throw ESshError(TSshFailure::Protocol, "SSH: the host key of " + impl_->host + " cannot be written down");
  std::string line = entry;
  ssh_string_free_char(entry);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

TKnownHost TSshConnection::LookUp(const std::string& file) {
  // The library reads two files; here each is asked on its own.
  impl_->KnowHostsFrom(file, "");
  switch (ssh_session_is_known_server(impl_->session)) {
    case SSH_KNOWN_HOSTS_OK: return TKnownHost::Match;
    // The file holds another key for the host, of the same type or of another.
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER: return TKnownHost::Changed;
    default: return TKnownHost::Unknown;
  }
}

std::string TSshConnection::Algorithms() const {
  const char* kex = ssh_get_kex_algo(impl_->session);
  const char* cipher = ssh_get_cipher_out(impl_->session);
  return std::string(kex ? kex : "?") + " " + (cipher ? cipher : "?");
}

SshStatus TSshConnection::AuthenticateNone() {
  return impl_->Auth(ssh_userauth_none(impl_->session, impl_->User()), "authentication");
}

unsigned TSshConnection::Methods() const {
  const int offered = ssh_userauth_list(impl_->session, impl_->User());
  unsigned methods = 0;
  if (offered & SSH_AUTH_METHOD_PUBLICKEY) methods |= kSshPublicKey;
  if (offered & SSH_AUTH_METHOD_PASSWORD) methods |= kSshPassword;
  if (offered & SSH_AUTH_METHOD_INTERACTIVE) methods |= kSshKeyboardInteractive;
  return methods;
}

SshStatus TSshConnection::AuthenticateByAgent() {
#ifdef _WIN32
  return SshStatus::Denied;  // libssh speaks to no agent on Windows
#else
  return impl_->Auth(ssh_userauth_agent(impl_->session, impl_->User()), "authentication by the ssh-agent");
#endif
}

SshStatus TSshConnection::AuthenticateByKey(const std::string& file) {
  if (impl_->pendingKeyFile != file) {
    impl_->ForgetPendingKey();
    // No passphrase and no prompt: a protected key is the agent's to offer.
    if (ssh_pki_import_privkey_file(file.c_str(), nullptr, nullptr, nullptr, &impl_->pendingKey) != SSH_OK) {
      impl_->pendingKey = nullptr;
      return SshStatus::Denied;
    }
    impl_->pendingKeyFile = file;
  }
  const SshStatus status = impl_->Auth(
      ssh_userauth_publickey(impl_->session, impl_->User(), impl_->pendingKey), "authentication by the key " + file);
  if (status != SshStatus::WantRead && status != SshStatus::WantWrite) impl_->ForgetPendingKey();
  return status;
}

SshStatus TSshConnection::AuthenticateByPassword(const std::string& password) {
  return impl_->Auth(ssh_userauth_password(impl_->session, impl_->User(), password.c_str()),
                     "authentication by password");
}

SshStatus TSshConnection::AuthenticateInteractively(const std::string& password) {
  const std::string step = "keyboard-interactive authentication";
  int result = ssh_userauth_kbdint(impl_->session, impl_->User(), nullptr);
  while (result == SSH_AUTH_INFO) {
    const int prompts = ssh_userauth_kbdint_getnprompts(impl_->session);
    // Some servers end with an empty round; anything but one hidden prompt
    // asks for more than a password.
    if (prompts > 1) return SshStatus::Denied;
    if (prompts == 1) {
      char echo = 0;
      ssh_userauth_kbdint_getprompt(impl_->session, 0, &echo);
      if (echo || ssh_userauth_kbdint_setanswer(impl_->session, 0, password.c_str()) < 0) return SshStatus::Denied;
    }
    result = ssh_userauth_kbdint(impl_->session, impl_->User(), nullptr);
  }
  return impl_->Auth(result, step);
}

SshStatus TSshConnection::OpenSftp() {
  if (!impl_->channel) impl_->channel = ssh_channel_new(impl_->session);
  if (!impl_->channel) impl_->Fail(TSshFailure::Refused, "opening of a channel");
  if (!impl_->channelOpen) {
    const int opened = ssh_channel_open_session(impl_->channel);
    if (opened == SSH_AGAIN) return impl_->Want();
    if (opened != SSH_OK) impl_->Fail(TSshFailure::Refused, "opening of a channel");
    impl_->channelOpen = true;
  }
  const int started = ssh_channel_request_subsystem(impl_->channel, "sftp");
  if (started == SSH_AGAIN) return impl_->Want();
  if (started != SSH_OK) impl_->Fail(TSshFailure::Refused, "start of the SFTP subsystem");
  return SshStatus::Done;
}

SshTransfer TSshConnection::Read(char* buffer, std::size_t size) {
  const int got = ssh_channel_read_nonblocking(impl_->channel, buffer, static_cast<std::uint32_t>(size), 0);
  if (got > 0) return {SshStatus::Done, static_cast<std::size_t>(got)};
  if (got == SSH_EOF || (got == 0 && ssh_channel_is_eof(impl_->channel))) return {SshStatus::Closed, 0};
  if (got == 0) return {impl_->Want(), 0};
  impl_->Fail(TSshFailure::Protocol, "SFTP session");
}

SshTransfer TSshConnection::Write(const char* bytes, std::size_t size) {
  const int taken = ssh_channel_write(impl_->channel, bytes, static_cast<std::uint32_t>(size));
  if (taken > 0) return {SshStatus::Done, static_cast<std::size_t>(taken)};
  // Nothing taken: the channel's window is full (wait for the server to open
  // it) or the socket is.
  if (taken == 0) return {impl_->Want(), 0};
  impl_->Fail(TSshFailure::Protocol, "SFTP session");
}

}  // namespace ftp
