#include "app/delivery/container_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "app/local_files.h"
#include "app/workflow_errors.h"

namespace app {
namespace {

// Beside the file that is prepared: a link and its file share one lock.
std::string LockPathOf(const std::string& container) {
  const std::filesystem::path path = LinkTarget(container);
  return (path.parent_path() / ("." + path.filename().string() + ".parcelo-lock")).string();
}

bool SameFile(int fd, const std::string& path) {
  struct stat open {}, named {};
  return fstat(fd, &open) == 0 && stat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}

}  // namespace

ContainerLock::ContainerLock(const std::string& container, std::chrono::milliseconds bound,
                             const std::function<void()>& waiting, const std::function<void()>& pass)
    : container_(container), lockPath_(LockPathOf(container)) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  if (TryLock()) return;
  waiting();
  while (!TryLock()) {
    if (std::chrono::steady_clock::now() >= deadline) throw EContainerBusy();
    pass();
  }
}

ContainerLock::~ContainerLock() {
  if (fd_ < 0) return;
  // Removed while still held: a run that opened it meanwhile finds its file
  // gone once it has the lock and takes a new one.
  if (!lockPath_.empty()) unlink(lockPath_.c_str());
  close(fd_);
}

bool ContainerLock::TryLock() {
  if (fd_ < 0) {
    // Read-only, so that runs of other users can lock the same file.
    fd_ = lockPath_.empty() ? -1 : open(lockPath_.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd_ < 0 && !lockPath_.empty() && (errno == EACCES || errno == EROFS || errno == EPERM)) lockPath_.clear();
    if (fd_ < 0 && lockPath_.empty()) fd_ = open(container_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) RaiseIo("Cannot lock the container", lockPath_.empty() ? container_ : lockPath_);
  }
  if (flock(fd_, LOCK_EX | LOCK_NB) != 0) return false;
  if (lockPath_.empty() || SameFile(fd_, lockPath_)) return true;
  // The holder removed the file we waited on: start again with a new one.
  close(fd_);
  fd_ = -1;
  return false;
}

}  // namespace app
