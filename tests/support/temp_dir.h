#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace test {

// A fresh directory below the system's temporary folder, removed with
// everything in it when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  // Writes `bytes` unchanged to `name` below the folder and returns its full path.
  std::filesystem::path Write(const std::string& name, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

// `path` with the system's own separators, as the program shows paths.
inline std::string Native(std::filesystem::path path) { return path.make_preferred().string(); }

// Writes `bytes` into `file`, creating its folders.
void WriteFile(const std::filesystem::path& file, const std::string& bytes);
// The whole content of `file`; empty when it does not exist.
std::string ReadFile(const std::filesystem::path& file);
// `size` bytes of every value in a fixed pseudo-random order.
std::string PatternBytes(std::size_t size, unsigned seed = 1);

}  // namespace test
