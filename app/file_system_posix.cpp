#include <fcntl.h>
#include <glob.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/file_system.h"
#include "app/local_files.h"

namespace app {
namespace {

std::optional<FileIdentity> IdentityOfStat(const struct stat& info) {
  const auto nanoseconds = [](const timespec& t) { return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec; };
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                      static_cast<std::int64_t>(info.st_size), nanoseconds(info.st_mtim),
                      static_cast<std::uint32_t>(info.st_nlink), S_ISREG(info.st_mode)};
}

}  // namespace

std::optional<FileIdentity> IdentityOf(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return std::nullopt;
  return IdentityOfStat(info);
}

std::optional<FileIdentity> IdentityOfPath(const std::string& path, bool followLink) {
  struct stat info {};
  if ((followLink ? stat(path.c_str(), &info) : lstat(path.c_str(), &info)) != 0) return std::nullopt;
  return IdentityOfStat(info);
}

int OpenToRead(const std::string& path) { return open(path.c_str(), O_RDONLY | O_CLOEXEC); }

int OpenNewFile(const std::string& path) { return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600); }

int OpenNoFollow(const std::string& path) { return open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); }

int OpenToAppend(const std::string& path, bool create) {
  constexpr int kFlags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  return create ? open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0644) : open(path.c_str(), kFlags);
}

// Read-only, so that runs of other users can lock the same file.
int OpenLockFile(const std::string& path) { return open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644); }

int CreateUniqueFile(std::string& pattern) { return mkostemp(pattern.data(), O_CLOEXEC | O_NOFOLLOW); }

bool TryLockFile(int fd) { return flock(fd, LOCK_EX | LOCK_NB) == 0; }

// Removed while still held: a run that opened it meanwhile finds its file
// gone once it has the lock and takes a new one.
void ReleaseLockFile(int fd, const std::string& path) {
  unlink(path.c_str());
  close(fd);
}

std::ptrdiff_t ReadAtOnce(int fd, char* into, std::size_t size, std::uint64_t offset) {
  return pread(fd, into, size, static_cast<off_t>(offset));
}

bool Rewind(int fd) { return lseek(fd, 0, SEEK_SET) == 0; }

bool SyncFile(int fd) { return fsync(fd) == 0; }

void StartWriteBack(int fd, std::uint64_t offset, std::uint64_t size) {
  sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(size), SYNC_FILE_RANGE_WRITE);
}

void SyncFolder(const std::string& file) {
  const std::string parent = std::filesystem::path(file).parent_path().string();
  const int folder = open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool MakeLink(const std::string& existing, const std::string& name) { return link(existing.c_str(), name.c_str()) == 0; }

bool RenameReplacing(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

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

std::string AbsolutePath(const std::string& path) { return std::filesystem::absolute(path).string(); }

std::string FullPath(const std::string& path) {
  return std::filesystem::absolute(path).lexically_normal().string();
}

// As in the Windows directory search, only "*" and "?" are wildcards; "[",
// "]" and "\\" are part of the name.
bool NameExists(const std::string& name) {
  std::string pattern;
  for (char c : name) {
    if (c == '[' || c == ']' || c == '\\') pattern += '\\';
    pattern += c;
  }
  glob_t found{};
  const bool exists = glob(pattern.c_str(), GLOB_NOSORT, nullptr, &found) == 0 && found.gl_pathc > 0;
  globfree(&found);
  return exists;
}

bool FolderWritable(const std::string& folder) { return access(folder.c_str(), W_OK | X_OK) == 0; }

// By the mode too: the owner's own "read-only" holds for root as well, whom
// the permissions let write anything.
std::string WhyNotWritable(int fd, const std::string& path, const std::string& folder) {
  struct stat info {};
  struct statvfs volume {};
  if (fstat(fd, &info) != 0) return "";
  if (fstatvfs(fd, &volume) == 0 && (volume.f_flag & ST_RDONLY)) return "read-only file system";
  if ((info.st_mode & S_IWUSR) == 0 || faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return "read-only";
  if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return "folder not writable";
  return "";
}

void OnEndingSignals(void (*handler)(int)) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    struct sigaction before {};
    if (sigaction(signal, nullptr, &before) != 0 || before.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
}

void EndBySignal(int signal) {
  std::signal(signal, SIG_DFL);
  raise(signal);
}

void RemoveNow(const char* path) { unlink(path); }

std::optional<std::filesystem::path> EnvironmentPath(const char* name) {
  const char* value = std::getenv(name);
  if (!value || !*value) return std::nullopt;
  return std::filesystem::path(value);
}

}  // namespace app

namespace app {

std::filesystem::path HomeFolder() {
  if (auto home = EnvironmentPath("HOME")) return *home;
  const passwd* user = getpwuid(getuid());
  return user ? user->pw_dir : "/";
}

std::filesystem::path UserDataBase() {
  if (auto dataHome = EnvironmentPath("XDG_DATA_HOME"); dataHome && dataHome->is_absolute()) return *dataHome;
  return HomeFolder() / ".local/share";
}

std::optional<std::string> PermissionsOpenToOthers(int fd) {
  struct stat status {};
  if (fstat(fd, &status) != 0 || (status.st_mode & (S_IRWXG | S_IRWXO)) == 0) return std::nullopt;
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(status.st_mode & 07777));
  return text;
}

}  // namespace app
