#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ftp/ftp_errors.h"
#include "ftp/net_address.h"
#include "ftp/reply_bounds.h"
#include "ftp/session_timer.h"
#include "ftp/tls_connection.h"
#include "platform/event_loop.h"
#include "platform/sockets.h"

namespace ftp {

class THostLookup;
class MinimumRate;
class TFileSource;
class TSentBytes;

// A TCP session over one non-blocking IPv4 or IPv6 socket, driven from the UI thread.
// Socket readiness, the host lookup's completion and the time-out timer arrive
// as notifications of the thread's event loop; every operation that waits
// keeps that loop (and the host toolkit) running, so the window stays
// responsive. A session always owns a socket, ready for the next Connect.
class TSockSession {
 public:
  using TNotifyEvent = std::function<void(TSockSession& Sender)>;
  using THandlerEvent = std::function<void(bool& Handled)>;
  using TOnStatus = std::function<void(TSockSession& Sender, const std::string& Status)>;
  using TOnErrorEvent =
      std::function<void(TSockSession& Sender, std::uint16_t Errno, const std::string& Errmsg)>;

  static constexpr std::size_t kBufferSize = 65536;

  // Raises ESockError "Die Initialisierung der Windows-Sockets ist fehlgeschlagen"
  // when no socket can be created.
  TSockSession();
  virtual ~TSockSession();
  TSockSession(const TSockSession&) = delete;
  TSockSession& operator=(const TSockSession&) = delete;

  // Published properties.
  std::string Host;
  int Port = 0;
  int TimeOut = 0;  // milliseconds without progress; 0 = waits are unbounded
  // How long the session bears with a peer that is alive but slow, in
  // milliseconds: a reply must be complete within it, a transfer must move
  // at least 1,024 bytes in every such span, and the final reply of a
  // transfer may take this long to come. -1: TimeOut x 6, at least 30 s
  // (none when TimeOut is 0); 0: none.
  int SlowTimeOut = -1;
  int ReportLevel = 0;
  TNotifyEvent OnDisconnect;
  TNotifyEvent OnConnect;
  THandlerEvent OnInvalidHost;
  TNotifyEvent OnHostResolved;
  TOnStatus OnStatus;
  TNotifyEvent OnConnectionFailed;

  // Public members (published by TFtpClient).
  std::string Proxy;
  int ProxyPort = 0;
  TOnErrorEvent OnError;
  THandlerEvent OnConnectionRequired;
  TNotifyEvent OnPacketRecvd;
  TNotifyEvent OnPacketSent;
  // Internal notifications: data arrived; an incoming connection was signalled.
  TNotifyEvent OnDataArrival;
  TNotifyEvent OnAccept;

  // State that the operations and their callers test.
  bool Cancelled = false;
  bool TimedOut = false;
  bool EventArrived = false;
  bool EventOk = false;
  bool Connected = false;
  bool Destroying = false;
  int LastError = 0;
  std::string LastReply;
  std::int16_t ReplyCode = 0;
  std::int64_t BytesSent = 0;
  std::int64_t BytesReceived = 0;
  std::int64_t TransferSize = 0;
  // Six lines about the socket layer, filled by the first live session only.
  std::vector<std::string> WinsockInfo;

  // The last text reported by Status.
  const std::string& StatusText() const { return statusText_; }

  // Waits for the incoming connection of Listen and makes it this session's
  // socket (the listening socket is closed); returns it. Raises ESockError
  // "Annahme abgebrochen", "Zeitüberschreitung bei Annahme der Datenverbindung"
  // or "Fehler beim Herstellen der Datenverbindung".
  virtual platform::SocketHandle Accept();
  // Resolves Proxy or Host and connects to ProxyPort or Port, trying the
  // addresses of the name in turn, each within TimeOut. Raises ESockError:
  // the time-out or cancel text, or the socket error of the last attempt
  // ("10061:Connection refused").
  virtual void Connect();
  virtual void Disconnect();
  // Sends the command line and returns the reply line (empty when the peer closed).
  virtual std::string Transaction(const std::string& command);
  virtual void Abort();

