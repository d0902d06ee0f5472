#include "ftp/tls_connection.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "ftp/net_address.h"
#include "ftp/tls_certificate_text.h"
#include "ftp/tls_context_impl.h"
#include "ftp/tls_socket_bio.h"

namespace ftp {
namespace {

// Why a server ended the handshake or the connection with an alert about
// our certificate, or nothing when the alert says something else.
std::string ClientCertificateRefusal(int reason, const std::string& host, const std::string& certificate) {
  switch (reason) {
    case SSL_R_TLSV13_ALERT_CERTIFICATE_REQUIRED:
      if (certificate.empty()) return "TLS: " + host + " requires a client certificate, and none is set up";
      [[fallthrough]];
    case SSL_R_SSLV3_ALERT_BAD_CERTIFICATE:
    case SSL_R_SSLV3_ALERT_CERTIFICATE_EXPIRED:
    case SSL_R_SSLV3_ALERT_CERTIFICATE_REVOKED:
    case SSL_R_SSLV3_ALERT_CERTIFICATE_UNKNOWN:
    case SSL_R_SSLV3_ALERT_UNSUPPORTED_CERTIFICATE:
    case SSL_R_TLSV1_ALERT_UNKNOWN_CA:
    case SSL_R_TLSV1_ALERT_ACCESS_DENIED:
      if (certificate.empty()) return {};
      return "TLS: " + host + " refused the client certificate " + certificate + ": " + LibraryReason();
    default:
      return {};
  }
}

}  // namespace

struct TTlsConnection::Impl {
  SSL* ssl = nullptr;
  std::string host;
  std::string clientCertificate;  // what the context offers, for messages
  std::string refusal;  // why the certificate check failed, filled by RecordRefusal
  bool closeNotifySent = false;

  ~Impl() { SSL_free(ssl); }

