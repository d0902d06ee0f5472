#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace app {

// The longest path, in bytes, that a signal handler gets to remove.
inline constexpr std::size_t kPathBytes = 4096;

// The operating system's file calls the workflow needs, one implementation
// per system (file_system_posix.cpp, file_system_win.cpp). Paths are UTF-8;
// files are C runtime descriptors, always opened in binary mode. A failure
// returns -1 or false with errno set, so callers raise with the reason.

// What tells one file from another, and a changed file from what it was.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  std::int64_t size = 0;
  std::int64_t modified = 0;  // nanoseconds since the epoch
  std::uint32_t links = 0;
  bool regular = false;

  bool SameFile(const FileIdentity& other) const { return device == other.device && file == other.file; }
  // The same file with the same bytes, as far as size and time tell.
  bool Unchanged(const FileIdentity& other) const {
    return SameFile(other) && size == other.size && modified == other.modified;
  }
};

std::optional<FileIdentity> IdentityOf(int fd);
// Of the file the path names; a symbolic link itself unless `followLink`.
std::optional<FileIdentity> IdentityOfPath(const std::string& path, bool followLink);

// An existing file for reading.
int OpenToRead(const std::string& path);
// A new file for writing, never one that exists; where files have modes,
// readable by its owner only.
int OpenNewFile(const std::string& path);
// An existing file for reading, never through a link and without waiting
// for a writer (a pipe).
int OpenNoFollow(const std::string& path);
// A file for appending at its end, never through a link (errno ELOOP) nor
// waiting for a reader; `create`: a new one only.
int OpenToAppend(const std::string& path, bool create);
// The file a lock is taken on, created when missing, never through a link;
// opened so that other users' runs can lock it too.
int OpenLockFile(const std::string& path);
// Creates a new file from `pattern`, whose last six characters "XXXXXX"
// are replaced by a unique suffix; `pattern` is the name made.
int CreateUniqueFile(std::string& pattern);

// An exclusive lock on the open file, if no other open file holds one; it
// goes with the descriptor. It keeps no reader or writer out.
bool TryLockFile(int fd);
// Gives up the lock and closes the lock file of OpenLockFile, and removes it
// unless another run holds it by then.
void ReleaseLockFile(int fd, const std::string& path);

// Reads at `offset` once; -1 on failure, 0 at the end of the file.
std::ptrdiff_t ReadAtOnce(int fd, char* into, std::size_t size, std::uint64_t offset);
// Back to the file's start for the next read.
bool Rewind(int fd);
// Flushes the file's bytes to the disk.
bool SyncFile(int fd);
// Lets the system start writing `size` bytes from `offset` to the disk.
void StartWriteBack(int fd, std::uint64_t offset, std::uint64_t size);
// Makes a rename in the file's folder durable where the system needs that.
void SyncFolder(const std::string& file);

bool RemoveFile(const std::string& path);
// Gives the file a second name; false where the file system has no links.
bool MakeLink(const std::string& existing, const std::string& name);
// Renames `from` to `to`, replacing a file under that name in one step.
bool RenameReplacing(const std::string& from, const std::string& to);
// Renames `from` to `to` unless `to` exists (false then); raises when it
// cannot be renamed at all.
bool RenameWithoutReplacing(const std::string& from, const std::string& to);

// The path made absolute, with the system's separators; drive letters and
// UNC paths (\\server\share\...) keep their root on Windows, where ".."
// and "." are resolved by name, as Windows itself does.
std::string AbsolutePath(const std::string& path);
// The same with "." and ".." resolved by name on Linux too.
std::string FullPath(const std::string& path);

// Whether a directory search finds anything under the name: a file, a
// folder, or files a wildcard pattern of "*" and "?" matches.
bool NameExists(const std::string& name);

// Whether this user may create and replace files in `folder`.
bool FolderWritable(const std::string& folder);
// Why the open file cannot be written in its place ("read-only file system",
// "read-only", "folder not writable"); empty when it can.
std::string WhyNotWritable(int fd, const std::string& path, const std::string& folder);

// Lets `handler` run when the user or the system ends the process, where
// nothing else handles those signals yet; EndBySignal, called last in the
// handler, ends it as the signal would have. `RemoveNow` may be called from
// the handler.
void OnEndingSignals(void (*handler)(int));
void EndBySignal(int signal);
void RemoveNow(const char* path);

// The environment variable as a path; nothing when it is unset or empty.
std::optional<std::filesystem::path> EnvironmentPath(const char* name);
// The user's home folder: $HOME, else the account's (Linux); %USERPROFILE% (Windows).
std::filesystem::path HomeFolder();
// Where programs keep this user's data: $XDG_DATA_HOME when it is absolute,
// else ~/.local/share (Linux); %LOCALAPPDATA%, else %APPDATA% (Windows).
std::filesystem::path UserDataBase();
// The permissions of a file that its group or others have some access to
// ("0644"); nothing when only its owner has, or where files have no modes.
std::optional<std::string> PermissionsOpenToOthers(int fd);

}  // namespace app
