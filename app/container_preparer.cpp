#include "app/container_preparer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "app/container_text.h"
#include "app/transfer_log.h"

namespace app {
namespace {

constexpr std::string_view kSystemIdMarker = ".dtd\"";
constexpr std::string_view kVersion12Marker = "1.2//EN\"";
constexpr std::string_view kVersion11Marker = "1.1//EN\"";
constexpr std::string_view kVersion12SystemId = " \"ecum0102.dtd\"";
constexpr std::string_view kVersion11SystemId = " \"ecum0101.dtd\"";

[[noreturn]] void RaiseIo(const std::string& what, const std::string& path, int error = errno) {
  throw EInOutError(what + " \"" + path + "\": " + std::strerror(error));
}

// Closes a descriptor when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { Close(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int Close() {
    const int result = fd_ >= 0 ? close(fd_) : 0;
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// A file that is removed again unless it was kept (renamed into its place).
class TemporaryFile {
 public:
  // Creates "<folder>/.<name>.<tag>-XXXXXX" with a unique suffix.
  TemporaryFile(const std::filesystem::path& beside, const std::string& tag) {
    std::string name = beside.filename().string();
    name.insert(0, 1, '.');
    name += "." + tag + "-XXXXXX";
    path_ = (beside.parent_path() / name).string();
    fd_ = mkstemp(path_.data());
    if (fd_ < 0) RaiseIo("Cannot create a temporary file beside", beside.string());
  }
  ~TemporaryFile() {
    if (fd_ >= 0) close(fd_);
    if (!kept_) unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  // Flushes the file to disk and closes it.
  void Finish() {
    if (fsync(fd_) != 0 || close(fd_) != 0) {
      fd_ = -1;
      RaiseIo("Cannot write", path_);
    }
    fd_ = -1;
  }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  int fd_ = -1;
  bool kept_ = false;
};

// Buffers output and writes it in large blocks.
class Output {
 public:
  explicit Output(const TemporaryFile& file) : file_(file) { buffer_.reserve(kBlock + 4096); }
  void Write(std::string_view bytes) {
    buffer_ += bytes;
    FlushIfFull();
  }
  void FlushIfFull() {
    if (buffer_.size() >= kBlock) Flush();
  }
  std::string& Buffer() { return buffer_; }
  void Flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
      const ssize_t n = write(file_.fd(), buffer_.data() + done, buffer_.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) RaiseIo("Cannot write", file_.path(), n < 0 ? errno : ENOSPC);
      done += static_cast<std::size_t>(n);
    }
    written_ += buffer_.size();
    buffer_.clear();
    // Start writing back what is done while the rest is translated, so the
    // final flush to disk has little left to wait for.
    if (written_ - syncStarted_ >= kWriteBack) {
      sync_file_range(file_.fd(), static_cast<off_t>(syncStarted_), static_cast<off_t>(written_ - syncStarted_),
                      SYNC_FILE_RANGE_WRITE);
      syncStarted_ = written_;
    }
  }

 private:
  static constexpr std::size_t kBlock = 1 << 20;
  static constexpr std::size_t kWriteBack = 8 << 20;
  const TemporaryFile& file_;
  std::string buffer_;
  std::size_t written_ = 0;
  std::size_t syncStarted_ = 0;
};

// Where the first occurrence of each marker ends in the first line.
struct FirstLineMarkers {
  std::optional<std::size_t> systemId;
  std::optional<std::size_t> version12;
  std::optional<std::size_t> version11;
};

// Finds the markers in the first line, which may come in several pieces.
FirstLineMarkers ScanFirstLine(ContainerText& text) {
  FirstLineMarkers found;
  std::string tail;  // the last bytes seen, enough for the longest marker
  std::size_t offset = 0;
  const auto note = [&](std::optional<std::size_t>& where, std::string_view marker) {
    if (!where && tail.ends_with(marker)) where = offset;
  };
  text.ReadLine([&](std::string_view piece) {
    for (char c : piece) {
      tail += c;
      if (tail.size() > kVersion12Marker.size()) tail.erase(0, 1);
      ++offset;
      note(found.systemId, kSystemIdMarker);
      note(found.version12, kVersion12Marker);
      note(found.version11, kVersion11Marker);
    }
  });
  return found;
}

// Writes the first line with the system identifiers inserted where the
// version markers end.
void WriteFirstLine(ContainerText& text, const FirstLineMarkers& markers, Output& out) {
  std::size_t offset = 0;
  text.ReadLine([&](std::string_view piece) {
    for (std::size_t i = 0; i < piece.size(); ++i) {
      out.Write(piece.substr(i, 1));
      ++offset;
      if (markers.version12 == offset) out.Write(kVersion12SystemId);
      if (markers.version11 == offset) out.Write(kVersion11SystemId);
    }
  });
  out.Write("\r\n");
}

// Every further line through the dictionary, each ended by CR LF. Where the
// dictionary keeps CR and LF, the text between lone CRs goes through it in one
// piece, its CR LF pairs included, which is the same as line by line but
// without the cost per line.
class BodyWriter {
 public:
  BodyWriter(const entity::TCharToEntityTranslator& translator, Output& out)
      : translator_(translator), out_(out),
        keepsLineEnds_(translator.Translate("\r") == "\r" && translator.Translate("\n") == "\n") {}

