#include "app/site/site_refresh.h"

#include <utility>

#include "app/site/fetch_record.h"

namespace app {

const std::vector<SiteFile>& StartUpFiles() {
  static const std::vector<SiteFile> files = {
      {"ftpsend.xml", "lib/ftpsend.xml"}, {"checkit.mck", "lib/checkit.mck"}, {"ecum0102.DTD", "dtd/ecum0102.dtd"}};
  return files;
}

const SiteFile& ReadmeFile() {
  static const SiteFile readme = {"Readme.html", "doc/Readme.html"};
  return readme;
}

std::int64_t RefreshSiteFiles(ftp::TFtpClient& client, const DataPaths& paths, const std::vector<SiteFile>& files) {
  client.Connect();
  client.ChangeDirectory(kSiteDirectory);
  std::vector<std::string> names;
  for (const SiteFile& file : files) names.push_back(file.remote);
  const std::vector<ftp::TRemoteFile> remote = client.DescribeFiles(names);
  FetchRecord record(paths.Writable("lib/site-files.state"));
  std::int64_t received = 0;
  bool textMode = false;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string local = paths.Writable(files[i].local);
    if (record.Unchanged(files[i].remote, remote[i], local)) continue;
    if (!std::exchange(textMode, true)) client.SetTransferMode(ftp::tmAscii);
    client.Download(files[i].remote, local);
    // A failure that OnFailure handled leaves the old copy, which must not pass for the new one.
    if (!client.TransferConfirmed()) continue;
    received += client.BytesReceived();
    record.Remember(files[i].remote, remote[i], local);
  }
  client.Disconnect();
  return received;
}

}  // namespace app
