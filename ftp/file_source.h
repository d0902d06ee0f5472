#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ftp {

// What an upload sends: bytes read at offsets, so that one open file can
// serve several uploads at once, each from its own thread.
class TFileSource {
 public:
  virtual ~TFileSource() = default;
  // The number of bytes to send.
  virtual std::int64_t Size() const = 0;
  // Reads up to `size` bytes at `offset`; fewer only at the end. Raises when
  // the bytes cannot be read, or no longer as they were when the source was
  // opened.
  virtual std::size_t ReadAt(char* into, std::size_t size, std::int64_t offset) = 0;
  // The local path, for messages.
  virtual const std::string& Name() const = 0;
};

// A local regular file opened once by its path.
class TLocalFile : public TFileSource {
 public:
  // Raises Exception "Datei kann nicht geöffnet werden: <path>: <reason>"
  // when the path names no readable regular file.
  explicit TLocalFile(std::string path);
  ~TLocalFile() override;
  TLocalFile(const TLocalFile&) = delete;
  TLocalFile& operator=(const TLocalFile&) = delete;

  std::int64_t Size() const override { return size_; }
  std::size_t ReadAt(char* into, std::size_t size, std::int64_t offset) override;
  const std::string& Name() const override { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
  std::int64_t size_ = 0;
};

}  // namespace ftp
