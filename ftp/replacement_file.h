#pragma once

#include <string>

namespace ftp {

// A new file beside `target` that takes the target's place only on Commit;
// otherwise it is removed again, and the target stays as it was.
class TReplacementFile {
 public:
  // Raises Exception when the file cannot be created.
  explicit TReplacementFile(const std::string& target);
  ~TReplacementFile();
  TReplacementFile(const TReplacementFile&) = delete;
  TReplacementFile& operator=(const TReplacementFile&) = delete;

  const std::string& Path() const { return path_; }
  // Raises Exception when the target cannot be replaced.
  void Commit();

 private:
  std::string target_;
  std::string path_;
  bool committed_ = false;
};

}  // namespace ftp
