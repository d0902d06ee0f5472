#pragma once

#include <string>

namespace app {

// The site's FTP server and the account of the start-up refresh: build-time
// defaults that PARCELO_FTP_HOST, PARCELO_FTP_PORT, PARCELO_FTP_USER,
// PARCELO_FTP_PASSWORD and PARCELO_FTP_PASSIVE (yes or no) override. The
// port is also that of every target whose address names none.
struct SiteServer {
  std::string host;
  int port = 21;
  std::string user;
  std::string password;
  bool passive = false;
};

SiteServer SiteServerFromEnvironment();

// The STOWA check-in address without the container path: "http://" + the
// server of STOWA_ITS_URL (taken as it is) or of the built-in default + the
// check-in script with its fixed query.
std::string BuildStowaUrl();

}  // namespace app
