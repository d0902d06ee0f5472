#include "app/site/site_config.h"

#include <cstdlib>

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

}  // namespace

SiteServer SiteServerFromEnvironment() {
  SiteServer server;
  server.host = Environment("PARCELO_FTP_HOST", PARCELO_DEFAULT_FTP_HOST);
  server.port = std::atoi(Environment("PARCELO_FTP_PORT", PARCELO_DEFAULT_FTP_PORT).c_str());
  if (server.port <= 0 || server.port > 65535) server.port = 21;
  server.user = Environment("PARCELO_FTP_USER", PARCELO_DEFAULT_FTP_USER);
  server.password = Environment("PARCELO_FTP_PASSWORD", PARCELO_DEFAULT_FTP_PASSWORD);
  server.tls = YesOrNo(Environment("PARCELO_FTP_TLS", PARCELO_DEFAULT_FTP_TLS),
                       YesOrNo(PARCELO_DEFAULT_FTP_TLS, false));
  server.passive = YesOrNo(Environment("PARCELO_FTP_PASSIVE", PARCELO_DEFAULT_FTP_PASSIVE),
                           YesOrNo(PARCELO_DEFAULT_FTP_PASSIVE, false));
  return server;
}

std::string BuildStowaUrl() {
  return "http://" + Environment("STOWA_ITS_URL", PARCELO_DEFAULT_STOWA_SERVER) +
         "/scripts/wgate/y02c_checkin/!?~okcode=EPROM&draw-dokar=SW&SG_ORIG1=X&CNT_FILE=";
}

std::vector<std::string> TrustedCaFiles(const DataPaths& paths) {
  std::vector<std::string> files = paths.Copies("lib/ca.pem");
  if (const std::string named = Environment("PARCELO_TLS_CA_FILE", ""); !named.empty()) files.push_back(named);
  return files;
}

}  // namespace app
