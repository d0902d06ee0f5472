#include "app/site/data_paths.h"

#include "app/file_system.h"
#include "app/path_text.h"

namespace app {

std::string ApplicationFolder(const std::filesystem::path& executableFolder) {
  std::filesystem::path folder = PathOf(FullPath(PathText(executableFolder)));
  if (folder.has_relative_path() && !folder.has_filename()) folder = folder.parent_path();
  return PathText(folder.parent_path());
}

bool CanWrite(const std::filesystem::path& folder) { return FolderWritable(PathText(folder)); }

std::filesystem::path PerUserDataFolder() { return UserDataBase() / "Parcelo"; }

DataPaths::DataPaths(std::filesystem::path appDir, bool appDirWritable)
    : appDir_(std::move(appDir)),
      perUser_(!appDirWritable),
      writable_(perUser_ ? PerUserDataFolder() : appDir_) {}

std::string DataPaths::Writable(const std::string& relative) const { return PathText(writable_ / relative); }

std::vector<std::string> DataPaths::Copies(const std::string& relative) const {
  std::vector<std::string> copies;
  std::error_code ignored;
  if (std::filesystem::is_regular_file(appDir_ / relative, ignored)) copies.push_back(PathText(appDir_ / relative));
  if (HasOwnCopy(relative)) copies.push_back(PathText(writable_ / relative));
  return copies;
}

bool DataPaths::HasOwnCopy(const std::string& relative) const {
  return perUser_ && std::filesystem::exists(writable_ / relative);
}

std::string DataPaths::Resolve(const std::string& relative) const {
  return PathText((HasOwnCopy(relative) ? writable_ : appDir_) / relative);
}

std::string DataPaths::FromWritableFolder(const std::string& relative) const {
  return !perUser_ || HasOwnCopy(relative) ? relative : PathText(appDir_ / relative);
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
