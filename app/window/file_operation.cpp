#include "app/window/file_operation.h"

#include <QApplication>
#include <QProgressDialog>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/dialogs.h"
#include "platform/qt_text.h"

namespace app {
namespace fs = std::filesystem;
namespace {

// "name (2).ext" beside the colliding file, the first that is free.
fs::path FreeName(const fs::path& taken) {
  for (int n = 2;; ++n) {
    fs::path candidate = taken.parent_path() / (taken.stem().string() + " (" + std::to_string(n) + ")" +
                                                taken.extension().string());
    if (!fs::exists(candidate)) return candidate;
  }
}

}  // namespace

bool TFileOperation::Execute() {
  OperationAborted = false;
  // One destination for all sources, or one per source with fofMultiDestFiles.
  const auto targetFor = [&](std::size_t i) {
    if (Operation == foDelete || FilesTo.empty()) return std::string();
    return Has(fofMultiDestFiles) && i < FilesTo.size() ? FilesTo[i] : FilesTo.front();
  };
  bool allDone = true;
  for (std::size_t i = 0; i < FilesFrom.size() && !OperationAborted; ++i)
    allDone = Handle(FilesFrom[i], targetFor(i)) && allDone;
  return allDone && !OperationAborted;
}

bool TFileOperation::Fail(const std::string& text) {
  if (!Has(fofSilent)) platform::Dialogs::Current().MessageBox(text, ProgressTitle, platform::MessageIcon::kError);
  return false;
}

bool TFileOperation::Handle(const std::string& from, const std::string& to) {
  std::error_code error;
  if (Operation == foDelete) {
    if (!fs::remove(from, error)) return Fail("Cannot delete " + from + ": " + (error ? error.message() : "not found"));
    return true;
  }
  fs::path target = to;
  if (fs::is_directory(target, error)) target /= fs::path(from).filename();
  if (!fs::exists(target.parent_path(), error)) {
    if (!Has(fofNoConfirmMkDir) && !Has(fofNoConfirmation) &&
        !platform::Dialogs::Current().AskYesNo(
            "The folder \"" + target.parent_path().string() + "\" does not exist.\rDo you want to create it?",
            ProgressTitle)) {
      OperationAborted = true;
      return false;
    }
    fs::create_directories(target.parent_path(), error);
  }
  if (fs::exists(target, error) && !fs::equivalent(from, target, error)) {
    if (Has(fofRenameOnCollision)) {
      target = FreeName(target);
    } else if (!Has(fofNoConfirmation) &&
               !platform::Dialogs::Current().AskYesNo(
                   "The file \"" + target.string() + "\" already exists.\rDo you want to replace it?", ProgressTitle)) {
      OperationAborted = true;
      return false;
    }
  }
  if (Operation == foCopy) return Copy(from, target.string());
  fs::rename(from, target, error);
  if (error) return Fail("Cannot move " + from + ": " + error.message());
  return true;
}

// Copies into a temporary file beside the target and renames it over the
// target only when complete, so a failed or cancelled copy destroys nothing.
bool TFileOperation::Copy(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  if (!in) return Fail("Cannot copy " + from + ": " + std::strerror(errno));
  std::error_code error;
  const auto size = fs::file_size(from, error);
  const std::string temporary = to + ".parcelo-copy";
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  if (!out) return Fail("Cannot copy to " + to + ": " + std::strerror(errno));

  std::unique_ptr<QProgressDialog> progress;
  if (!Has(fofSilent)) {
    progress = std::make_unique<QProgressDialog>(QStringLiteral("Copying %1").arg(platform::ToQString(from)),
                                                 QStringLiteral("Cancel"), 0, 1000, owner_);
    progress->setWindowTitle(platform::ToQString(ProgressTitle));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(500);
  }
  std::vector<char> chunk(1 << 20);
  std::uintmax_t copied = 0;
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    out.write(chunk.data(), in.gcount());
    copied += static_cast<std::uintmax_t>(in.gcount());
    if (progress) {
      progress->setValue(size ? static_cast<int>(copied * 1000 / size) : 1000);
      QApplication::processEvents();
      if (progress->wasCanceled()) {
        OperationAborted = true;
        out.close();
        fs::remove(temporary, error);
        return false;
      }
    }
  }
  out.close();
  if (in.bad() || !out) {
    fs::remove(temporary, error);
    return Fail("Cannot copy " + from + " to " + to + ": write error");
  }
  fs::rename(temporary, to, error);
  if (error) {
    fs::remove(temporary, error);
    return Fail("Cannot copy " + from + " to " + to + ": " + error.message());
  }
  return true;
}

}  // namespace app
