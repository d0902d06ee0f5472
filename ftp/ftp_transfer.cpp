#include <filesystem>

#include "ftp/file_source.h"
#include "ftp/ftp_client.h"
#include "ftp/reply_text.h"
#include "ftp/replacement_file.h"
#include "ftp/sent_bytes.h"

namespace ftp {
namespace {

// RFC 959: after 1yz "about to open" the data moves; a 3yz reply to PASV,
// PORT, STOR or RETR, like 4yz, 5yz and a reply without a code, means it will not.
bool RefusesTransfer(const std::string& reply) {
  const auto code = ReplyCodeOf(reply);
  return !code || *code > 300;
}

}  // namespace

void TFtpClient::Upload(const std::string& localFile, const std::string& remoteName) {
  RunTransfer(ctUpload, [&] {
    CheckCommandText(remoteName);
    TLocalFile source(localFile);
    return UploadSteps(source, remoteName.empty() ? std::filesystem::path(localFile).filename().string() : remoteName);
  });
}

void TFtpClient::Upload(TFileSource& source, const std::string& remoteName) {
  RunTransfer(ctUpload, [&] { return UploadSteps(source, remoteName); });
}

void TFtpClient::Download(const std::string& remoteName, const std::string& localFile) {
  RunTransfer(ctDownload, [&] { return DownloadSteps(remoteName, localFile); });
}

void TFtpClient::RunTransfer(TCmdType kind, const std::function<bool()>& steps) {
  bool succeeded = false;
  transferConfirmed_ = false;
  try {
    Cancelled = false;
    CheckConnected();
    std::lock_guard lock(transferLock_);
    try {
      succeeded = steps();
    } catch (...) {
      EndTransfer(kind);
      throw;
    }
    EndTransfer(kind);
  } catch (...) {
    // Every failure of a transfer passes OnFailure before it reaches the caller.
    Failure(kind, std::current_exception());
  }
  transferConfirmed_ = succeeded;
  if (succeeded && OnSuccess) OnSuccess(kind);
}

void TFtpClient::EndTransfer(TCmdType kind) {
  if (dataConnection_) {
    lastReceived_ = dataConnection_->BytesReceived;
    dataConnection_.reset();
  }
  if (kind != ctDownload || !Cancelled) return;
  Cancelled = false;
  try {
    Transaction("ABOR");
  } catch (...) {
    // The transfer has ended either way; a failing ABOR changes nothing.
  }
}

TSockSession& TFtpClient::CreateDataConnection() {
  dataConnection_ = std::make_unique<TSockSession>();
  dataConnection_->TimeOut = TimeOut;
  dataConnection_->SlowTimeOut = SlowTimeOut;
  dataConnection_->Host = Host;
  // Its socket errors are the transfer's: the caller hears of them as of the control connection's.
  dataConnection_->OnError = OnError;
  return *dataConnection_;
}

bool TFtpClient::OpenDataConnection(TCmdType kind) {
  if (!Passive) return OfferActivePort(kind);
  int port = 0;
  if (!RequestPassivePort(kind, port)) return false;
  TSockSession& data = *dataConnection_;
  // The data connection goes to the server we talk to, never to a host a
  // reply names (the FTP bounce); through a proxy, to the host behind it.
  data.Host = Proxy.empty() ? PeerAddress().Text() : Host;
  data.Port = port;
  data.Connect();
  return true;
}

bool TFtpClient::RequestPassivePort(TCmdType kind, int& port) {
  const bool ipv6 = PeerAddress().Family() == AF_INET6;
  if (ipv6 || !epsvRefused_) {
    const std::string reply = DataRequest(kind, "EPSV");
    // RFC 2428: a server that does not know EPSV answers 500 to 502; on
    // IPv4, PASV serves then, for the rest of the connection.
    epsvRefused_ = !ipv6 && IsUnknownCommand(ReplyCodeOf(reply));
    if (!epsvRefused_) {
      if (RefusesTransfer(reply)) return FailureReply(kind, reply);
      port = ftp::ExtendedPassivePort(reply);
      return true;
    }
  }
  const std::string reply = DataRequest(kind, "PASV");
  if (RefusesTransfer(reply)) return FailureReply(kind, reply);
  port = ftp::PassivePort(reply);
  const std::string named = PassiveAddressText(reply);
  const auto address = LiteralAddress(named);
  if (!address || !address->SameHost(PeerAddress()))
    Note("passive mode: the server named " + (named.empty() ? std::string("no address") : named) +
         ", connecting to " + PeerAddress().Text() + " instead");
  return true;
}

bool TFtpClient::OfferActivePort(TCmdType kind) {
  TSockSession& data = *dataConnection_;
  const int family = PeerAddress().Family();
  data.Port = 0;
  // Only where the server reaches us already: no other network sees the port.
  data.Listen(true, LocalAddress());
  data.AcceptOnlyFrom(PeerAddress());
  // RFC 2428: "EPRT |2|address|port|" for IPv6; PORT cannot say an IPv6 address.
  const std::string command =
      family == AF_INET6 ? "EPRT |2|" + LocalAddress().Text() + "|" +
                               std::to_string(data.LocalAddress().Port()) + "|"
                         : "PORT " + LocalAddressText() + data.LocalPortText();
  const std::string reply = DataRequest(kind, command);
  if (RefusesTransfer(reply)) return FailureReply(kind, reply);
  return true;
}

std::string TFtpClient::DataRequest(TCmdType kind, const std::string& command) {
  if (kind != ctUpload || features_) return Transaction(command);
  // What the server offers for the check is learnt without a round trip of its own.
  WriteCommands({"FEAT", command});
  ReadFeatures();
  return ReadReply();
}

void TFtpClient::RestoreTransferType() {
  if (!imageTypeForQuery_) return;
  const std::string reply = Transaction("TYPE A");
  if (ReplyCodeOf(reply) != 200) throw Exception("ASCII-Modus nicht wiederhergestellt: " + QuotedReply(reply));
  imageTypeForQuery_ = false;
}

void TFtpClient::SecureDataConnection() {
  // RFC 4217: the handshake follows the server's 1yz reply; some servers
  // drop a data connection whose handshake comes earlier. The data is
  // protected whenever the control connection is (PROT P followed its login).
  if (TlsActive()) dataConnection_->StartTls(*tlsContext_, this);
}

void TFtpClient::RaiseIfCommandPhaseStopped() {
  if (TimedOut) throw EAbortError("Zeitüberschreitung beim Warten auf Antwort"_ansi);
  if (Cancelled) throw EAbortError("Übertragung abgebrochen"_ansi);
}

bool TFtpClient::ReadFinalReply(TCmdType kind) {
  const ReplyScope bounds(*this, Patience::SlowTimeOut);
  for (;;) {
    const std::string reply = ReadLn();
    // Without its final reply the server has not confirmed that the data arrived whole.
    if (reply.empty()) throw ESockError("Verbindung vom Server beendet");
    Status(1, reply);
    ReadContinuation(reply);
    // RFC 959: 1yz is preliminary, the final reply is still to come; only 2yz
    // says the data arrived whole.
    const auto code = ReplyCodeOf(reply);
    if (code && *code < 200) continue;
    return code && *code < 300 ? true : FailureReply(kind, reply);
  }
}

bool TFtpClient::UploadSteps(TFileSource& source, const std::string& name) {
  CheckCommandText(name);
  DiscardInput();
  verifiedBy_.clear();
  RestoreTransferType();
  TransferSize = source.Size();
  TSockSession& data = CreateDataConnection();
  if (OnPacketSent) data.OnPacketSent = OnPacketSent;
  if (!OpenDataConnection(ctUpload)) return false;
  // Known by now: FEAT went with the data request.
  const TServerFeatures& features = Features();

  Status(1, "STOR " + name);
  const std::string reply = Transaction("STOR " + name);
  if (RefusesTransfer(reply)) return Refused(ctUpload, reply);
  if (!Passive) data.Accept();
  RaiseIfCommandPhaseStopped();
  SecureDataConnection();

  // A digest is compared only for bytes the server stores as they are.
  TSentBytes sent(binaryType_ ? features.Hash : THashKind::None,
                  binaryType_ ? TSentBytes::LineEnds::Ignore : TSentBytes::LineEnds::Count);
  Notify(OnTransactionStart, *this);
  data.SendFile(source, &sent);
  Notify(OnTransactionStop, *this);
  // A server still taking the data is slow, not silent: its final reply can
  // only come once it has all of it.
  data.AwaitDelivery();
  data.EndTls();
  // The end of the file is the end of the connection, after everything queued.
  data.KeepUnsentDataOnClose();
  data.CloseSocket();
  if (!ReadFinalReply(ctUpload)) return false;
  VerifyUpload(name, sent, features);
  return true;
}

bool TFtpClient::DownloadSteps(const std::string& remoteName, const std::string& localFile) {
  CheckCommandText(remoteName);
  DiscardInput();
  RestoreTransferType();
  TSockSession& data = CreateDataConnection();
  if (OnPacketRecvd) data.OnPacketRecvd = OnPacketRecvd;
  if (!OpenDataConnection(ctDownload)) return false;

  Status(1, "RETR " + remoteName);
  TransferSize = 0;
  std::string line;
  {
    const ReplyScope bounds(*this);
    const std::string reply = SendCommandLine("RETR " + remoteName);
    if (RefusesTransfer(reply)) return FailureReply(ctDownload, reply);
    TransferSize = ParseByteCount(reply);
    line = reply;
    while (ContinuesReply(line)) {
      line = ReadLn();
      Status(1, line);
      if (TransferSize == 0) TransferSize = ParseByteCount(line);
    }
  }
  if (!Passive) data.Accept();
  TransferSize = ParseByteCount(line);
  RaiseIfCommandPhaseStopped();
  SecureDataConnection();

  TReplacementFile target(localFile.empty() ? remoteName : localFile);
  Notify(OnTransactionStart, *this);
  data.CaptureFile(target.Path());
  Notify(OnTransactionStop, *this);
  data.EndTls();
  data.CloseSocket();
  TransferSize = data.BytesReceived;
  Status(1, "Empfangen " + std::to_string(TransferSize) + " Byte");
  const bool succeeded = ReadFinalReply(ctDownload);
  // Raised a second time once the final reply is in.
  Notify(OnTransactionStop, *this);
  if (succeeded) target.Commit();
  return succeeded;
}

}  // namespace ftp