  // Sets Cancelled, which ends the waiting operation.
  void Cancel();
  // Raises Exception "Nicht verbunden" unless connected (after OnConnectionRequired had its chance).
  void CheckConnected();
  // Sends all bytes; a length of 0 sends up to the first zero byte.
  void SendBuffer(const char* bytes, std::size_t length);
  // Sends the text (up to a zero byte); raises ESockError for 64 KiB or more.
  void Write(const std::string& text);
  // Sends the text and CR LF.
  void Writeln(const std::string& text);
  // The next line with its terminator; empty when the peer closed. Raises
  // EAbortError on cancel or time-out, ESockError for a line beyond 64 KiB.
  // The line counts toward the bounds of the reply it belongs to (ReplyScope);
  // outside one it is a reply of its own.
  std::string ReadLn();
  // `count` bytes (0: whatever is waiting, which may be nothing).
  std::string Read(std::uint16_t count);
  // Whether at least one byte is waiting; does not wait.
  bool DataAvailable();
  // Drops whatever is waiting (up to 64 KiB); does not wait.
  void ClearInput();
  // Finds the addresses of Proxy or Host; a literal address (four decimal
  // numbers 0 to 255, or IPv6 with or without brackets) needs no lookup.
  // Raises ESockError when the lookup fails, times out or is cancelled, or
  // the name holds a control character.
  void ResolveHost();
  // Closes the socket and, unless destroying, opens a fresh one.
  void CloseSocket();
  // Raises ESockError (after OnError) for the last socket error unless it is
  // `ignored` or not above 10000.
  void CheckError(int ignored);
  // "number:text" from the socket error table; empty for 0.
  std::string ErrorMessage(int error);
  // Arms the time-out with TimeOut; a running countdown continues.
  void StartTimer();
  // The same with `interval` milliseconds (0: no time-out).
  void StartTimer(int interval);
  void StopTimer();
  // The time-out: sets TimedOut and EventArrived, then Abort.
  void TimerFired();
  // Reports `text` through OnStatus when ReportLevel reaches `level`.
  void Status(int level, const std::string& text);

  // Data-connection operations.
  // Listens on Port (0: a free one) of the local address `at` (its own
  // port does not count) for one incoming connection; raises ESockError.
  void Listen(bool useCompletion, const TNetAddress& at);
  // Accept takes connections from this host only; others are closed.
  void AcceptOnlyFrom(const TNetAddress& address) { acceptFrom_ = address; }
  // The address and port the socket is bound to.
  TNetAddress LocalAddress() const;
  // "a1,a2,a3,a4" of the local IPv4 address, as PORT writes it.
  std::string LocalAddressText();
  // ",p1,p2" of the local port, as PORT writes it.
  std::string LocalPortText();
  // Raises EAbortError "Socket-send abgebrochen", "Zeitüberschreitung beim
  // Senden der Datei" (TimeOut without progress) or "Übertragung zu langsam: ..."
  // (below the minimum rate over SlowTimeOut).
  // The bytes read from the file also go to `seen` when one is given.
  // Raises Exception when the source ends before its Size().
  void SendFile(TFileSource& source, TSentBytes* seen = nullptr);
  // Waits until the peer has taken every byte sent (where the system tells;
  // elsewhere it returns at once). Each byte taken is progress; raises like
  // SendFile, and ESockError when the peer resets the connection meanwhile.
  void AwaitDelivery();
  // Raises EAbortError "Socket-send abgebrochen" on cancel or when no data
  // came for TimeOut, "Übertragung zu langsam: ..." below the minimum rate.
  void CaptureFile(const std::string& file);

  // TLS over the connected socket: the handshake, with the peer's certificate
  // checked against Host, or when `resumed` (a control connection) is given
  // against its Host, offering its TLS session. From then on every byte goes through TLS. Raises
  // ETlsError (the connection is closed then) when the peer is refused or
  // speaks no TLS, or does not finish the handshake within TimeOut.
  void StartTls(const TTlsContext& context, const TSockSession* resumed = nullptr);
  // Sends close_notify and waits, within TimeOut, for the peer's (or the end
  // of its stream), so that the close loses nothing. Raises ETlsError.
  void EndTls();
  bool TlsActive() const { return tls_ != nullptr; }
  // "TLS: TLSv1.3 TLS_AES_256_GCM_SHA384, certificate CN=..."; empty without TLS.
  std::string TlsDescription() const;

  // The address the session connected to or accepted from.
  const TNetAddress& PeerAddress() const { return peer_; }
  platform::SocketHandle SocketHandle() const { return socket_; }
  // Lets a later close deliver the data still queued instead of resetting.
  void KeepUnsentDataOnClose();
  // Sends each write at once, without waiting for the peer to acknowledge
  // what went before (TCP_NODELAY).
  void SendWithoutDelay();

 protected:
  // What a wait blocks on besides the loop's own notifications. Nothing
  // signals that the peer has taken the data sent (Delivery): such a wait
  // looks again after a millisecond.
  enum class WaitOn { Messages, Readable, Writable, Delivery };
  // How often a wait processes messages: after every pass, or (data loops,
  // which pass very often) only once the last processing is a few ms ago.
  enum class Pumping { EveryPass, WhenDue };
  // How long a reply may keep the client waiting without a byte: TimeOut, or,
  // for the final reply of a transfer (a receiving site may check a file
  // before it confirms it), as long as the reply may take in all.
  enum class Patience { TimeOut, SlowTimeOut };

