#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/site/data_paths.h"
#include "ftp/tls_mode.h"

namespace app {

// The site's FTP server and the account of the start-up refresh: build-time
// defaults that PARCELO_FTP_HOST, PARCELO_FTP_PORT, PARCELO_FTP_USER,
// PARCELO_FTP_PASSWORD, PARCELO_FTP_TLS ("yes", "implicit" or "no") and
// PARCELO_FTP_PASSIVE ("yes" or "no") override; any other value keeps the
// default. Implicit FTPS without a port named is on port 990.
struct SiteServer {
  std::string host;
  int port = 21;
  std::string user;
  std::string password;
  ftp::TTlsMode tls = ftp::TTlsMode::None;
  bool passive = false;
};

SiteServer SiteServerFromEnvironment();

// The FTPS choice a setting names: "yes" (explicit), "implicit" or "no", in
// any letter case; nothing for any other value.
std::optional<ftp::TTlsMode> TlsModeOf(const std::string& value);

// The port of a target whose address names none: 990 for implicit FTPS;
// else the site server's port, or 21 when that is the site's implicit one.
int TargetDefaultPort(const SiteServer& site, ftp::TTlsMode targetTls);

// The STOWA check-in address without the container path: "http://" + the
// server of STOWA_ITS_URL (taken as it is) or of the built-in default + the
// check-in script with its fixed query.
std::string BuildStowaUrl();

// The CA bundles trusted beside the system's store for FTPS: the site's
// "lib/ca.pem" (each copy `paths` knows) and the file PARCELO_TLS_CA_FILE names.
std::vector<std::string> TrustedCaFiles(const DataPaths& paths);

// The client certificate offered to servers that ask for one, and its key.
struct ClientCertificate {
  std::string certificate;
  std::string key;  // empty: in the certificate's file
};

// PARCELO_TLS_CERT (with PARCELO_TLS_KEY when the key is in a file of its
// own), else the user's "lib/client.pem" (certificate and key) when there is
// one in the writable data folder; empty when neither.
ClientCertificate TlsClientCertificate(const DataPaths& paths);

// The revocation lists the servers' certificates are checked against: the
// site's "lib/crl.pem" (each copy `paths` knows) and PARCELO_TLS_CRL_FILE.
std::vector<std::string> TlsCrlFiles(const DataPaths& paths);

}  // namespace app
