#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/site/data_paths.h"
#include "ftp/ftp_client.h"

namespace app {

// The site's folder on its FTP server, relative to the account's login folder.
inline constexpr const char* kSiteDirectory = "../../../k3/fab/cae";

// A file the program fetches from the site: its name there and its place in
// the data tree.
struct SiteFile {
  std::string remote;
  std::string local;  // relative to the data tree, e.g. "lib/ftpsend.xml"
};

// The files of every start-up refresh, in the order they are fetched.
const std::vector<SiteFile>& StartUpFiles();
// The readme, fetched when the target list names a date not seen yet.
const SiteFile& ReadmeFile();

// One session with the site server: connects, changes to the site's folder,
// asks SIZE and MDTM of each of `files` in one round trip and fetches, in
// ASCII mode, those whose copy differs from what the server keeps (all of
// them where the server tells no size or time). The record of what was
// fetched lies beside the data files ("lib/site-files.state" of the
// writable folder). Returns the bytes received. Raises what the client
// raises; a failed download leaves its copy as it was.
std::int64_t RefreshSiteFiles(ftp::TFtpClient& client, const DataPaths& paths, const std::vector<SiteFile>& files);

}  // namespace app
