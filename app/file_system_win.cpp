#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <random>

#include "app/file_system.h"
#include "app/local_files.h"
#include "app/path_text.h"

namespace app {
namespace {

// Every file is opened so that it can be renamed and removed while open, as
// on Linux; the lock file is the one exception (see OpenLockFile).
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring Wide(const std::string& utf8) { return PathOf(utf8).native(); }

int Fail(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED: errno = EACCES; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: errno = EBUSY; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
    case ERROR_WRITE_PROTECT: errno = EROFS; break;
    case ERROR_NOT_SAME_DEVICE: errno = EXDEV; break;
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY: errno = EINVAL; break;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION: errno = ENOTSUP; break;
    default: errno = EIO;
  }
  return -1;
}

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// The handle as a C runtime descriptor, which then owns it.
int DescriptorOf(HANDLE handle, int flags) {
  if (handle == INVALID_HANDLE_VALUE) return Fail(GetLastError());
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) {
    CloseHandle(handle);
    errno = EMFILE;
  }
  return fd;
}

HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
  return CreateFileW(Wide(path).c_str(), access, share, nullptr, disposition, flags, nullptr);
}

bool IsLink(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  return GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
         (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && tag.ReparseTag == IO_REPARSE_TAG_SYMLINK;
}

// A descriptor of the file unless the path names a symbolic link (ELOOP).
int UnlessLink(HANDLE handle, int flags) {
  if (handle != INVALID_HANDLE_VALUE && IsLink(handle)) {
    CloseHandle(handle);
    errno = ELOOP;
    return -1;
  }
  return DescriptorOf(handle, flags);
}

std::optional<FileIdentity> IdentityOfHandle(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) return std::nullopt;
  // FILETIME counts 100 ns from 1601.
  constexpr std::int64_t kFrom1601To1970 = 116444736000000000;
  const std::int64_t ticks =
      static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime);
  const bool regular = !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) &&
                       GetFileType(handle) == FILE_TYPE_DISK && !IsLink(handle);
  return FileIdentity{info.dwVolumeSerialNumber,
                      (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
                      static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow),
                      (ticks - kFrom1601To1970) * 100,
                      info.nNumberOfLinks,
                      regular};
}

// The byte a lock is taken on lies far beyond any data, because a Windows
// lock keeps other handles from reading the bytes it covers.
OVERLAPPED LockedRange() {
  OVERLAPPED range{};
  range.Offset = 0xFFFFFFF0;
  range.OffsetHigh = 0x7FFFFFFF;
  return range;
}

}  // namespace

std::optional<FileIdentity> IdentityOf(int fd) { return IdentityOfHandle(HandleOf(fd)); }

std::optional<FileIdentity> IdentityOfPath(const std::string& path, bool followLink) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  const HANDLE handle = Open(path, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, flags);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  auto identity = IdentityOfHandle(handle);
  CloseHandle(handle);
  return identity;
}

int OpenToRead(const std::string& path) {
  return DescriptorOf(Open(path, GENERIC_READ, kShareAll, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL), _O_RDONLY);
}

int OpenNewFile(const std::string& path) {
  return DescriptorOf(Open(path, GENERIC_WRITE, kShareAll, CREATE_NEW, FILE_ATTRIBUTE_NORMAL), _O_WRONLY);
}

int OpenNoFollow(const std::string& path) {
  return UnlessLink(Open(path, GENERIC_READ, kShareAll, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT), _O_RDONLY);
}

int OpenToAppend(const std::string& path, bool create) {
  // Appending only: every write goes to the end, also beside another run's.
  const HANDLE handle = Open(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll,
                             create ? CREATE_NEW : OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
  return UnlessLink(handle, _O_WRONLY | _O_APPEND);
}

// Not to be removed while open: a run that waits on it keeps it, so no
// second run can lock a new file under the same name meanwhile.
int OpenLockFile(const std::string& path) {
  const HANDLE handle = Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT);
  return UnlessLink(handle, _O_RDONLY);
}

int CreateUniqueFile(std::string& pattern) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> letter(0, sizeof kLetters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (std::size_t i = pattern.size() - 6; i < pattern.size(); ++i) pattern[i] = kLetters[letter(random)];
    // WRITE_DAC: the file may take over the permissions of the one it replaces.
    const HANDLE handle = Open(pattern, GENERIC_READ | GENERIC_WRITE | READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                               kShareAll, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
    return DescriptorOf(handle, _O_RDWR);
  }
  errno = EEXIST;
  return -1;
}

bool TryLockFile(int fd) {
  OVERLAPPED range = LockedRange();
  if (LockFileEx(HandleOf(fd), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range)) return true;
  Fail(GetLastError());
  return false;
}

void ReleaseLockFile(int fd, const std::string& path) {
  OVERLAPPED range = LockedRange();
  UnlockFileEx(HandleOf(fd), 0, 1, 0, &range);
  _close(fd);
  // Fails while a waiting run has it open: it is that run's now.
  DeleteFileW(Wide(path).c_str());
}

