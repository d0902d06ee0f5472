#include "app/site/site_config.h"

#include <cstdlib>
#include <filesystem>

#include "app/ascii_case.h"

namespace app {
namespace {

std::string Environment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

// "yes" or "no" in any case; anything else is no choice.
bool YesOrNo(const std::string& value, bool fallback) {
  const std::string lower = AsciiLower(value);
  return lower == "yes" || (lower != "no" && fallback);
}

constexpr int kFtpPort = 21;

// Every copy of the site's `relative` file, then the file `variable` names.
std::vector<std::string> SiteFilesAndNamed(const DataPaths& paths, const std::string& relative, const char* variable) {
  std::vector<std::string> files = paths.Copies(relative);
  if (const std::string named = Environment(variable, ""); !named.empty()) files.push_back(named);
  return files;
}

}  // namespace

std::optional<ftp::TTlsMode> TlsModeOf(const std::string& value) {
  const std::string lower = AsciiLower(value);
  if (lower == "yes") return ftp::TTlsMode::Explicit;
  if (lower == "implicit") return ftp::TTlsMode::Implicit;
  if (lower == "no") return ftp::TTlsMode::None;
  return std::nullopt;
}

SiteServer SiteServerFromEnvironment() {
  SiteServer server;
  server.host = Environment("PARCELO_FTP_HOST", PARCELO_DEFAULT_FTP_HOST);
  server.tls = TlsModeOf(Environment("PARCELO_FTP_TLS", PARCELO_DEFAULT_FTP_TLS))
                   .value_or(TlsModeOf(PARCELO_DEFAULT_FTP_TLS).value_or(ftp::TTlsMode::None));
  server.port = std::atoi(Environment("PARCELO_FTP_PORT", PARCELO_DEFAULT_FTP_PORT).c_str());
  if (server.port <= 0 || server.port > 65535) server.port = kFtpPort;
  // FTP's own port serves plain FTP and explicit FTPS; implicit FTPS has a
  // port of its own, unless one is named.
  if (server.tls == ftp::TTlsMode::Implicit && server.port == kFtpPort && Environment("PARCELO_FTP_PORT", "").empty())
    server.port = ftp::kImplicitFtpsPort;
  server.user = Environment("PARCELO_FTP_USER", PARCELO_DEFAULT_FTP_USER);
  server.password = Environment("PARCELO_FTP_PASSWORD", PARCELO_DEFAULT_FTP_PASSWORD);
  server.passive = YesOrNo(Environment("PARCELO_FTP_PASSIVE", PARCELO_DEFAULT_FTP_PASSIVE),
                           YesOrNo(PARCELO_DEFAULT_FTP_PASSIVE, false));
  return server;
}

int TargetDefaultPort(const SiteServer& site, ftp::TTlsMode targetTls) {
  if (targetTls == ftp::TTlsMode::Implicit) return ftp::kImplicitFtpsPort;
  return site.tls == ftp::TTlsMode::Implicit && site.port == ftp::kImplicitFtpsPort ? kFtpPort : site.port;
}

std::string BuildStowaUrl() {
  return "http://" + Environment("STOWA_ITS_URL", PARCELO_DEFAULT_STOWA_SERVER) +
         "/scripts/wgate/y02c_checkin/!?~okcode=EPROM&draw-dokar=SW&SG_ORIG1=X&CNT_FILE=";
}

std::vector<std::string> TrustedCaFiles(const DataPaths& paths) {
  return SiteFilesAndNamed(paths, "lib/ca.pem", "PARCELO_TLS_CA_FILE");
}

ClientCertificate TlsClientCertificate(const DataPaths& paths) {
  if (std::string named = Environment("PARCELO_TLS_CERT", ""); !named.empty())
    return {std::move(named), Environment("PARCELO_TLS_KEY", "")};
  const std::string own = paths.Writable("lib/client.pem");
  if (std::filesystem::exists(own)) return {own, {}};
  return {};
}

std::vector<std::string> TlsCrlFiles(const DataPaths& paths) {
  return SiteFilesAndNamed(paths, "lib/crl.pem", "PARCELO_TLS_CRL_FILE");
}

}  // namespace app
