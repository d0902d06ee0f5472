#include "app/site/fetch_record.h"

#include <fstream>
#include <sstream>
#include <system_error>

#include "app/file_system.h"
#include "app/local_files.h"
#include "app/path_text.h"

namespace app {

FetchRecord::FetchRecord(std::filesystem::path file) : file_(std::move(file)) {
  // One line per file: name, server size, server time, local size, local time, cut by tabs.
  std::ifstream input(file_, std::ios::binary);
  for (std::string line; std::getline(input, line);) {
    std::istringstream fields(line);
    std::string name;
    Entry entry;
    if (std::getline(fields, name, '\t') && fields >> entry.serverSize >> entry.serverTime >> entry.localSize >> entry.localTime)
      entries_[name] = entry;
  }
}

std::optional<FetchRecord::Entry> FetchRecord::LocalState(const std::filesystem::path& local) {
  std::error_code error;
  const auto size = std::filesystem::file_size(local, error);
  if (error) return std::nullopt;
  const auto time = std::filesystem::last_write_time(local, error);
  if (error) return std::nullopt;
  Entry entry;
  entry.localSize = size;
  entry.localTime = static_cast<std::int64_t>(time.time_since_epoch().count());
  return entry;
}

bool FetchRecord::Unchanged(const std::string& name, const ftp::TRemoteFile& remote,
                            const std::filesystem::path& local) const {
  const auto found = entries_.find(name);
  const auto state = LocalState(local);
  if (!remote.Size || remote.Modified.empty() || found == entries_.end() || !state) return false;
  const Entry& entry = found->second;
  return entry.serverSize == *remote.Size && entry.serverTime == remote.Modified &&
         entry.localSize == state->localSize && entry.localTime == state->localTime;
}

void FetchRecord::Remember(const std::string& name, const ftp::TRemoteFile& remote,
                           const std::filesystem::path& local) {
  auto state = LocalState(local);
  if (remote.Size && !remote.Modified.empty() && state) {
    state->serverSize = *remote.Size;
    state->serverTime = remote.Modified;
    entries_[name] = *state;
  } else {
    entries_.erase(name);
  }
  try {
    Write();
  } catch (const std::exception&) {
  }
}

void FetchRecord::Write() const {
  std::string text;
  for (const auto& [name, entry] : entries_)
    text += name + "\t" + std::to_string(entry.serverSize) + "\t" + entry.serverTime + "\t" +
            std::to_string(entry.localSize) + "\t" + std::to_string(entry.localTime) + "\n";
  TemporaryFile temporary(file_, "new");
  WriteAll(temporary.fd(), text.data(), text.size(), "Cannot write", temporary.path());
  temporary.Finish();
  if (!RenameReplacing(temporary.path(), PathText(file_))) RaiseIo("Cannot write", PathText(file_));
  temporary.Keep();
}

}  // namespace app