// The position for reads that follow is kept: one descriptor serves reads
// at offsets and reads in order alike.
std::ptrdiff_t ReadAtOnce(int fd, char* into, std::size_t size, std::uint64_t offset) {
  const HANDLE handle = HandleOf(fd);
  LARGE_INTEGER position{}, none{};
  if (!SetFilePointerEx(handle, none, &position, FILE_CURRENT)) return Fail(GetLastError());
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  const bool read = ReadFile(handle, into, wanted, &got, &at);
  const DWORD error = GetLastError();
  SetFilePointerEx(handle, position, nullptr, FILE_BEGIN);
  if (!read && error != ERROR_HANDLE_EOF) return Fail(error);
  return static_cast<std::ptrdiff_t>(got);
}

bool Rewind(int fd) { return _lseeki64(fd, 0, SEEK_SET) == 0; }

bool SyncFile(int fd) { return FlushFileBuffers(HandleOf(fd)) || Fail(GetLastError()) == 0; }

// Windows writes back by itself and journals the folder.
void StartWriteBack(int, std::uint64_t, std::uint64_t) {}
void SyncFolder(const std::string&) {}

bool RemoveFile(const std::string& path) { return DeleteFileW(Wide(path).c_str()) || Fail(GetLastError()) == 0; }

bool MakeLink(const std::string& existing, const std::string& name) {
  return CreateHardLinkW(Wide(name).c_str(), Wide(existing).c_str(), nullptr) || Fail(GetLastError()) == 0;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
  return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
         Fail(GetLastError()) == 0;
}

bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_WRITE_THROUGH)) return true;
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return false;
  RaiseIo("Cannot rename", from, (Fail(error), errno));
}

// The library's own absolute() knows no UNC root and would put the
// current drive before "\\server\share".
std::string AbsolutePath(const std::string& path) {
  const std::wstring wide = Wide(path);
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (size == 0) return PathText(std::filesystem::path(wide).make_preferred());
    if (size < full.size()) {
      full.resize(size);
      return PathText(std::filesystem::path(full));
    }
    full.resize(size);
  }
}

std::string FullPath(const std::string& path) { return AbsolutePath(path); }

bool NameExists(const std::string& name) {
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileExW(Wide(name).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// Windows decides by the folder's access list, which only an attempt reads
// rightly: a file that goes again when closed.
bool FolderWritable(const std::string& folder) {
  const std::string probe = JoinPath(folder, ".parcelo-probe-" + std::to_string(GetCurrentProcessId()));
  const HANDLE handle = Open(probe, GENERIC_WRITE | DELETE, 0, CREATE_NEW,
                             FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
  if (handle == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS;
  CloseHandle(handle);
  return true;
}

std::string WhyNotWritable(int fd, const std::string& path, const std::string& folder) {
  DWORD flags = 0;
  if (GetVolumeInformationByHandleW(HandleOf(fd), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
      (flags & FILE_READ_ONLY_VOLUME))
    return "read-only file system";
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return "read-only";
  const HANDLE writer = Open(path, GENERIC_WRITE, kShareAll, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  if (writer == INVALID_HANDLE_VALUE) return "read-only";
  CloseHandle(writer);
  if (!FolderWritable(folder)) return "folder not writable";
  return "";
}

void OnEndingSignals(void (*handler)(int)) {
  for (const int signal : {SIGTERM, SIGINT, SIGBREAK}) {
    const auto before = std::signal(signal, handler);
    if (before != SIG_DFL) std::signal(signal, before);
  }
}

void EndBySignal(int signal) {
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void RemoveNow(const char* path) {
  wchar_t wide[kPathBytes];
  if (MultiByteToWideChar(CP_UTF8, 0, path, -1, wide, kPathBytes) > 0) DeleteFileW(wide);
}

// From the process's own environment: the C runtime's wide copy of it may
// not have been made in a program that starts at main().
std::optional<std::filesystem::path> EnvironmentPath(const char* name) {
  const std::wstring wideName = Wide(name);
  std::wstring value(GetEnvironmentVariableW(wideName.c_str(), nullptr, 0), L'\0');
  if (value.empty()) return std::nullopt;
  value.resize(GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size())));
  if (value.empty()) return std::nullopt;
  return std::filesystem::path(value);
}

std::filesystem::path HomeFolder() { return EnvironmentPath("USERPROFILE").value_or(std::filesystem::path()); }

std::filesystem::path UserDataBase() {
  if (auto local = EnvironmentPath("LOCALAPPDATA")) return *local;
  if (auto roaming = EnvironmentPath("APPDATA")) return *roaming;
  return HomeFolder() / "AppData" / "Local";
}

// Access lists decide on Windows, and the user's profile is private to them.
std::optional<std::string> PermissionsOpenToOthers(int) { return std::nullopt; }

}  // namespace app