  // What a failed call (result <= 0) means. Raises ETlsError for a broken
  // connection; `duringHandshake` words the message for that step.
  TlsStatus Failure(int result, bool duringHandshake) {
    const int savedErrno = errno;
    const int error = SSL_get_error(ssl, result);
    switch (error) {
      case SSL_ERROR_WANT_READ:
        return TlsStatus::WantRead;
      case SSL_ERROR_WANT_WRITE:
        return TlsStatus::WantWrite;
      case SSL_ERROR_ZERO_RETURN:
        return Ended(duringHandshake);
      case SSL_ERROR_SYSCALL:
        if (ERR_peek_error() == 0 && savedErrno != 0) {
          errno = savedErrno;
          return TlsStatus::SocketError;
        }
        return Ended(duringHandshake);
      default:
        if (!refusal.empty()) throw ETlsError("TLS: the certificate of " + host + " was refused: " + refusal);
        if (ERR_GET_REASON(ERR_peek_last_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING)
          return Ended(duringHandshake);
        if (const std::string text = ClientCertificateRefusal(ERR_GET_REASON(ERR_peek_error()), host,
                                                              clientCertificate);
            !text.empty())
          throw ETlsError(text);
        throw ETlsError((duringHandshake ? "TLS: the handshake with " : "TLS: the connection to ") + host +
                        " failed: " + LibraryReason());
    }
  }

  TlsStatus Ended(bool duringHandshake) {
    if (duringHandshake)
      throw ETlsError("TLS: " + host + " closed the connection during the handshake", ETlsError::Kind::Interrupted);
    return TlsStatus::Closed;
  }

  // After a TLS 1.3 handshake the server checks our certificate while we
  // already send; its alert may sit unread when our write meets the reset
  // that followed it. A refusal found there is the reason to report.
  void ExplainBrokenWrite() {
    const int savedErrno = errno;
    ERR_clear_error();
    char next = 0;
    std::size_t got = 0;
    if (SSL_peek_ex(ssl, &next, 1, &got) != 1 && SSL_get_error(ssl, 0) == SSL_ERROR_SSL) {
      const std::string text = ClientCertificateRefusal(ERR_GET_REASON(ERR_peek_error()), host, clientCertificate);
      if (!text.empty()) throw ETlsError(text);
    }
    errno = savedErrno;
  }

  template <typename Call>
  TlsTransfer Transfer(Call call) {
    ERR_clear_error();
    std::size_t moved = 0;
    const int result = call(&moved);
    if (result == 1) return {TlsStatus::Done, moved};
    return {Failure(result, false), 0};
  }
};

TTlsConnection::TTlsConnection(const TTlsContext& context, platform::SocketHandle socket,
                               const std::string& host)
    : impl_(std::make_unique<Impl>()) {
  if (host.empty()) throw ETlsError("TLS: no host name to check the certificate against");
  impl_->host = host;
  impl_->clientCertificate = context.impl_->clientCertificate;
  ERR_clear_error();
  SSL* ssl = impl_->ssl = SSL_new(context.impl_->ctx);
  if (!ssl) throw ETlsError("TLS: the connection to " + host + " cannot be set up: " + LibraryReason());
  BIO* bio = NewSocketBio(socket);
  SSL_set_bio(ssl, bio, bio);
  SSL_set_app_data(ssl, &impl_->refusal);
  X509_VERIFY_PARAM* check = SSL_get0_param(ssl);
  // An address (also "[2001:db8::1]" as a target list writes it) is checked
  // against the certificate's IP entries and sends no server name.
  if (const auto address = LiteralAddress(host)) {
    X509_VERIFY_PARAM_set1_ip_asc(check, address->Text().c_str());
  } else {
    SSL_set_tlsext_host_name(ssl, host.c_str());
    // RFC 9525: a certificate names its host in its DNS entries, never in
    // its common name.
    X509_VERIFY_PARAM_set_hostflags(check, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS | X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
    X509_VERIFY_PARAM_set1_host(check, host.c_str(), host.size());
  }
  SSL_set_connect_state(ssl);
}

TTlsConnection::~TTlsConnection() = default;

void TTlsConnection::ResumeSessionOf(const TTlsConnection& control) {
  SSL_SESSION* session = SSL_get1_session(control.impl_->ssl);
  if (!session) return;
  SSL_set_session(impl_->ssl, session);
  SSL_SESSION_free(session);
}

TlsStatus TTlsConnection::Handshake() {
  ERR_clear_error();
  const int result = SSL_do_handshake(impl_->ssl);
  return result == 1 ? TlsStatus::Done : impl_->Failure(result, true);
}

TlsTransfer TTlsConnection::Read(char* buffer, std::size_t size) {
  return impl_->Transfer([&](std::size_t* got) { return SSL_read_ex(impl_->ssl, buffer, size, got); });
}

TlsTransfer TTlsConnection::Peek(char* buffer, std::size_t size) {
  return impl_->Transfer([&](std::size_t* got) { return SSL_peek_ex(impl_->ssl, buffer, size, got); });
}

TlsTransfer TTlsConnection::Write(const char* bytes, std::size_t size) {
  if (size == 0) return {TlsStatus::Done, 0};
  const TlsTransfer sent =
      impl_->Transfer([&](std::size_t* written) { return SSL_write_ex(impl_->ssl, bytes, size, written); });
  if (sent.status == TlsStatus::SocketError) impl_->ExplainBrokenWrite();
  return sent;
}

TlsStatus TTlsConnection::Shutdown() {
  if (!impl_->closeNotifySent) {
    ERR_clear_error();
    const int result = SSL_shutdown(impl_->ssl);
    if (result < 0) {
      const TlsStatus status = impl_->Failure(result, false);
      return status == TlsStatus::Closed ? TlsStatus::Done : status;
    }
    impl_->closeNotifySent = true;
    if (result == 1) return TlsStatus::Done;
  }
  std::array<char, 16384> dropped;
  for (;;) {
    const TlsTransfer got = Read(dropped.data(), dropped.size());
    if (got.status == TlsStatus::Closed) return TlsStatus::Done;
    if (got.status != TlsStatus::Done) return got.status;
    // A peer that keeps sending must not keep us here: once what is buffered
    // is dropped, the caller waits for the socket (and its time-out) first.
    if (!SSL_has_pending(impl_->ssl)) return TlsStatus::WantRead;
  }
}

bool TTlsConnection::SessionReused() const { return SSL_session_reused(impl_->ssl) == 1; }

bool TTlsConnection::CloseNotifyReceived() const {
  return (SSL_get_shutdown(impl_->ssl) & SSL_RECEIVED_SHUTDOWN) != 0;
}

std::string TTlsConnection::Description() const {
  return std::string("TLS: ") + SSL_get_version(impl_->ssl) + " " + SSL_get_cipher_name(impl_->ssl) +
         ", certificate " + SubjectText(SSL_get0_peer_certificate(impl_->ssl));
}

}  // namespace ftp
