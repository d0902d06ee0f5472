#include "ftp/sock_session.h"

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "ftp/host_lookup.h"
#include "ftp/socket_error_table.h"
#include "platform/winsock_error.h"

namespace ftp {
namespace {

using namespace std::chrono_literals;

// How long one pass of a wait blocks before it processes messages again, and
// how often a data loop that moves data processes messages.
constexpr auto kWaitSlice = 5ms;
constexpr auto kPumpInterval = 5ms;

// Read, out-of-band and close: what every connected socket reports. Connect is
// added only while a connect runs, Accept only on a listening socket.
constexpr unsigned kDataEvents =
    platform::kSocketRead | platform::kSocketOutOfBand | platform::kSocketClose;

// Sessions alive in this process; the first one describes the socket layer.
std::atomic<int> liveSessions{0};

std::vector<std::string> SocketLayerInfo() {
  const platform::SocketLayer layer = platform::DescribeSocketLayer();
  return {"Version= 1.1",
          "Hauptversion= 2.2",
          "Beschreibung= " + layer.description,
          "System= Running",
          "Max Sockets= " + std::to_string(layer.maxSockets),
          "Max Upd Pack.-Größe= 65507"_ansi};
}

}  // namespace

TSockSession::TSockSession() : loop_(platform::EventLoop::Current()), timer_(loop_) {
  Status(8, "Erzeugen");
  timer_.SetEnabled(false);
  timer_.SetOnTimer([this](TSessionTimer&) { TimerFired(); });
  Status(8, "Winsock wird initialisiert");
  if (liveSessions.fetch_add(1) == 0) WinsockInfo = SocketLayerInfo();
  try {
    OpenSocket(AF_INET, IPPROTO_TCP);
    // Closing resets the connection and drops unsent data, so a session never
    // lingers on a dead peer; an upload switches this off before its close.
    const linger reset{1, 0};
    platform::SetSocketOption(socket_, SOL_SOCKET, SO_LINGER, reset);
  } catch (...) {
    liveSessions.fetch_sub(1);
    throw ESockError("Die Initialisierung der Windows-Sockets ist fehlgeschlagen");
  }
  lastPump_ = std::chrono::steady_clock::now();
}

TSockSession::~TSockSession() {
  Status(8, "Löschen"_ansi);
  TSockSession::Abort();
  Cancel();
  lookup_.reset();
  Destroying = true;
  try {
    CloseSocket();
  } catch (...) {
  }
  liveSessions.fetch_sub(1);
}

void TSockSession::OpenSocket(int family, int protocol) {
  // The loop watches the socket from its connect, listen or accept on: an
  // unconnected TCP socket reports a hang-up at once, which would read as a close.
  socket_ = platform::OpenStreamSocket(family, protocol);
  if (socket_ == platform::kNoSocket) CheckError(10035);
  family_ = family;
}

void TSockSession::ReplaceSocket(int family) {
  loop_.UnwatchSocket(socket_);
  platform::CloseSocket(socket_);
  socket_ = platform::kNoSocket;
  OpenSocket(family, 0);
}

void TSockSession::WatchForData(unsigned extra) {
  peerCloseError_ = 0;
  loop_.WatchSocket(socket_, kDataEvents | extra,
                    [this](unsigned event, int error) { OnSocketNotification(event, error); });
}

void TSockSession::Notify(const TNotifyEvent& event, TSockSession& sender) {
  if (event) event(sender);
}

void TSockSession::OnSocketNotification(unsigned event, int error) {
  // Nothing raised here may reach the event loop.
  try {
    EventOk = error == 0;
    switch (event) {
      case platform::kSocketRead:
        try {
          Notify(OnDataArrival, *this);
        } catch (...) {
        }
        break;
      case platform::kSocketAccept:
        Connected = true;
        Notify(OnAccept, *this);
        break;
      case platform::kSocketConnect:
        if (!EventOk) {
          LastError = platform::WinsockError(error);
          break;
        }
        Connected = true;
        Notify(OnConnect, *this);
        break;
      case platform::kSocketClose:
        peerCloseError_ = error;
        // With unread data left, the reader meets the end of the stream later;
        // so it always does through TLS, which may hold data read ahead and
        // must see how the stream ended.
        if (!tls_ && !DataAvailable()) CloseSocket();
        break;
      default:
        break;
    }
  } catch (...) {
  }
}

void TSockSession::OnCompletion(unsigned event, int error) {
  EventOk = error == 0;
  EventArrived = true;
  if (event == platform::kSocketAccept) Connected = true;
}

void TSockSession::OnLookupDone(int error, const std::vector<TNetAddress>& addresses) {
  EventOk = error == 0;
  LastError = error;
  EventArrived = true;
  peers_ = addresses;
}

void TSockSession::WaitFor(const std::function<bool()>& done, WaitOn what) {
  while (!done()) WaitPass(what);
}

void TSockSession::WaitPass(WaitOn what, Pumping pumping) {
  using namespace std::chrono;
  const short events = what == WaitOn::Readable ? POLLIN : what == WaitOn::Writable ? POLLOUT : 0;
  if (pumping == Pumping::EveryPass) {
    loop_.Wait(kWaitSlice, events ? socket_ : platform::kNoSocket, events);
    Pump();
    return;
  }
  // Notifications of the data socket would wake the loop at every arrival;
  // the socket alone decides until messages are due.
  auto due = lastPump_ + kPumpInterval - steady_clock::now();
  if (what == WaitOn::Delivery) due = std::min<steady_clock::duration>(due, 1ms);
  if (due > 0ms) {
    const auto timeout = duration_cast<milliseconds>(due + 999us).count();
    platform::PollSocket(socket_, events, static_cast<int>(timeout));
  }
  PumpIfDue();
}

void TSockSession::PumpIfDue() {
  if (std::chrono::steady_clock::now() - lastPump_ >= kPumpInterval) Pump();
}

void TSockSession::Pump() {
  if (progressed_) {
    // Time-outs are idle times: data moved, so the countdown starts again.
    timer_.Restart();
    progressed_ = false;
  }
  loop_.ProcessMessages();
  lastPump_ = std::chrono::steady_clock::now();
}

TSockSession::ReplyScope::ReplyScope(TSockSession& session, Patience patience)
    : session_(session), opened_(!session.replyBounds_.IsOpen()) {
  if (!opened_) return;
  session_.replyBounds_.Open(session_.SlowBound());
  session_.replyPatience_ = patience;
}

TSockSession::ReplyScope::~ReplyScope() {
  if (opened_) session_.replyBounds_.Close();
}

std::optional<std::chrono::milliseconds> TSockSession::SlowBound() const {
  using std::chrono::milliseconds;
  if (SlowTimeOut > 0) return milliseconds(SlowTimeOut);
  if (SlowTimeOut == 0 || TimeOut <= 0) return std::nullopt;
  return std::max(milliseconds(TimeOut) * 6, milliseconds(std::chrono::seconds(30)));
}

void TSockSession::ResolveHost() {
  Status(8, "Auf Host zurückschreiben"_ansi);
  const std::string& name = Proxy.empty() ? Host : Proxy;
  peers_.clear();
  if (const auto literal = LiteralAddress(name)) {
    peers_.push_back(*literal);
    return;
  }
  // The resolver would read such a name as something else than it says.
  if (HasControlCharacter(name)) throw ESockError("Ungültiger Hostname"_ansi);
  StartTimer();
  EventArrived = false;
  lookup_ = std::make_unique<THostLookup>(
      loop_, name, [this](int error, const std::vector<TNetAddress>& found) { OnLookupDone(error, found); });
  WaitFor([this] { return EventArrived || TimedOut || Cancelled; });
  StopTimer();
  // A result that comes after a time-out or cancel is dropped.
  lookup_.reset();
  if (TimedOut) throw ESockError("Zeitüberschreitung bei Host-Lookup"_ansi);
  if (Cancelled) throw ESockError("Host-Lookup abgebrochen");
  if (!EventOk) throw ESockError("Host-Lookup fehlgeschlagen");
  Notify(OnHostResolved, *this);
}

void TSockSession::ResolveWithRetry() {
  for (int retries = 0;; ++retries) {
    try {
      ResolveHost();
    } catch (const ESockError& error) {
      const std::string text = error.what();
      if (text == "Zeitüberschreitung bei Host-Lookup"_ansi || text == "Host-Lookup abgebrochen") throw;
      peers_.clear();
    }
    if (!peers_.empty()) return;
    if (retries > 0 || !OnInvalidHost) throw ESockError("Null Externe Adresse");
    bool handled = false;
    OnInvalidHost(handled);
    if (!handled) throw ESockError("Null Externe Adresse");
  }
}

void TSockSession::Connect() {
  Status(8, "Herstellen der Verbindung");
  Cancelled = false;
  if (Connected) throw ESockError("Bereits verbunden");
  ResolveWithRetry();
  const int port = Proxy.empty() ? Port : ProxyPort;
  if (port < 0 || port > 65535) throw ESockError("Ungültige Portnummer"_ansi);
  // A name may stand for IPv6 and IPv4 addresses: the next one is tried
  // when one fails, as long as nobody cancelled.
  const std::vector<TNetAddress> addresses = peers_;
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    TNetAddress address = addresses[i];
    address.SetPort(static_cast<std::uint16_t>(port));
    if (ConnectTo(address)) return;
    if (Cancelled && !TimedOut) break;
    // A plain session's time-out cancels too; the next address gets its own chance.
    if (i + 1 < addresses.size()) Cancelled = false;
  }
  Notify(OnConnectionFailed, *this);
  if (TimedOut) throw ESockError("Zeitüberschreitung bei Verbindung"_ansi);
  if (Cancelled) throw ESockError("Verbindung abgebrochen");
  // Why the last attempt failed, as the socket layer said it.
  throw ESockError(LastError > 10000 ? ErrorMessage(LastError) : "Verbindung fehlgeschlagen");
}

