#include "app/site/data_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace app {

std::string ApplicationFolder(const std::filesystem::path& executableFolder) {
  std::filesystem::path folder = std::filesystem::absolute(executableFolder).lexically_normal();
  if (folder.has_relative_path() && !folder.has_filename()) folder = folder.parent_path();
  return folder.parent_path().string();
}

bool CanWrite(const std::filesystem::path& folder) { return access(folder.c_str(), W_OK | X_OK) == 0; }

std::filesystem::path PerUserDataFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome && *dataHome == '/') return std::filesystem::path(dataHome) / "Parcelo";
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* user = getpwuid(getuid());
    home = user ? user->pw_dir : "/";
  }
  return std::filesystem::path(home) / ".local/share/Parcelo";
}

DataPaths::DataPaths(std::filesystem::path appDir, bool appDirWritable)
    : appDir_(std::move(appDir)),
      perUser_(!appDirWritable),
      writable_(perUser_ ? PerUserDataFolder() : appDir_) {}

std::string DataPaths::Writable(const std::string& relative) const { return (writable_ / relative).string(); }

std::vector<std::string> DataPaths::Copies(const std::string& relative) const {
  std::vector<std::string> copies;
  std::error_code ignored;
  if (std::filesystem::is_regular_file(appDir_ / relative, ignored)) copies.push_back((appDir_ / relative).string());
  if (HasOwnCopy(relative)) copies.push_back((writable_ / relative).string());
  return copies;
}

bool DataPaths::HasOwnCopy(const std::string& relative) const {
  return perUser_ && std::filesystem::exists(writable_ / relative);
}

std::string DataPaths::Resolve(const std::string& relative) const {
  return ((HasOwnCopy(relative) ? writable_ : appDir_) / relative).string();
}

std::string DataPaths::FromWritableFolder(const std::string& relative) const {
  return !perUser_ || HasOwnCopy(relative) ? relative : (appDir_ / relative).string();
}

void DataPaths::CreateWritableFolders() const {
  if (!perUser_) return;
  for (const char* folder : {"lib", "dtd", "doc"}) {
    std::error_code ignored;
    std::filesystem::create_directories(writable_ / folder, ignored);
  }
}

void DataPaths::CompleteOwnFolder(const std::string& folder) const {
  if (!perUser_) return;
  std::filesystem::create_directories(writable_ / folder);
  for (const auto& shipped : std::filesystem::directory_iterator(appDir_ / folder)) {
    const auto own = writable_ / folder / shipped.path().filename();
    if (shipped.is_regular_file() && !std::filesystem::exists(own)) std::filesystem::copy_file(shipped.path(), own);
  }
}

}  // namespace app
