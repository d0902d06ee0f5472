#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace test {

// A file system of its own, `kilobytes` large, mounted at `at` for a test
// that needs a disk that fills (a tmpfs; the tests run as root where they
// can mount one). Unmounted again when it goes.
class SmallDisk {
 public:
  SmallDisk(const std::filesystem::path& at, std::size_t kilobytes);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  // False when this machine lets the tests mount nothing; Why() says why.
  bool Mounted() const { return mounted_; }
  const std::string& Why() const { return why_; }
  // Fills what is left but `spare` bytes.
  void FillLeaving(std::size_t spare) const;

 private:
  std::filesystem::path at_;
  bool mounted_ = false;
  std::string why_;
};

}  // namespace test
