#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/tls_mode.h"

namespace xml {
class TDomDocument;
}

namespace app {

// How a target is reached: FTP (plain or FTPS) or SFTP.
enum class TTargetProtocol { Ftp, Sftp };

// One target of the target list.
struct rTargetList {
  bool Compress = false;  // only reported in the log
  bool Stowa = false;     // handed to the PDM system through the browser instead of FTP
  bool Passive = false;   // the FTP server is reached in passive mode (behind NAT or a firewall)
  // tls="yes": explicit FTPS, "implicit": implicit FTPS, "no": plain FTP;
  // nothing when the Werk says none of these (the site's choice applies).
  std::optional<ftp::TTlsMode> Tls;
  std::string User;  // user="...": the login at this target; empty: none named
  std::string Name;
  std::string ShortName;  // at most 10 characters
  std::string Path;
  std::string FtpAddress;  // host, "host:port", an IPv4 or IPv6 address, "[v6]:port"
  TTargetProtocol Protocol = TTargetProtocol::Ftp;  // protocol="sftp" (default port 22)
  std::vector<std::string> HostKeys;  // hostkey="SHA256:... SHA256:...": the SFTP server's pinned keys
  // tempname="*.part": the upload goes to this name ("*" the remote name)
  // and is renamed once verified; from the list's FTPSEND unless the Werk
  // names its own; empty: straight to the remote name.
  std::string TempName;
};

// Reads the "Werk" elements below the document element into `rows`: the
// table first gets one empty row per Werk, then each row is filled in
// document order and passed to `onRow`. Raises ETargetListError at a Werk
// without the attribute compress, with a protocol other than ftp or sftp,
// with a hostkey that is no list of SHA256 fingerprints, with a tempname
// without exactly one "*" or reaching above the mailbox, or with a child
// element without content; the rows read before it stay filled, the others empty.
void ReadTargetRows(xml::TDomDocument& list, std::vector<rTargetList>& rows,
                    const std::function<void(const rTargetList&)>& onRow);

// The value of the first element of that name below the document element.
// Raises ETargetListError when there is none or it has no content.
std::string FirstElementValue(xml::TDomDocument& list, std::u16string_view name);

}  // namespace app
