#include "app/delivery/container_snapshot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "app/local_files.h"
#include "app/workflow_errors.h"
#include "ftp/sent_bytes.h"

namespace app {

ContainerSnapshot::Identity ContainerSnapshot::IdentityOf(const struct stat& info) {
  const auto nanoseconds = [](const timespec& t) { return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec; };
  return {info.st_dev, info.st_ino, info.st_size, nanoseconds(info.st_mtim)};
}

ContainerSnapshot::ContainerSnapshot(std::string path) : path_(std::move(path)) {
  fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (fd_ < 0 || fstat(fd_, &info) != 0) RaiseIo("Cannot open the container", path_);
  identity_ = IdentityOf(info);
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
  struct stat info {};
  return fstat(fd_, &info) == 0 && IdentityOf(info) == identity_;
}

void ContainerSnapshot::CheckOpenFile() const {
  if (!OpenFileUnchanged()) throw EContainerChanged();
}

bool ContainerSnapshot::Unchanged() const {
  struct stat info {};
  return OpenFileUnchanged() && stat(path_.c_str(), &info) == 0 && IdentityOf(info) == identity_;
}

}  // namespace app
