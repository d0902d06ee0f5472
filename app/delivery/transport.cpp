#include "app/delivery/transport.h"

#include <ctime>

#include "app/container/fat_date.h"
#include "app/container/remote_name.h"
#include "app/local_time.h"
#include "ftp/ftp_errors.h"
#include "platform/ansi.h"

namespace app {

using platform::operator""_ansi;

namespace {

// Not more often than this the window hears of an upload's progress.
constexpr auto kProgressInterval = std::chrono::milliseconds(100);
// A mailbox that holds this many files of the container's ident within a
// few minutes is not one we can find a free name in.
constexpr int kNameTries = 100;

}  // namespace

std::string FreeRemoteName(const AttemptRequest& request,
                           const std::function<std::optional<bool>(const std::string&)>& exists) {
  const std::time_t now = std::time(nullptr);
  for (int i = 0; i < kNameTries; ++i) {
    const std::time_t when = now + 2 * i;
    const std::string name = RemoteName(request.remoteIdent, FatDateStamp(LocalTime(when)));
    if (!request.claimName(name)) continue;
    const auto taken = exists(name);
    if (!taken || !*taken) return name;
  }
  throw ftp::Exception("Kein freier Dateiname im Zielverzeichnis für "_ansi + request.remoteIdent);
}

std::string StoredName(const std::string& pattern, const std::string& remoteName) {
  if (pattern.empty()) return remoteName;
  std::string name = pattern;
  name.replace(name.find('*'), 1, remoteName);
  return name;
}

void UploadUnderFreeName(const AttemptRequest& request, AttemptEvents& events,
                         const std::function<std::optional<bool>(const std::string&)>& exists,
                         const std::function<void(const std::string& name)>& store,
                         const std::function<void(const std::string& from, const std::string& to)>& rename,
                         AttemptResult& result, std::string& storedAs) {
  result.remoteName = FreeRemoteName(request, exists);
  events.LogLine("SourceFile: " + request.containerText);
  events.LogLine("TargetFile: " + result.remoteName);
  storedAs = StoredName(request.target.TempName, result.remoteName);
  const bool renamed = storedAs != result.remoteName;
  if (renamed) {
    result.tempName = storedAs;
    events.LogLine("TempFile: " + storedAs);
  }
  store(storedAs);
  if (!renamed) return;
  // Whoever took the name meanwhile keeps it: the upload takes the next free one.
  if (exists(result.remoteName).value_or(false)) result.remoteName = FreeRemoteName(request, exists);
  rename(storedAs, result.remoteName);
  events.LogLine("renamed to " + result.remoteName);
}

void ProgressThrottle::operator()(std::int64_t sent, std::int64_t size) {
  const auto now = std::chrono::steady_clock::now();
  if (now - last_ < kProgressInterval && sent < size) return;
  last_ = now;
  events_.Progress(sent, size);
}

}  // namespace app
