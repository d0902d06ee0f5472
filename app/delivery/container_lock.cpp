#include "app/delivery/container_lock.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "app/file_system.h"
#include "app/local_files.h"
#include "app/path_text.h"
#include "app/workflow_errors.h"

namespace app {
namespace {

// Beside the file that is prepared: a link and its file share one lock.
std::string LockPathOf(const std::string& container) {
  const std::filesystem::path path = LinkTarget(container);
  return PathText(path.parent_path() / PathOf("." + PathText(path.filename()) + ".parcelo-lock"));
}

bool SameFile(int fd, const std::string& path) {
  const auto open = IdentityOf(fd);
  const auto named = IdentityOfPath(path, true);
  return open && named && open->SameFile(*named);
}

}  // namespace

ContainerLock::ContainerLock(const std::string& container, std::chrono::milliseconds bound,
                             const std::function<void()>& waiting, const std::function<void()>& pass)
    : container_(container), lockPath_(LockPathOf(container)) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  try {
    if (TryLock()) return;
    waiting();
    while (!TryLock()) {
      if (std::chrono::steady_clock::now() >= deadline) throw EContainerBusy();
      pass();
    }
  } catch (...) {
    // No destructor runs for a lock never taken: the file it waited on is closed here.
    if (fd_ >= 0) close(fd_);
    throw;
  }
}

ContainerLock::~ContainerLock() {
  if (fd_ < 0) return;
  if (lockPath_.empty())
    close(fd_);
  else
    ReleaseLockFile(fd_, lockPath_);
}

bool ContainerLock::TryLock() {
  if (fd_ < 0) {
    fd_ = lockPath_.empty() ? -1 : OpenLockFile(lockPath_);
    // Busy: the run before is just removing it.
    if (fd_ < 0 && errno == EBUSY) return false;
    if (fd_ < 0 && !lockPath_.empty() && (errno == EACCES || errno == EROFS || errno == EPERM)) lockPath_.clear();
    if (fd_ < 0 && lockPath_.empty()) fd_ = OpenToRead(container_);
    if (fd_ < 0) RaiseIo("Cannot lock the container", lockPath_.empty() ? container_ : lockPath_);
  }
  if (!TryLockFile(fd_)) return false;
  if (lockPath_.empty() || SameFile(fd_, lockPath_)) return true;
  // The holder removed the file we waited on: start again with a new one.
  close(fd_);
  fd_ = -1;
  return false;
}

}  // namespace app
