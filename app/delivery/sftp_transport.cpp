#include "app/delivery/sftp_transport.h"

#include "app/delivery/session_thread.h"
#include "ftp/sftp_client.h"

namespace app {

namespace {

void Configure(ftp::TSftpClient& client, const AttemptRequest& request) {
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
}

// True when the file is gone, or was never stored.
bool RemoveIncomplete(ftp::TSftpClient& client, const std::string& folder, const std::string& name,
                      AttemptEvents& events) {
  if (!client.Connected()) return false;
  try {
    if (!client.Exists(folder, name)) return true;
    client.Delete(folder, name);
    events.LogLine("removed the incomplete upload " + name);
    return true;
  } catch (const std::exception&) {
    // The connection broke meanwhile.
    return false;
  }
}

}  // namespace

AttemptResult SftpTransport::Attempt(const AttemptRequest& request, AttemptEvents& events, SessionThread& session) {
  ftp::TSftpClient client;
  Configure(client, request);
  ProgressThrottle progress(events);
  client.OnTransferNote = [&](const std::string& note) { events.LogLine(note); };
  client.OnProgress = [&](std::int64_t sent, std::int64_t size) { progress(sent, size); };
  session.OnCancel([&client] { client.Abort(); });

  AttemptResult result;
  result.leftBehind = request.leftover;
  const std::string& folder = request.target.Path;
  std::string storedAs;
  try {
    client.Connect();
    events.LogLine(client.Description());
    result.tls = client.Description().substr(client.Description().find(' ') + 1);
    result.tls = result.tls.substr(0, result.tls.find(','));
    if (!request.leftover.empty() && RemoveIncomplete(client, folder, request.leftover, events))
      result.leftBehind.clear();
    UploadUnderFreeName(
        request, events,
        [&](const std::string& name) -> std::optional<bool> { return client.Exists(folder, name).has_value(); },
        [&](const std::string& name) { client.Upload(*request.container, folder, name); },
        [&](const std::string& from, const std::string& to) { client.Rename(folder, from, to); }, result, storedAs);
    events.Uploaded();
    result.delivered = true;
    result.bytes = request.container->Size();
    result.verifiedBy = "size";
  } catch (...) {
    result.error = std::current_exception();
  }
  // What a failed upload left goes again while the connection allows it.
  if (!storedAs.empty() && !result.delivered && !RemoveIncomplete(client, folder, storedAs, events)) result.leftBehind = storedAs;
  session.OnCancel(nullptr);
  client.Disconnect();
  return result;
}

void SftpTransport::RemoveLeftover(const AttemptRequest& request, AttemptEvents& events, SessionThread& session) {
  ftp::TSftpClient client;
  Configure(client, request);
  session.OnCancel([&client] { client.Abort(); });
  try {
    client.Connect();
    RemoveIncomplete(client, request.target.Path, request.leftover, events);
  } catch (const std::exception&) {
    // Still unreachable: the file stays for the site to see to.
  }
  session.OnCancel(nullptr);
  client.Disconnect();
}

}  // namespace app
