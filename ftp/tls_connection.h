#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "ftp/ftp_errors.h"
#include "platform/socket_handle.h"

namespace ftp {

// A TLS failure: the handshake, the peer's certificate or a broken record.
// The message names the host and the reason in plain English.
class ETlsError : public ESockError {
 public:
  // Whether TLS was refused (a certificate, a protocol) or the connection
  // broke off under it (cut, timed out), which a later attempt may not meet.
  enum class Kind { Refused, Interrupted };
  explicit ETlsError(const std::string& text, Kind kind = Kind::Refused) : ESockError(text), kind_(kind) {}
  bool Interrupted() const { return kind_ == Kind::Interrupted; }

 private:
  Kind kind_;
};

// What a client's TLS context trusts and offers. The files are PEM; an
// empty name or list means none.
struct TTlsSettings {
  // Authorities trusted beside the system's store.
  std::vector<std::string> caFiles{};
  // The certificate (with its chain) offered to a server that asks for one,
  // and its private key, which must not need a passphrase; without a key
  // file the key is taken from the certificate's file.
  std::string clientCertificate{};
  std::string clientKey{};
  // Revocation lists: the server's certificate is refused when the list of
  // its issuer names it. A certificate whose issuer has no list here is not
  // checked for revocation.
  std::vector<std::string> crlFiles{};

  bool operator==(const TTlsSettings&) const = default;
};

// The client side's TLS settings, shared by a control connection and its data
// connections, and by connections on several threads at once: TLS 1.2 at
// least, security level 2 at least (RSA and DH keys of 2048 bits or more,
// no SHA-1 signatures) whatever the system's configuration says, and peers
// verified against the system's trust store plus the given CA bundles.
class TTlsContext {
 public:
  // Raises ETlsError naming the file when one of them cannot be read, or
  // the key does not belong to the certificate.
  explicit TTlsContext(const TTlsSettings& settings = {});
  ~TTlsContext();
  TTlsContext(const TTlsContext&) = delete;
  TTlsContext& operator=(const TTlsContext&) = delete;

  // The context of `settings` that this process uses for every connection:
  // made on first use, and made afresh once one of its files has changed.
  // Safe to call from several threads. Raises as the constructor does.
  static std::shared_ptr<const TTlsContext> Shared(const TTlsSettings& settings);

 private:
  friend class TTlsConnection;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Where a TLS step stands. The connection never waits: WantRead and WantWrite
// ask the caller to wait until the socket is readable or writable and then to
// repeat the same call (a Write with the same bytes).
enum class TlsStatus {
  Done,         // the step is complete
  WantRead,     // wait for the socket to become readable, then call again
  WantWrite,    // wait for the socket to become writable, then call again
  Closed,       // Read, Peek: the peer ended its stream (see CloseNotifyReceived)
  SocketError,  // the socket failed; errno holds the system's reason
};

// The outcome of Read, Peek and Write: `bytes` moved when Done.
struct TlsTransfer {
  TlsStatus status;
  std::size_t bytes;
};

// The TLS layer of one connection over a connected, non-blocking socket that
// the caller owns and keeps open for the connection's lifetime. It speaks the
// client side and checks that the peer's certificate is trusted, valid and
// made out to `host`.
class TTlsConnection {
 public:
  // `host`: the DNS name or IP address the certificate must name. Raises
  // ETlsError for an empty host.
  TTlsConnection(const TTlsContext& context, platform::SocketHandle socket, const std::string& host);
  ~TTlsConnection();
  TTlsConnection(const TTlsConnection&) = delete;
  TTlsConnection& operator=(const TTlsConnection&) = delete;

  // Offers the server the TLS session of `control`, so that a data connection
  // resumes its control connection's session. Call before the handshake.
  void ResumeSessionOf(const TTlsConnection& control);

  // One step of the handshake and the certificate check. Raises ETlsError when
  // the peer is refused, speaks no TLS or closes during the handshake.
  TlsStatus Handshake();
  // Decrypted bytes into `buffer` (at most `size`); Closed when the peer ended
  // its stream. Raises ETlsError for a broken or forged record.
  TlsTransfer Read(char* buffer, std::size_t size);
  // As Read, but the bytes stay for the next Read or Peek.
  TlsTransfer Peek(char* buffer, std::size_t size);
  // Encrypts and sends up to `size` bytes; Done tells how many were taken.
  TlsTransfer Write(const char* bytes, std::size_t size);
  // One step of the closing: sends our close_notify, then reads (and drops
  // what still comes) until the peer's close_notify or its end of stream, so
  // that closing the socket afterwards loses nothing the peer still reads.
  TlsStatus Shutdown();

  // Whether the handshake resumed the offered session.
  bool SessionReused() const;
  // Whether the peer ended its stream with a close_notify (an end of stream
  // without one may have cut the data short).
  bool CloseNotifyReceived() const;
  // For the log, once the handshake is done: "TLS: TLSv1.3
  // TLS_AES_256_GCM_SHA384, certificate CN=ftp.plant1.example".
  std::string Description() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ftp
