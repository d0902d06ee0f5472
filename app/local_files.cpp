#include "app/local_files.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <utility>

#include "app/workflow_errors.h"

namespace app {

void RaiseIo(const std::string& what, const std::string& path, int error) {
  throw EInOutError(what + " \"" + path + "\": " + std::strerror(error));
}

void RaiseIo(const std::string& what, const std::string& path) { RaiseIo(what, path, errno); }

void WriteAll(int fd, const char* bytes, std::size_t size, const std::string& what, const std::string& path) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) RaiseIo(what, path, n < 0 ? errno : ENOSPC);
    done += static_cast<std::size_t>(n);
  }
}

int Descriptor::Close() {
  const int result = fd_ >= 0 ? close(fd_) : 0;
  fd_ = -1;
  return result;
}

namespace {

// The names of the temporary files in progress, for a signal handler to
// remove: plain memory and lock-free atomics only.
constexpr int kSlots = 32;
enum SlotState : int { kFree, kFilling, kLive };
struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};
Slot slots[kSlots];

int Register(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
    slots[i].state = kLive;
    return i;
  }
  return -1;  // more at once than there is room for: a later run removes it
}

extern "C" void RemoveTemporariesAndEnd(int signal) {
  for (Slot& slot : slots)
    if (slot.state == kLive) unlink(slot.path);
  std::signal(signal, SIG_DFL);
  raise(signal);
}

bool NamesOpenFile(const std::string& path, int fd) {
  struct stat named {}, open {};
  return lstat(path.c_str(), &named) == 0 && fstat(fd, &open) == 0 && named.st_dev == open.st_dev &&
         named.st_ino == open.st_ino;
}

}  // namespace

TemporaryFile::TemporaryFile(const std::filesystem::path& beside, const std::string& tag) {
  std::string name = beside.filename().string();
  name.insert(0, 1, '.');
  name += "." + tag + "-XXXXXX";
  const std::string pattern = (beside.parent_path() / name).string();
  // Locked at once; a file that a cleaner took meanwhile is made anew.
  while (fd_ < 0) {
    path_ = pattern;
    fd_ = mkostemp(path_.data(), O_CLOEXEC | O_NOFOLLOW);
    if (fd_ < 0) RaiseIo("Cannot create a temporary file beside", beside.string());
    if (flock(fd_, LOCK_EX | LOCK_NB) == 0 && NamesOpenFile(path_, fd_)) break;
    close(std::exchange(fd_, -1));
  }
  slot_ = Register(path_);
}

TemporaryFile::~TemporaryFile() {
  if (!kept_) unlink(path_.c_str());
  Forget();
}

void TemporaryFile::Finish() {
  if (fsync(fd_) != 0) RaiseIo("Cannot write", path_);
}

void TemporaryFile::Keep() {
  kept_ = true;
  Forget();
}

void TemporaryFile::Forget() {
  if (slot_ >= 0) slots[slot_].state = kFree;
  slot_ = -1;
  if (fd_ >= 0) close(std::exchange(fd_, -1));
}

void RemoveLeftovers(const std::filesystem::path& beside, const std::string& tag) {
  const std::string prefix = "." + beside.filename().string() + "." + tag + "-";
  std::error_code error;
  const std::filesystem::path folder = beside.parent_path().empty() ? "." : beside.parent_path();
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(prefix) || name.size() != prefix.size() + 6) continue;
    const std::string path = entry.path().string();
    Descriptor file(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    // A file its run still holds is locked; one of another user we cannot open is left.
    if (file.get() >= 0 && flock(file.get(), LOCK_EX | LOCK_NB) == 0 && NamesOpenFile(path, file.get()))
      unlink(path.c_str());
  }
}

void RemoveTemporariesOnSignals() {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    struct sigaction before {};
    if (sigaction(signal, nullptr, &before) != 0 || before.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndEnd;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
}

std::filesystem::path LinkTarget(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_symlink(path, error)) {
    const std::filesystem::path target = std::filesystem::canonical(path, error);
    if (!error) return target;
  }
  return std::filesystem::absolute(path);
}

std::size_t ReadAt(int fd, char* into, std::size_t size, std::size_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = pread(fd, into + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EInOutError(std::string("Cannot read the container: ") + std::strerror(errno));
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool SameContent(int a, int b) {
  struct stat infoA {}, infoB {};
  if (fstat(a, &infoA) != 0 || fstat(b, &infoB) != 0) return false;
  if (infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino) return true;
  if (infoA.st_size != infoB.st_size) return false;
  std::array<char, 1 << 16> chunkA, chunkB;
  for (std::size_t offset = 0;; offset += chunkA.size()) {
    const std::size_t gotA = ReadAt(a, chunkA.data(), chunkA.size(), offset);
    const std::size_t gotB = ReadAt(b, chunkB.data(), chunkB.size(), offset);
    if (gotA != gotB || std::memcmp(chunkA.data(), chunkB.data(), gotA) != 0) return false;
    if (gotA < chunkA.size()) return true;
  }
}

void CopyFile(int from, int to, const std::string& path) {
  std::array<char, 1 << 16> chunk;
  ssize_t n;
  while ((n = read(from, chunk.data(), chunk.size())) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) RaiseIo("Cannot read", path);
    WriteAll(to, chunk.data(), static_cast<std::size_t>(n), "Cannot write the copy of", path);
  }
}

bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
  // A link is never made over an existing name; where the file system has
  // no links, the name is tested first.
  if (link(from.c_str(), to.c_str()) == 0) {
    unlink(from.c_str());  // should this fail, the file has two names: nothing is lost
    return true;
  }
  if (errno == EEXIST || access(to.c_str(), F_OK) == 0) return false;
  if (std::rename(from.c_str(), to.c_str()) != 0) RaiseIo("Cannot rename", from);
  return true;
}

void SyncFolder(const std::filesystem::path& file) {
  const int folder = open(file.parent_path().empty() ? "." : file.parent_path().c_str(), O_RDONLY | O_DIRECTORY);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
}

}  // namespace app
