#include "app/local_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
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

TemporaryFile::TemporaryFile(const std::filesystem::path& beside, const std::string& tag) {
  std::string name = beside.filename().string();
  name.insert(0, 1, '.');
  name += "." + tag + "-XXXXXX";
  path_ = (beside.parent_path() / name).string();
  fd_ = mkstemp(path_.data());
  if (fd_ < 0) RaiseIo("Cannot create a temporary file beside", beside.string());
}

TemporaryFile::~TemporaryFile() {
  if (fd_ >= 0) close(fd_);
  if (!kept_) unlink(path_.c_str());
}

void TemporaryFile::Finish() {
  const bool synced = fsync(fd_) == 0;
  const int syncError = errno;
  const bool closed = close(std::exchange(fd_, -1)) == 0;
  if (!synced) RaiseIo("Cannot write", path_, syncError);
  if (!closed) RaiseIo("Cannot write", path_);
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
