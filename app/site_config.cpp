#include "app/site_config.h"

#include <cstdlib>

namespace app {
namespace {

std::string Environment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

}  // namespace

SiteServer SiteServerFromEnvironment() {
  SiteServer server;
  server.host = Environment("PARCELO_FTP_HOST", PARCELO_DEFAULT_FTP_HOST);
  server.port = std::atoi(Environment("PARCELO_FTP_PORT", PARCELO_DEFAULT_FTP_PORT).c_str());
  if (server.port <= 0 || server.port > 65535) server.port = 21;
  server.user = Environment("PARCELO_FTP_USER", PARCELO_DEFAULT_FTP_USER);
  server.password = Environment("PARCELO_FTP_PASSWORD", PARCELO_DEFAULT_FTP_PASSWORD);
  const std::string passive = Environment("PARCELO_FTP_PASSIVE", PARCELO_DEFAULT_FTP_PASSIVE);
  server.passive = passive == "yes" || passive == "YES" || passive == "Yes";
  return server;
}

std::string BuildStowaUrl() {
  return "http://" + Environment("STOWA_ITS_URL", PARCELO_DEFAULT_STOWA_SERVER) +
         "/scripts/wgate/y02c_checkin/!?~okcode=EPROM&draw-dokar=SW&SG_ORIG1=X&CNT_FILE=";
}

}  // namespace app
