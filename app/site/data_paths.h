#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace app {

// The parent of the executable's folder, as a full path without trailing separator.
std::string ApplicationFolder(const std::filesystem::path& executableFolder);

// Whether this user may create and replace files in `folder`.
bool CanWrite(const std::filesystem::path& folder);

// $XDG_DATA_HOME/Parcelo, or ~/.local/share/Parcelo when XDG_DATA_HOME is unset or
// not an absolute path; on Windows %LOCALAPPDATA%\Parcelo (else below %APPDATA%).
std::filesystem::path PerUserDataFolder();

// Where the program's data files live. AppDir holds the tree as installed.
// When the user cannot write there (a system-wide install), what the program
// writes (the fetched site files, the default backup folder) goes below the
// per-user data folder instead, and a data file is looked for there first,
// then below AppDir, so the shipped files serve until the first refresh.
class DataPaths {
 public:
  DataPaths(std::filesystem::path appDir, bool appDirWritable);

  // AppDir, as installed.
  const std::filesystem::path& AppFolder() const { return appDir_; }
  bool PerUser() const { return perUser_; }
  // AppDir, or the per-user data folder when AppDir is not writable.
  const std::filesystem::path& WritableFolder() const { return writable_; }
  // `relative` (e.g. "lib/ftpsend.xml") below the writable folder.
  std::string Writable(const std::string& relative) const;
  // `relative` below the per-user data folder when the file is there, else below AppDir.
  std::string Resolve(const std::string& relative) const;
  // Every copy of `relative` there is: below AppDir, then below the per-user data folder.
  std::vector<std::string> Copies(const std::string& relative) const;
  // Whether the per-user data folder has its own copy of `relative`.
  bool HasOwnCopy(const std::string& relative) const;
  // `relative` as a program working in the writable folder names it: as it
  // is when the file is there, else by its full path below AppDir.
  std::string FromWritableFolder(const std::string& relative) const;
  // Creates lib, dtd and doc below the per-user data folder, so the refresh
  // can fetch into them. Nothing to do when AppDir is writable; a folder that
  // cannot be made shows when the refresh writes there.
  void CreateWritableFolders() const;
  // Copies into the per-user `folder` each file of AppDir's that it lacks.
  // The checker's catalog names its DTDs relative to itself, so the fetched
  // DTD is found only beside the catalog and the DTDs that were shipped.
  void CompleteOwnFolder(const std::string& folder) const;

 private:
  std::filesystem::path appDir_;
  bool perUser_;
  std::filesystem::path writable_;
};

}  // namespace app
