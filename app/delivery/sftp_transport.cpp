#include "app/delivery/sftp_transport.h"

#include "app/delivery/session_thread.h"
#include "ftp/sftp_client.h"

namespace app {

AttemptResult SftpTransport::Attempt(const AttemptRequest& request, AttemptEvents& events, SessionThread& session) {
  ftp::TSftpClient client;
  client.Host = request.host;
  client.Port = request.port;
  client.UserID = request.user;
  client.Password = request.password;
  client.TimeOut = request.timeOut;
  client.SlowTimeOut = request.slowTimeOut;
  client.PinnedHostKeys = request.target.HostKeys;
  client.KnownHostsFile = request.knownHostsFile;
  if (request.trustHostKey)
    client.OnUnknownHostKey = [&](const std::string& host, const std::string& fingerprint) {
      return request.trustHostKey(host, fingerprint) ? ftp::THostKeyDecision::AcceptAndRemember
                                                     : ftp::THostKeyDecision::Refuse;
    };
  ProgressThrottle progress(events);
  client.OnTransferNote = [&](const std::string& note) { events.LogLine(note); };
  client.OnProgress = [&](std::int64_t sent, std::int64_t size) { progress(sent, size); };
  session.OnCancel([&client] { client.Abort(); });

  AttemptResult result;
  bool stored = false;
  try {
    client.Connect();
    events.LogLine(client.Description());
    result.tls = client.Description().substr(client.Description().find(' ') + 1);
    result.tls = result.tls.substr(0, result.tls.find(','));
    const std::string& folder = request.target.Path;
    result.remoteName = FreeRemoteName(request, [&](const std::string& name) -> std::optional<bool> {
      return client.Exists(folder, name).has_value();
    });
    events.LogLine("SourceFile: " + request.containerText);
    events.LogLine("TargetFile: " + result.remoteName);
    stored = true;
    client.Upload(*request.container, folder, result.remoteName);
    events.Uploaded();
    result.delivered = true;
    result.bytes = request.container->Size();
    result.verifiedBy = "size";
  } catch (...) {
    result.error = std::current_exception();
  }
  // What a failed upload left goes again while the connection allows it.
  if (stored && !result.delivered && client.Connected()) {
    try {
      client.Delete(request.target.Path, result.remoteName);
      events.LogLine("removed the incomplete upload " + result.remoteName);
    } catch (const std::exception&) {
      // Nothing was stored, or the connection broke meanwhile.
    }
  }
  session.OnCancel(nullptr);
  client.Disconnect();
  return result;
}

}  // namespace app
