#include "app/delivery/container_snapshot.h"

#include <unistd.h>

#include <algorithm>
#include <array>

#include "app/local_files.h"
#include "app/workflow_errors.h"
#include "ftp/sent_bytes.h"

namespace app {

ContainerSnapshot::ContainerSnapshot(std::string path) : path_(std::move(path)) {
  fd_ = OpenToRead(path_);
  const auto info = fd_ >= 0 ? IdentityOf(fd_) : std::nullopt;
  if (!info) RaiseIo("Cannot open the container", path_);
  identity_ = *info;
  ftp::TSentBytes digest(ftp::THashKind::Sha256, ftp::TSentBytes::LineEnds::Ignore);
  std::array<char, 1 << 16> chunk;
  for (std::int64_t offset = 0; offset < identity_.size;) {
    const std::size_t got = ReadAt(chunk.data(), chunk.size(), offset);
    if (got == 0) throw EContainerChanged();
    digest.Add(chunk.data(), got);
    offset += static_cast<std::int64_t>(got);
  }
  sha256_ = digest.Digest();
}

ContainerSnapshot::~ContainerSnapshot() {
  if (fd_ >= 0) close(fd_);
}

std::size_t ContainerSnapshot::ReadAt(char* into, std::size_t size, std::int64_t offset) {
  // Never more than the snapshot holds: bytes written behind it are not its own.
  if (offset >= identity_.size) return 0;
  const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(size, identity_.size - offset));
  const std::size_t got = app::ReadAt(fd_, into, wanted, static_cast<std::size_t>(offset));
  // Checked after the read: a change made before it shows in the times.
  CheckOpenFile();
  return got;
}

bool ContainerSnapshot::OpenFileUnchanged() const {
  const auto info = IdentityOf(fd_);
  return info && info->Unchanged(identity_);
}

void ContainerSnapshot::CheckOpenFile() const {
  if (!OpenFileUnchanged()) throw EContainerChanged();
}

bool ContainerSnapshot::Unchanged() const {
  const auto named = IdentityOfPath(path_, true);
  return OpenFileUnchanged() && named && named->Unchanged(identity_);
}

}  // namespace app