  void Write(std::string_view piece) {
    if (piece.empty()) return;
    std::size_t pos = 0;
    // The LF of a CR LF whose CR ended the previous piece.
    if (afterCr_ && piece[0] == '\n') pos = 1;
    afterCr_ = false;
    std::size_t segment = pos;
    while (const void* found = std::memchr(piece.data() + pos, '\r', piece.size() - pos)) {
      const std::size_t cr = static_cast<std::size_t>(static_cast<const char*>(found) - piece.data());
      const bool lf = cr + 1 < piece.size() && piece[cr + 1] == '\n';
      pos = cr + (lf ? 2 : 1);
      if (lf && keepsLineEnds_) continue;
      Translate(piece.substr(segment, cr - segment));
      out_.Write("\r\n");
      afterCr_ = cr + 1 == piece.size();
      segment = pos;
    }
    Translate(piece.substr(segment));
    lineOpen_ = segment < piece.size() && !piece.ends_with("\r\n");
  }
  // The last line gets its end even where the text has none.
  void Finish() {
    if (lineOpen_) out_.Write("\r\n");
  }

 private:
  void Translate(std::string_view text) {
    translator_.AppendTranslation(text, out_.Buffer());
    out_.FlushIfFull();
  }

  const entity::TCharToEntityTranslator& translator_;
  Output& out_;
  const bool keepsLineEnds_;
  bool afterCr_ = false;
  bool lineOpen_ = false;
};

void CopyFile(int from, int to, const std::string& path) {
  std::array<char, 1 << 16> chunk;
  ssize_t n;
  while ((n = read(from, chunk.data(), chunk.size())) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) RaiseIo("Cannot read", path);
    for (ssize_t done = 0; done < n;) {
      const ssize_t written = write(to, chunk.data() + done, static_cast<std::size_t>(n - done));
      if (written <= 0) RaiseIo("Cannot write the copy of", path, written < 0 ? errno : ENOSPC);
      done += written;
    }
  }
}

void SyncFolder(const std::filesystem::path& file) {
  const int folder = open(file.parent_path().empty() ? "." : file.parent_path().c_str(), O_RDONLY | O_DIRECTORY);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
}

}  // namespace

void ContainerPreparer::Prepare(const std::string& container) {
  Descriptor in(open(container.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) RaiseIo("Cannot open the container", container);
  struct stat info {};
  fstat(in.get(), &info);
  const std::filesystem::path path = std::filesystem::absolute(container);
  TemporaryFile prepared(path, "prepared");

  ContainerText scan(in.get(), 1 << 16);
  const FirstLineMarkers markers = ScanFirstLine(scan);
  if (lseek(in.get(), 0, SEEK_SET) != 0) RaiseIo("Cannot read the container", container);

  // A system identifier already there: the first line stays as it is.
  const bool hasSystemId = markers.systemId.has_value();
  const FirstLineMarkers insertions = hasSystemId ? FirstLineMarkers{} : markers;
  ContainerText text(in.get());
  Output out(prepared);
  WriteFirstLine(text, insertions, out);
  BodyWriter body(translator_, out);
  text.ReadRest([&](std::string_view piece) { body.Write(piece); });
  body.Finish();
  out.Flush();
  fchmod(prepared.fd(), info.st_mode & 07777);
  prepared.Finish();
  in.Close();

  if (!hasSystemId) SaveUnprepared(path.string());
  if (!Replace(prepared.path(), path.string()))
    RaiseIo("Cannot replace the container by its prepared copy", container);
  prepared.Keep();
  SyncFolder(path);
}

// Keeps the unprepared container as "<container>.bak": a link (or a copy
// where links are not possible) renamed over any earlier ".bak".
void ContainerPreparer::SaveUnprepared(const std::string& container) {
  const std::string backup = container + ".bak";
  TemporaryFile copy(backup, "saving");
  unlink(copy.path().c_str());
  if (link(container.c_str(), copy.path().c_str()) != 0) {
    Descriptor from(open(container.c_str(), O_RDONLY | O_CLOEXEC));
    Descriptor to(open(copy.path().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (from.get() < 0 || to.get() < 0) RaiseIo("Cannot save the unprepared container as", backup);
    CopyFile(from.get(), to.get(), container);
    if (fsync(to.get()) != 0 || to.Close() != 0) RaiseIo("Cannot save the unprepared container as", backup);
  }
  if (std::rename(copy.path().c_str(), backup.c_str()) != 0) RaiseIo("Cannot save the unprepared container as", backup);
  copy.Keep();
}

bool ContainerPreparer::Replace(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace app
