#pragma once

#include <cstdint>
#include <string>

#include "app/file_system.h"
#include "ftp/file_source.h"

namespace app {

// The container as one send hands it out: opened once after its
// preparation, its SHA-256 taken once, and every upload, the backup copy and
// the reading of its fields served from that one descriptor. The bytes must
// stay what they were: a read that finds the file changed (its size or its
// modification time) raises EContainerChanged, and Unchanged() also tells a
// container whose path now names another file, or none.
class ContainerSnapshot : public ftp::TFileSource {
 public:
  // Raises EInOutError when the container cannot be read, EContainerChanged
  // when it changes while its digest is taken.
  explicit ContainerSnapshot(std::string path);
  ~ContainerSnapshot() override;
  ContainerSnapshot(const ContainerSnapshot&) = delete;
  ContainerSnapshot& operator=(const ContainerSnapshot&) = delete;

  std::int64_t Size() const override { return identity_.size; }
  std::size_t ReadAt(char* into, std::size_t size, std::int64_t offset) override;
  const std::string& Name() const override { return path_; }

  // The digest of the bytes, in lower-case hexadecimal.
  const std::string& Sha256() const { return sha256_; }
  // Whether the open file and the path still are what was taken.
  bool Unchanged() const;
  // Raises EContainerChanged unless the open file is as it was taken.
  void CheckOpenFile() const;

 private:
  bool OpenFileUnchanged() const;

  std::string path_;
  int fd_ = -1;
  FileIdentity identity_;
  std::string sha256_;
};

}  // namespace app
