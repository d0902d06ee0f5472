#pragma once

#include <string>
#include <vector>

#include "app/site/data_paths.h"

namespace app {

// The site's FTP server and the account of the start-up refresh: build-time
// defaults that PARCELO_FTP_HOST, PARCELO_FTP_PORT, PARCELO_FTP_USER,
// PARCELO_FTP_PASSWORD, PARCELO_FTP_TLS and PARCELO_FTP_PASSIVE ("yes" or
// "no"; any other value keeps the default) override. The port is also that
// of every target whose address names none.
struct SiteServer {
  std::string host;
  int port = 21;
  std::string user;
  std::string password;
  bool tls = false;  // explicit FTPS, required
  bool passive = false;
};

SiteServer SiteServerFromEnvironment();

// The STOWA check-in address without the container path: "http://" + the
// server of STOWA_ITS_URL (taken as it is) or of the built-in default + the
// check-in script with its fixed query.
std::string BuildStowaUrl();

// The CA bundles trusted beside the system's store for FTPS: the site's
// "lib/ca.pem" (each copy `paths` knows) and the file PARCELO_TLS_CA_FILE names.
std::vector<std::string> TrustedCaFiles(const DataPaths& paths);

}  // namespace app
