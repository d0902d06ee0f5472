#include "app/run/site_client.h"

#include <utility>

#include "app/scope_exit.h"

namespace app {

void ConfigureSiteClient(ftp::TFtpClient& client, const SiteServer& site, const DataPaths& paths) {
  client.Host = site.host;
  client.Port = site.port;
  client.TimeOut = 5000;
  client.ReportLevel = 0;
  client.UserID = site.user;
  client.Password = site.password;
  client.Vendor = 2411;
  client.ParseList = false;
  client.ProxyPort = 0;
  client.Passive = site.passive;
  client.FirewallType = ftp::FTUser;
  client.FWAuthenticate = false;
  client.TlsMode = site.tls;
  client.TlsCaFiles = TrustedCaFiles(paths);
  const ClientCertificate certificate = TlsClientCertificate(paths);
  client.TlsCertificateFile = certificate.certificate;
  client.TlsKeyFile = certificate.key;
  client.TlsCrlFiles = TlsCrlFiles(paths);
}

void CloseAfterError(ftp::TFtpClient& client) {
  if (!client.Connected) return;
  const ScopeExit restoreErrorEvent([&client, reported = std::exchange(client.OnError, nullptr)] {
    client.OnError = reported;
  });
  try {
    client.Disconnect();
  } catch (const std::exception&) {
    // A server that no longer answers QUIT: the socket is closed all the same.
  }
  if (client.Connected) client.CloseSocket();
}

DeliveryOptions SiteDeliveryOptions(const ftp::TFtpClient& client, const SiteServer& site, const DataPaths& paths) {
  DeliveryOptions options;
  options.site = site;
  options.site.user = client.UserID;
  options.site.password = client.Password;
  options.tls = {client.TlsCaFiles, client.TlsCertificateFile, client.TlsKeyFile, client.TlsCrlFiles};
  options.knownHostsFile = paths.Writable("lib/known_hosts");
  options.timeOut = client.TimeOut;
  options.slowTimeOut = client.SlowTimeOut;
  return options;
}

}  // namespace app
