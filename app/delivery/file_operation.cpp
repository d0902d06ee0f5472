#include "app/delivery/file_operation.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/file_system.h"
#include "app/local_files.h"
#include "app/path_text.h"
#include "app/workflow_errors.h"
#include "ftp/file_source.h"
#include "platform/dialogs.h"

namespace app {
namespace fs = std::filesystem;
namespace {

// "name (2).ext" beside the colliding file, the first that is free.
fs::path FreeName(const fs::path& taken) {
  for (int n = 2;; ++n) {
    fs::path candidate = taken.parent_path() / PathOf(PathText(taken.stem()) + " (" + std::to_string(n) + ")" +
                                                      PathText(taken.extension()));
    std::error_code error;
    if (!fs::exists(fs::symlink_status(candidate, error))) return candidate;
  }
}

}  // namespace

bool TFileOperation::Execute() { return Run(nullptr); }

bool TFileOperation::Execute(ftp::TFileSource& source) { return Run(&source); }

bool TFileOperation::Run(ftp::TFileSource* firstSource) {
  OperationAborted = false;
  LastError.clear();
  // One destination for all sources, or one per source with fofMultiDestFiles.
  const auto targetFor = [&](std::size_t i) {
    if (Operation == foDelete || FilesTo.empty()) return std::string();
    return Has(fofMultiDestFiles) && i < FilesTo.size() ? FilesTo[i] : FilesTo.front();
  };
  bool allDone = true;
  for (std::size_t i = 0; i < FilesFrom.size() && !OperationAborted; ++i)
    allDone = Handle(FilesFrom[i], targetFor(i), i == 0 ? firstSource : nullptr) && allDone;
  return allDone && !OperationAborted;
}

bool TFileOperation::Fail(const std::string& text) {
  LastError = text;
  if (!Has(fofSilent)) platform::Dialogs::Current().MessageBox(text, ProgressTitle, platform::MessageIcon::kError);
  return false;
}

bool TFileOperation::Handle(const std::string& from, const std::string& to, ftp::TFileSource* source) {
  std::error_code error;
  if (Operation == foDelete) {
    if (!fs::remove(PathOf(from), error)) return Fail("Cannot delete " + from + ": " + (error ? error.message() : "not found"));
    return true;
  }
  fs::path target = PathOf(to);
  // A link under the destination's name (planted there, maybe) is a file to
  // replace, never a folder to copy into.
  if (fs::is_directory(fs::symlink_status(target, error))) target /= PathOf(from).filename();
  if (!fs::exists(target.parent_path(), error)) {
    if (!Has(fofNoConfirmMkDir) && !Has(fofNoConfirmation) &&
        !platform::Dialogs::Current().AskYesNo(
            "The folder \"" + PathText(target.parent_path()) + "\" does not exist.\rDo you want to create it?",
            ProgressTitle)) {
      OperationAborted = true;
      return false;
    }
    fs::create_directories(target.parent_path(), error);
  }
  if (fs::exists(fs::symlink_status(target, error)) && !fs::equivalent(PathOf(from), target, error)) {
    if (Has(fofRenameOnCollision)) {
      target = FreeName(target);
    } else if (!Has(fofNoConfirmation) &&
               !platform::Dialogs::Current().AskYesNo(
                   "The file \"" + PathText(target) + "\" already exists.\rDo you want to replace it?", ProgressTitle)) {
      OperationAborted = true;
      return false;
    }
  }
  if (Operation == foCopy) {
    if (source) return Copy(*source, PathText(target));
    std::unique_ptr<ftp::TLocalFile> file;
    try {
      file = std::make_unique<ftp::TLocalFile>(from);
    } catch (const std::exception& e) {
      return Fail("Cannot copy " + from + ": " + e.what());
    }
    return Copy(*file, PathText(target));
  }
  fs::rename(PathOf(from), target, error);
  if (error) return Fail("Cannot move " + from + ": " + error.message());
  return true;
}

// Copies into a new file of a unique name beside the target and renames it
// over the target only when complete, so a failed or cancelled copy destroys
// nothing.
bool TFileOperation::Copy(ftp::TFileSource& from, const std::string& to) {
  try {
    RemoveLeftovers(PathOf(to), "copy");
    TemporaryFile copy(PathOf(to), "copy");
    const auto size = static_cast<std::uint64_t>(from.Size());
    std::vector<char> chunk(1 << 20);
    for (std::uint64_t copied = 0; copied < size;) {
      const std::size_t got = from.ReadAt(chunk.data(), chunk.size(), static_cast<std::int64_t>(copied));
      if (got == 0) throw EInOutError("the file ended early");
      WriteAll(copy.fd(), chunk.data(), got, "Cannot write", copy.path());
      copied += got;
      if (OnProgress && !OnProgress(copied, size)) {
        OperationAborted = true;
        return false;
      }
    }
    copy.Finish();
    if (!RenameReplacing(copy.path(), to)) RaiseIo("Cannot rename", copy.path());
    copy.Keep();
    return true;
  } catch (const std::exception& e) {
    return Fail("Cannot copy " + from.Name() + " to " + to + ": " + e.what());
  }
}

}  // namespace app
