#include "app/local_files.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

#include "app/file_system.h"
#include "app/path_text.h"
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
  char path[kPathBytes];
};
Slot slots[kSlots];

int Register(const std::string& path) {
  if (path.size() >= kPathBytes) return -1;
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
    if (slot.state == kLive) RemoveNow(slot.path);
  EndBySignal(signal);
}

bool NamesOpenFile(const std::string& path, int fd) {
  const auto named = IdentityOfPath(path, false);
  const auto open = IdentityOf(fd);
  return named && open && named->SameFile(*open);
}

}  // namespace

TemporaryFile::TemporaryFile(const std::filesystem::path& beside, const std::string& tag) {
  std::string name = PathText(beside.filename());
  name.insert(0, 1, '.');
  name += "." + tag + "-XXXXXX";
  const std::string pattern = PathText(beside.parent_path() / PathOf(name));
  // Locked at once; a file that a cleaner took meanwhile is made anew.
  while (fd_ < 0) {
    path_ = pattern;
    fd_ = CreateUniqueFile(path_);
    if (fd_ < 0) RaiseIo("Cannot create a temporary file beside", PathText(beside));
    if (TryLockFile(fd_) && NamesOpenFile(path_, fd_)) break;
    close(std::exchange(fd_, -1));
  }
  slot_ = Register(path_);
}

TemporaryFile::~TemporaryFile() {
  if (!kept_) RemoveFile(path_);
  Forget();
}

void TemporaryFile::Finish() {
  if (!SyncFile(fd_)) RaiseIo("Cannot write", path_);
}

void TemporaryFile::FreeName() {
  RemoveFile(path_);
  if (fd_ >= 0) close(std::exchange(fd_, -1));
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
  const std::string prefix = "." + PathText(beside.filename()) + "." + tag + "-";
  std::error_code error;
  const std::filesystem::path folder = beside.parent_path().empty() ? "." : beside.parent_path();
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = PathText(entry.path().filename());
    if (!name.starts_with(prefix) || name.size() != prefix.size() + 6) continue;
    const std::string path = PathText(entry.path());
    Descriptor file(OpenNoFollow(path));
    // A file its run still holds is locked; one of another user we cannot open is left.
    if (file.get() >= 0 && TryLockFile(file.get()) && NamesOpenFile(path, file.get())) RemoveFile(path);
  }
}

void RemoveTemporariesOnSignals() { OnEndingSignals(RemoveTemporariesAndEnd); }

std::filesystem::path LinkTarget(const std::string& path) {
  const std::filesystem::path named = PathOf(path);
  std::error_code error;
  if (std::filesystem::is_symlink(named, error)) {
    const std::filesystem::path target = std::filesystem::canonical(named, error);
    if (!error) return target;
  }
  return PathOf(AbsolutePath(path));
}

std::size_t ReadAt(int fd, char* into, std::size_t size, std::size_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const std::ptrdiff_t n = ReadAtOnce(fd, into + done, size - done, offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EInOutError(std::string("Cannot read the container: ") + std::strerror(errno));
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool SameContent(int a, int b) {
  const auto infoA = IdentityOf(a);
  const auto infoB = IdentityOf(b);
  if (!infoA || !infoB) return false;
  if (infoA->SameFile(*infoB)) return true;
  if (infoA->size != infoB->size) return false;
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

}  // namespace app