bool TSockSession::ConnectTo(const TNetAddress& address) {
  peer_ = address;
  if (address.Family() != family_) ReplaceSocket(address.Family());
  EventArrived = false;
  EventOk = true;
  TimedOut = false;
  LastError = 0;
  if (platform::ConnectSocket(socket_, address.Raw(), address.Length()) != 0 && errno != EINPROGRESS) {
    LastError = platform::WinsockError(errno);
    ReplaceSocket(family_);
    return false;
  }
  // Watching again arms the one-shot connect notification.
  WatchForData(platform::kSocketConnect);
  StartTimer();
  WaitFor([this] { return Connected || TimedOut || Cancelled || !EventOk; });
  StopTimer();
  if (!TimedOut && !Cancelled && EventOk) return true;
  // A connect that may still be pending must not haunt the next attempt.
  ReplaceSocket(family_);
  return false;
}

void TSockSession::Disconnect() {
  Status(8, "Verbindung wird abgebrochen");
  CloseSocket();
}

void TSockSession::Abort() {
  Status(8, "Abbrechen");
  Cancel();
}

void TSockSession::Cancel() {
  Status(8, "Beim Abbrechen");
  Cancelled = true;
}

void TSockSession::CheckConnected() {
  Status(8, "Überprüfung der Verbindung"_ansi);
  for (int attempts = 0; !Connected; ++attempts) {
    if (attempts > 0 || !OnConnectionRequired) throw Exception("Nicht verbunden");
    bool handled = false;
    OnConnectionRequired(handled);
    if (!handled) throw Exception("Nicht verbunden");
  }
}