  // Opens the bounds of one reply for its lifetime, unless one is open
  // already: every line read inside counts toward the same reply.
  class ReplyScope {
   public:
    explicit ReplyScope(TSockSession& session, Patience patience = Patience::TimeOut);
    ~ReplyScope();
    ReplyScope(const ReplyScope&) = delete;
    ReplyScope& operator=(const ReplyScope&) = delete;

   private:
    TSockSession& session_;
    bool opened_;
  };

  // The span of SlowTimeOut as it applies; nullopt: no bound.
  std::optional<std::chrono::milliseconds> SlowBound() const;

  // Keeps messages flowing until `done` holds.
  void WaitFor(const std::function<bool()>& done, WaitOn what = WaitOn::Messages);
  // One pass of every wait of the session: blocks in poll for at most a few
  // milliseconds on the loop (WhenDue: on the socket alone, until messages
  // are due) and on the socket for `what`, then processes pending messages.
  void WaitPass(WaitOn what, Pumping pumping = Pumping::EveryPass);
  // Processes messages if the last processing is a few milliseconds ago.
  void PumpIfDue();
  // Processes messages; data that moved since the last time restarts the time-out.
  void Pump();
  // Data moved through a layer above the socket: the next Pump restarts the time-out.
  void MarkProgress() { progressed_ = true; }

  static void Notify(const TNotifyEvent& event, TSockSession& sender);
  // ReplyCode := the leading number of `reply` (first 10 characters), if it
  // has one. Raises ESockError "Ungültiger Antwortcode" above 32767.
  void ParseReplyCode(const std::string& reply);

  platform::EventLoop& loop_;

 private:
  void OpenSocket(int family, int protocol);
  // Closes the socket (without OnDisconnect) and opens a fresh one of `family`.
  void ReplaceSocket(int family);
  // One connect attempt, within TimeOut; false when it failed (LastError
  // holds the socket error, TimedOut or Cancelled what ended it).
  bool ConnectTo(const TNetAddress& address);
  void WatchForData(unsigned extra = 0);
  void OnSocketNotification(unsigned event, int error);
  void OnCompletion(unsigned event, int error);
  void OnLookupDone(int error, const std::vector<TNetAddress>& addresses);
  void ResolveWithRetry();
  // Sends all bytes. Without `rate` they are a command line; with it, file
  // data: counted (BytesSent), reported (OnPacketSent) and held to the rate.
  void SendAll(const char* bytes, std::size_t length, MinimumRate* rate);
  // The bytes sent that the peer has taken; all of BytesSent where the
  // system does not tell.
  std::int64_t BytesTaken() const;
  platform::SocketHandle TakeAcceptedConnection();
  // Raises EAbortError with `timeoutText` after a time-out, else with
  // `cancelText` after a cancel, and clears Cancelled; returns otherwise.
  void RaiseIfStopped(const char* cancelText, const char* timeoutText);
  // Raises the error of the peer's close when it was a reset: a stream that
  // ended so did not deliver everything.
  void RaiseIfPeerReset();
  // The session's byte I/O, through TLS once it is started. They return as
  // recv and send do: bytes, 0 at the end of the stream, -1 with errno; for
  // EAGAIN, ioWait_ says what to wait for before the same call is repeated.
  ssize_t Receive(char* buffer, std::size_t size, bool peek);
  ssize_t SendSome(const char* bytes, std::size_t size);
  // Repeats one TLS step within the time-out, waiting as it asks, until it is
  // done; raises the socket error, or ETlsError naming `what` ("handshake
  // with HOST") when the session was cancelled or timed out.
  void DriveTls(const std::function<TlsStatus()>& step, const std::string& what);

  std::array<char, kBufferSize> buffer_;
  platform::SocketHandle socket_ = platform::kNoSocket;
  int family_ = AF_INET;
  TNetAddress peer_;
  // What the last ResolveHost found, in the order to try.
  std::vector<TNetAddress> peers_;
  std::optional<TNetAddress> acceptFrom_;
  // The error a peer's close came with (a reset). The event loop takes it off
  // the socket when it reports the close, so the reader finds it here.
  int peerCloseError_ = 0;
  std::string statusText_;
  TSessionTimer timer_;
  std::unique_ptr<THostLookup> lookup_;
  std::chrono::steady_clock::time_point lastPump_;
  bool progressed_ = false;  // data moved since the last pump
  ReplyBounds replyBounds_;
  Patience replyPatience_ = Patience::TimeOut;
  std::unique_ptr<TTlsConnection> tls_;
  WaitOn ioWait_ = WaitOn::Readable;
};

}  // namespace ftp
