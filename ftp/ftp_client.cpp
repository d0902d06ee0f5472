#include "ftp/ftp_client.h"

#include <chrono>
#include <utility>

#include "ftp/reply_text.h"

namespace ftp {
namespace {

// How long QUIT's reply is awaited once a transfer is confirmed: a nearby
// server answers within it, a distant one is not waited for.
constexpr std::chrono::milliseconds kQuitReplyWait{10};

TCmdType KindOf(const std::string& command) {
  const std::string verb = Field(command, ' ', 1) + " ";
  if (verb == "CWD ") return ctChangeDir;
  if (verb == "DELE ") return ctDelete;
  if (verb == "MKD ") return ctMakeDir;
  if (verb == "RMD ") return ctRemoveDir;
  if (command == "PWD") return ctCurrentDir;
  return ctOther;
}

// RFC 959 speaks Telnet on the control connection, where the byte 255 (IAC,
// RFC 854) starts a Telnet command; a 255 that belongs to the text is doubled.
std::string TelnetText(const std::string& command) {
  std::string line;
  line.reserve(command.size());
  for (const char c : command) {
    line += c;
    if (static_cast<unsigned char>(c) == 0xFF) line += c;
  }
  return line;
}

}  // namespace

void CheckCommandText(const std::string& text) {
  if (text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
    throw FTPException("Unzulässiges Steuerzeichen (CR, LF oder NUL) im FTP-Befehl"_ansi);
}

TFtpClient::TFtpClient() {
  Port = 21;
  OnDataArrival = [](TSockSession&) {};
}

TFtpClient::~TFtpClient() { Cancel(); }

void TFtpClient::ReadContinuation(std::string line, std::vector<std::string>* lines) {
  while (ContinuesReply(line)) {
    line = ReadLn();
    Status(1, line);
    if (lines) lines->push_back(line);
  }
}

std::string TFtpClient::Transaction(const std::string& command) {
  const ReplyScope bounds(*this);
  const std::string reply = SendCommandLine(command);
  ReadContinuation(reply);
  return reply;
}

std::string TFtpClient::ReadReply(std::vector<std::string>* lines) {
  const ReplyScope bounds(*this);
  ReplyCode = 0;
  const std::string reply = ReadLn();
  LastReply = reply;
  Status(1, reply);
  ParseReplyCode(reply);
  ReadContinuation(reply, lines);
  return reply;
}

void TFtpClient::WriteCommands(const std::vector<std::string>& commands) {
  std::string lines;
  for (const std::string& command : commands) {
    CheckCommandText(command);
    lines += TelnetText(command) + "\r\n";
  }
  Write(lines);
}

std::string TFtpClient::SendCommandLine(const std::string& command) {
  CheckCommandText(command);
  return TSockSession::Transaction(TelnetText(command));
}

void TFtpClient::DiscardInput() {
  // Leftovers of an earlier reply must not be taken for the next one.
  if (DataAvailable()) Read(0);
}

void TFtpClient::CheckLoginReply(const std::string& reply) {
  // RFC 959: 4yz and 5yz refuse the login, and so does a reply without a code.
  const auto code = ReplyCodeOf(reply);
  if (code && *code <= 400) return;
  if (OnConnectionFailed) OnConnectionFailed(*this);
  std::rethrow_exception(Refusal(reply));
}

std::exception_ptr TFtpClient::Refusal(const std::string& reply) {
  // An empty line is what a closed connection leaves instead of a reply.
  if (reply.empty()) return std::make_exception_ptr(ESockError("Verbindung vom Server beendet"));
  return std::make_exception_ptr(FTPException(reply));
}

void TFtpClient::Connect() {
  Cancelled = false;
  if (Connected) return;
  ClearInput();
  TSockSession::Connect();
  // A new connection: its server is learnt afresh, and it starts in ASCII (RFC 959).
  features_.reset();
  epsvRefused_ = false;
  binaryType_ = false;
  imageTypeForQuery_ = false;
  asciiSizeRefused_ = false;
  transferConfirmed_ = false;
  // Each command is one short write that waits for its reply: the system
  // must not hold it back for an acknowledgement (as after a TLS handshake).
  SendWithoutDelay();
  try {
    if (TlsMode == TTlsMode::Implicit) SecureControlConnection();
    ReadGreeting();
    if (TlsMode == TTlsMode::Explicit) SecureControlConnection();
    if (FWAuthenticate) {
      CheckLoginReply(Transaction("USER " + FWUserID));
      if (ReplyCode == 331) {
        Status(1, "PASS ");
        CheckLoginReply(Transaction("PASS " + FWPassword));
      }
    }
    if ((UserID.empty() || Password.empty()) && OnAuthenticationNeeded) {
      bool handled = false;
      OnAuthenticationNeeded(handled);
    }
    if (!Proxy.empty()) {
      // The proxy's answer to this is not examined.
      switch (FirewallType) {
        case FTUser: Transaction("USER " + UserID + "@" + Host); break;
        case FtOpen: Transaction("OPEN " + Host); break;
        case FtSite: Transaction("SITE " + Host); break;
      }
    }
    if (Proxy.empty() || FirewallType != FTUser) {
      Status(1, "USER " + UserID);
      CheckLoginReply(Transaction("USER " + UserID));
    }
    if (ReplyCode == 331) {
      Status(1, "PASS ");
      CheckLoginReply(Transaction("PASS " + Password));
    }
    if (TlsMode != TTlsMode::None) ProtectDataConnections();
  } catch (...) {
    try {
      Disconnect();
    } catch (...) {
    }
    Status(1, "Verbindung abgebrochen");
    throw;
  }
  Notify(OnConnect, *this);
}

void TFtpClient::ReadGreeting() { CheckLoginReply(ReadReply()); }

void TFtpClient::SecureControlConnection() {
  try {
    // Looked up for each connection, so that changed settings count.
    tlsContext_ = TTlsContext::Shared({TlsCaFiles, TlsCertificateFile, TlsKeyFile, TlsCrlFiles});
    if (TlsMode == TTlsMode::Explicit) {
      Status(1, "AUTH TLS");
      const std::string reply = Transaction("AUTH TLS");
      if (ReplyCode != 234) throw ETlsError("TLS: " + Host + " refused AUTH TLS: " + QuotedReply(reply));
    }
    StartTls(*tlsContext_);
  } catch (const ETlsError&) {
    if (OnConnectionFailed) OnConnectionFailed(*this);
    throw;
  }
}

void TFtpClient::ProtectDataConnections() {
  const std::vector<std::string> commands = {"PBSZ 0", "PROT P"};
  for (const std::string& command : commands) Status(1, command);
  // RFC 4217: PROT follows PBSZ; in one write the server still takes them in turn.
  WriteCommands(commands);
  std::vector<std::string> replies;
  for (std::size_t i = 0; i < commands.size(); ++i) replies.push_back(ReadReply());
  for (std::size_t i = 0; i < commands.size(); ++i) {
    const auto code = ReplyCodeOf(replies[i]);
    if (!code || *code < 200 || *code >= 300)
      throw ETlsError("TLS: " + Host + " refused " + commands[i] + ": " + QuotedReply(replies[i]));
  }
}

void TFtpClient::SendCommand(const std::string& command) {
  const TCmdType kind = KindOf(command);
  try {
    CheckCommandText(command);
  } catch (const FTPException&) {
    // Never sent, but refused all the same: the caller's failure report shows it.
    Failure(kind, std::current_exception());
    return;
  }
  Cancelled = false;
  CheckConnected();
  Status(1, command);
  DiscardInput();
  const std::string reply = Transaction(command);
  // RFC 959: 4yz (transient) and 5yz (permanent) replies refuse the command;
  // a reply without a code does not answer it.
  const auto code = ReplyCodeOf(reply);
  if (!code || *code >= 400) {
    Refused(kind, reply);
  } else if (OnSuccess) {
    OnSuccess(kind);
  }
}

void TFtpClient::ChangeDirectory(const std::string& directory) { SendCommand("CWD " + directory); }

void TFtpClient::Rename(const std::string& from, const std::string& to) {
  CheckCommandText(from);
  CheckCommandText(to);
  CheckConnected();
  DiscardInput();
  // RFC 959: RNFR is answered 350 when RNTO may follow.
  const std::string first = Transaction("RNFR " + from);
  if (ReplyCodeOf(first) != 350) {
    Refused(ctRename, first);
    return;
  }
  const std::string second = Transaction("RNTO " + to);
  const auto code = ReplyCodeOf(second);
  if (!code || *code >= 300) {
    Refused(ctRename, second);
  } else if (OnSuccess) {
    OnSuccess(ctRename);
  }
}

void TFtpClient::SetTransferMode(TTransferMode mode) {
  const char* command = mode == tmAscii   ? "TYPE A"
                        : mode == tmImage  ? "TYPE I"
                        : mode == tmLocal8 ? "TYPE L 8"
                                           : nullptr;
  if (!command) return;
  binaryType_ = mode != tmAscii;
  // The caller's type goes on the wire: the client has nothing of its own left to undo.
  imageTypeForQuery_ = false;
  SendCommand(command);
}

void TFtpClient::Disconnect() {
  Cancelled = false;
  if (!Connected) return;
  Status(1, "QUIT");
  std::string reply;
  const bool confirmed = std::exchange(transferConfirmed_, false);
  try {
    Vendor = 2411;
    DiscardInput();
    reply = confirmed ? QuitBriefly() : Transaction("QUIT");
  } catch (...) {
    TSockSession::Disconnect();
    throw;
  }
  TSockSession::Disconnect();
  if (ReplyCode <= 300 || ReplyCode >= 600) return;
  // What the transfer moved is confirmed; a server that refuses to say
  // goodbye changes nothing of it.
  if (confirmed) return Note("QUIT answered " + QuotedReply(reply));
  throw FTPException(reply);
}

std::string TFtpClient::QuitBriefly() {
  ReplyCode = 0;
  Writeln("QUIT");
  // The QUIT must reach the server even when the socket closes before its reply.
  KeepUnsentDataOnClose();
  const auto deadline = std::chrono::steady_clock::now() + kQuitReplyWait;
  WaitFor([&] { return !Connected || Cancelled || DataAvailable() || std::chrono::steady_clock::now() >= deadline; },
          WaitOn::Readable);
  if (!Connected || Cancelled || !DataAvailable()) return {};
  return ReadReply();
}

void TFtpClient::Abort() {
  if (dataConnection_) dataConnection_->Cancel();
}

bool TFtpClient::FailureReply(TCmdType kind, const std::string& reply) {
  return Failure(kind, Refusal(reply));
}

bool TFtpClient::Refused(TCmdType kind, const std::string& reply) {
  if (IsUnknownCommand(ReplyCodeOf(reply)) && OnUnSupportedFunction) OnUnSupportedFunction(kind);
  return FailureReply(kind, reply);
}

bool TFtpClient::Failure(TCmdType kind, const std::exception_ptr& error) {
  bool handled = false;
  if (OnFailure) OnFailure(handled, kind);
  if (!handled) std::rethrow_exception(error);
  return false;
}

std::int64_t TFtpClient::BytesReceived() const {
  return dataConnection_ ? dataConnection_->BytesReceived : lastReceived_;
}

}  // namespace ftp
