#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace app {

// The file operations of a container's preparation. Failures raise
// EInOutError with the path and the system's reason.

[[noreturn]] void RaiseIo(const std::string& what, const std::string& path, int error);
[[noreturn]] void RaiseIo(const std::string& what, const std::string& path);  // with errno

// Writes every byte, again after an interruption; a failure raises RaiseIo(what, path)
// with the system's reason (ENOSPC where nothing more could be written).
void WriteAll(int fd, const char* bytes, std::size_t size, const std::string& what, const std::string& path);

// Closes a descriptor when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { Close(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int Close();

 private:
  int fd_;
};

// A file that is removed again unless it was kept (renamed into its place):
// when it goes, also by an exception, and when the process ends by SIGTERM,
// SIGINT or SIGHUP (see RemoveTemporariesOnSignals). While it lives, it is
// locked, so that RemoveLeftovers tells it from what a killed run left.
class TemporaryFile {
 public:
  // Creates "<folder>/.<name>.<tag>-XXXXXX" with a unique suffix, exclusively
  // and never through a link, readable by its owner only (mode 0600 on Linux).
  TemporaryFile(const std::filesystem::path& beside, const std::string& tag);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  // Flushes the file to disk; it stays open (and locked) until kept or gone.
  void Finish();
  // After it was renamed into its place: closes it and leaves it there.
  void Keep();
  // Closes and removes it, so that another file can be made under its name,
  // which is still removed when this goes.
  void FreeName();

 private:
  void Forget();

  std::string path_;
  int fd_ = -1;
  int slot_ = -1;  // its place among the names a signal removes
  bool kept_ = false;
};

// Removes what runs that were killed left of TemporaryFile(beside, tag):
// the files of that name pattern that no living TemporaryFile holds.
void RemoveLeftovers(const std::filesystem::path& beside, const std::string& tag);

// Makes SIGTERM, SIGINT and SIGHUP remove the temporary files in progress
// before the process ends as the signal ends it. A signal that is ignored or
// handled already is left as it is.
void RemoveTemporariesOnSignals();

// The file a symbolic link `path` leads to, else `path`; made absolute.
std::filesystem::path LinkTarget(const std::string& path);

// Reads up to `size` bytes at `offset`; fewer only at the end of the file.
std::size_t ReadAt(int fd, char* into, std::size_t size, std::size_t offset);

// Whether the two open files hold the same bytes.
bool SameContent(int a, int b);

// Copies the whole of `from` to `to` (`path` names `from` in errors).
void CopyFile(int from, int to, const std::string& path);

}  // namespace app
