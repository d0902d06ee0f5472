#include "app/delivery/ftp_transport.h"

#include <utility>

#include "app/delivery/session_thread.h"
#include "ftp/ftp_client.h"

namespace app {
namespace {


// "TLSv1.3 TLS_AES_256_GCM_SHA384" of "TLS: TLSv1.3 TLS_AES_256_GCM_SHA384, certificate CN=...".
std::string ProtocolAndCipher(const std::string& description) {
  std::string text = description.starts_with("TLS: ") ? description.substr(5) : description;
  return text.substr(0, text.find(','));
}

void Configure(ftp::TFtpClient& client, const AttemptRequest& request) {
  client.Host = request.host;
  client.Port = request.port;
  client.TimeOut = request.timeOut;
  client.SlowTimeOut = request.slowTimeOut;
  client.UserID = request.user;
  client.Password = request.password;
  client.Passive = request.target.Passive;
  client.TlsMode = request.tlsMode;
  client.TlsCaFiles = request.tls.caFiles;
  client.TlsCertificateFile = request.tls.clientCertificate;
  client.TlsKeyFile = request.tls.clientKey;
  client.TlsCrlFiles = request.tls.crlFiles;
}

// What a failed upload may have left under its name (part of the file, or
// bytes the check found wrong) goes again while the connection allows it:
// the name was free before, so nothing else is lost.
// True when the file is gone, or was never stored.
bool RemoveIncomplete(ftp::TFtpClient& client, const std::string& name, AttemptEvents& events) {
  if (!client.Connected) return false;
  try {
    std::string reply = client.Transaction("DELE " + name);
    // A transfer broken off on our side still gets its own final reply
    // first (RFC 959: 426, 451 or 226); DELE's comes after it.
    for (const char* ofTheTransfer : {"426", "451", "226", "552"})
      if (reply.starts_with(ofTheTransfer)) reply = client.ReadLn();
    if (reply.starts_with("250")) events.LogLine("removed the incomplete upload " + name);
    return reply.starts_with("250") || reply.starts_with("550");
  } catch (const std::exception&) {
    // The connection broke meanwhile: nothing more can be done on it.
    return false;
  }
}

void Close(ftp::TFtpClient& client) {
  if (!client.Connected) return;
  try {
    client.Disconnect();
  } catch (const std::exception&) {
    // A server that does not answer QUIT: the socket is closed all the same.
  }
  if (client.Connected) client.CloseSocket();
}

}  // namespace

AttemptResult FtpTransport::Attempt(const AttemptRequest& request, AttemptEvents& events, SessionThread& session) {
  ftp::TFtpClient client;
  Configure(client, request);
  ProgressThrottle progress(events);
  client.OnError = [&](ftp::TSockSession&, std::uint16_t, const std::string& text) { events.ConnectionError(text); };
  client.OnFailure = [&](bool&, ftp::TCmdType kind) { events.Refused(kind); };
  client.OnSuccess = [&](ftp::TCmdType kind) {
    if (kind == ftp::ctUpload) events.Uploaded();
  };
  client.OnTransferNote = [&](const std::string& note) { events.LogLine(note); };
  client.OnPacketSent = [&](ftp::TSockSession& data) { progress(data.BytesSent, client.TransferSize); };
  session.OnCancel([&client] {
    client.Cancel();
    client.Abort();
  });

  AttemptResult result;
  result.leftBehind = request.leftover;
  std::string storedAs;
  try {
    client.Connect();
    if (client.TlsActive()) {
      events.LogLine(client.TlsDescription());
      result.tls = ProtocolAndCipher(client.TlsDescription());
    }
    client.ChangeDirectory(request.target.Path);
    if (!request.leftover.empty() && RemoveIncomplete(client, request.leftover, events)) result.leftBehind.clear();
    if (request.textMode) {
      client.SetTransferMode(ftp::tmAscii);
      events.TransferModeSet(true);
      events.Status("send in ASCII mode", true);
      events.LogLine("Set FTPMode to ASCII");
    } else {
      client.SetTransferMode(ftp::tmLocal8);
      events.TransferModeSet(false);
      events.Status("send in BINARY mode", true);
      events.LogLine("Set FTPMode to BINARY");
    }
    UploadUnderFreeName(
        request, events, [&](const std::string& name) { return client.RemoteFileExists(name); },
        [&](const std::string& name) { client.Upload(*request.container, name); },
        [&](const std::string& from, const std::string& to) { client.Rename(from, to); }, result, storedAs);
    result.delivered = true;
    result.bytes = request.container->Size();
    result.verifiedBy = client.UploadVerifiedBy();
  } catch (const ftp::ETlsError& error) {
    // The socket layer logs its own errors; the TLS layer's are logged here.
    events.LogLine(std::string("--> Error: ") + error.what());
    result.error = std::current_exception();
  } catch (...) {
    result.error = std::current_exception();
  }
  // The error that ended the attempt is reported already; one that comes
  // while its connection is being cleared or ended belongs to it.
  client.OnError = nullptr;
  if (!storedAs.empty() && !result.delivered && !RemoveIncomplete(client, storedAs, events)) result.leftBehind = storedAs;
  session.OnCancel(nullptr);
  Close(client);
  return result;
}

void FtpTransport::RemoveLeftover(const AttemptRequest& request, AttemptEvents& events, SessionThread& session) {
  ftp::TFtpClient client;
  Configure(client, request);
  session.OnCancel([&client] { client.Cancel(); });
  try {
    client.Connect();
    client.ChangeDirectory(request.target.Path);
    RemoveIncomplete(client, request.leftover, events);
  } catch (const std::exception&) {
    // Still unreachable: the file stays for the site to see to.
  }
  session.OnCancel(nullptr);
  Close(client);
}

}  // namespace app
