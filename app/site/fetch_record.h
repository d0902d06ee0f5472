#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include "ftp/ftp_client.h"

namespace app {

// What the server told of each site file when it was fetched (its SIZE and
// MDTM), beside the size and time the local copy had once written. A copy
// counts as unchanged only while the server tells the same again and the
// copy is still the one written then, so a file replaced on either side is
// fetched anew. The server's own figures are compared, never the local size:
// a text fetched in ASCII mode may have other line ends here.
class FetchRecord {
 public:
  // Reads the record; a missing or damaged one knows nothing.
  explicit FetchRecord(std::filesystem::path file);

  // Whether `local` is still the copy fetched when the server told `remote`
  // of `name`; false whenever the server tells no size or no time.
  bool Unchanged(const std::string& name, const ftp::TRemoteFile& remote, const std::filesystem::path& local) const;
  // Records `remote` for the copy now at `local` (forgets `name` when the
  // server told no size or no time) and writes the record at once. A record
  // that cannot be written costs a download next time, nothing else.
  void Remember(const std::string& name, const ftp::TRemoteFile& remote, const std::filesystem::path& local);

 private:
  struct Entry {
    std::int64_t serverSize = 0;
    std::string serverTime;
    std::uintmax_t localSize = 0;
    std::int64_t localTime = 0;
  };
  // The local copy's size and time, as an entry records them; nullopt when it is missing.
  static std::optional<Entry> LocalState(const std::filesystem::path& local);
  void Write() const;

  std::filesystem::path file_;
  std::map<std::string, Entry> entries_;
};

}  // namespace app
