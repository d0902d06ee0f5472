#pragma once

#include "app/delivery/delivery.h"
#include "app/site/data_paths.h"
#include "app/site/site_config.h"
#include "ftp/ftp_client.h"

namespace app {

// Sets up the client of the start-up refresh for the site server: its
// account, time-outs, mode and TLS (the site's trusted authorities, client
// certificate and revocation lists). The events are the caller's.
void ConfigureSiteClient(ftp::TFtpClient& client, const SiteServer& site, const DataPaths& paths);

// Ends the client's connection after an error, so the next Connect reaches
// the server it is asked for, not the one left behind. The error that ended
// the sequence is reported already: one while ending it is not reported again.
void CloseAfterError(ftp::TFtpClient& client);

// What every send takes from the site and its client: the account preset on
// the client (it serves the targets too), TLS, time-outs, the known hosts.
DeliveryOptions SiteDeliveryOptions(const ftp::TFtpClient& client, const SiteServer& site, const DataPaths& paths);

}  // namespace app