void TSockSession::CloseSocket() {
  Status(4, "Schließen des Socket anfordern"_ansi);
  Connected = false;
  tls_.reset();
  if (socket_ == platform::kNoSocket) return;
  loop_.UnwatchSocket(socket_);
  const int closed = platform::CloseSocket(socket_);
  socket_ = platform::kNoSocket;
  if (closed != 0) CheckError(10035);
  if (Destroying) return;
  Notify(OnDisconnect, *this);
  OpenSocket(family_, 0);
}

void TSockSession::CheckError(int ignored) {
  const int error = platform::WinsockError(errno);
  LastError = error;
  if (error == ignored || error <= 10000) return;
  const std::string text = ErrorMessage(error);
  if (OnError) OnError(*this, static_cast<std::uint16_t>(error), text);
  throw ESockError(text);
}

std::string TSockSession::ErrorMessage(int error) {
  Status(8, "Fehlermeldung wird gelesen");
  if (error == 0) return {};
  if (const char* text = SocketErrorText(error)) return std::to_string(error) + ":" + text;
  return "Unbekannte Fehlernummer " + std::to_string(error);
}

void TSockSession::StartTimer() { StartTimer(TimeOut); }

void TSockSession::StartTimer(int interval) {
  Status(8, "Zeitgeber An");
  TimedOut = false;
  timer_.SetInterval(static_cast<unsigned>(std::max(interval, 0)));
  timer_.SetEnabled(true);
}

void TSockSession::StopTimer() {
  Status(8, "Zeitgeber Aus");
  timer_.SetEnabled(false);
}

void TSockSession::TimerFired() {
  Status(8, "Zeitgeber ausgelöst"_ansi);
  StopTimer();
  TimedOut = true;
  EventArrived = true;
  Abort();
}

void TSockSession::Status(int level, const std::string& text) {
  if (ReportLevel < level) return;
  statusText_ = text;
  if (Destroying || !OnStatus) return;
  try {
    OnStatus(*this, text);
  } catch (...) {
  }
}

}  // namespace ftp
