#include "app/container/container_preparer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "app/container/text_preparation.h"
#include "app/file_attributes.h"
#include "app/local_files.h"

namespace app {
namespace {

// Whether a ".bak" stands beside the container; raises when something other
// than a file stands under its name (it can neither be compared nor kept).
bool BackupExists(const std::string& backup) {
  struct stat info {};
  if (stat(backup.c_str(), &info) != 0) return false;
  if (!S_ISREG(info.st_mode)) RaiseIo("Cannot save the unprepared container as", backup, EISDIR);
  return true;
}

// Why the container cannot be rewritten in place and stay the file it is;
// empty when it can. By the mode too: the owner's own "read-only" holds for
// root as well, whom the permissions let write anything.
std::string WhyNotInPlace(int in, const std::filesystem::path& path, const std::string& backup) {
  struct stat info {};
  struct statvfs volume {};
  if (fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) return "";
  if (fstatvfs(in, &volume) == 0 && (volume.f_flag & ST_RDONLY)) return "read-only file system";
  if ((info.st_mode & S_IWUSR) == 0 || faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return "read-only";
  if (faccessat(AT_FDCWD, path.parent_path().c_str(), W_OK | X_OK, AT_EACCESS) != 0) return "folder not writable";
  // The ".bak" of an attempt whose rename failed may still be a link to it.
  struct stat saved {};
  const bool savedIsIt = stat(backup.c_str(), &saved) == 0 && saved.st_dev == info.st_dev && saved.st_ino == info.st_ino;
  if (info.st_nlink > (savedIsIt ? 2u : 1u)) return "hard-linked";
  return "";
}

// Moves a ".bak" that belongs to an earlier version of the container to the
// first free name "<backup>.1", "<backup>.2", ...
void SetAside(const std::string& backup) {
  for (int n = 1;; ++n)
    if (RenameWithoutReplacing(backup, backup + "." + std::to_string(n))) return;
}

}  // namespace

PreparedContainer ContainerPreparer::Prepare(const std::string& container) {
  const std::filesystem::path path = LinkTarget(container);
  Descriptor in(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) RaiseIo("Cannot open the container", container);
  const std::string backup = path.string() + ".bak";
  // Under the container's lock: what is there of this kind was left by a killed run.
  RemoveLeftovers(path, "prepared");
  RemoveLeftovers(backup, "saving");
  std::string why = WhyNotInPlace(in.get(), path, backup);
  if (!why.empty()) return PrepareCopy(in.get(), container, why);
  const Backup found = BackupExists(backup) ? BackupOf(backup, in.get()) : Backup::kNone;
  // Prepared by an earlier attempt from the ".bak": nothing is left to do.
  if (found == Backup::kPreparedFrom) return {container, "", backup, nullptr};

  TemporaryFile prepared(path, "prepared");
  if (const char* lost = TakeAttributes(in.get(), prepared.fd()))
    return PrepareCopy(in.get(), container, std::string(lost) + " cannot be kept");
  PreparedOutput out(prepared.fd(), prepared.path(), in.get());
  const TextPreparation text = PrepareText(in.get(), translator_, out);
  in.Close();
  if (found == Backup::kOther) SetAside(backup);
  PreparedContainer result{container, "", backup, nullptr};
  if (text.leftAsItIs) return result;
  const bool changed = out.Differs();
  if (found != Backup::kSame && (changed || !text.hasSystemId)) SaveUnprepared(path.string());
  if (!changed) return result;

  prepared.Finish();
  if (!Replace(prepared.path(), path.string()))
    RaiseIo("Cannot replace the container by its prepared copy", container);
  prepared.Keep();
  SyncFolder(path);
  return result;
}

PreparedContainer ContainerPreparer::PrepareCopy(int in, const std::string& container, std::string why) const {
  std::error_code error;
  std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) folder = "/tmp";
  const std::filesystem::path beside = folder / LinkTarget(container).filename();
  RemoveLeftovers(beside, "prepared");
  auto copy = std::make_unique<TemporaryFile>(beside, "prepared");
  PreparedOutput out(copy->fd(), copy->path(), in);
  const TextPreparation text = PrepareText(in, translator_, out);
  // Nothing to prepare: the container goes as it is.
  if (text.leftAsItIs || !out.Differs()) return {container, "", "", nullptr};
  copy->Finish();
  std::string file = copy->path();
  return {std::move(file), std::move(why), "", std::move(copy)};
}

ContainerPreparer::Backup ContainerPreparer::BackupOf(const std::string& backup, int in) const {
  Descriptor original(open(backup.c_str(), O_RDONLY | O_CLOEXEC));
  if (original.get() < 0) RaiseIo("Cannot read the unprepared container", backup);
  if (SameContent(original.get(), in)) return Backup::kSame;
  PreparedOutput comparison(-1, backup, in);
  const TextPreparation text = PrepareText(original.get(), translator_, comparison);
  return !text.leftAsItIs && !comparison.Differs() ? Backup::kPreparedFrom : Backup::kOther;
}

// Keeps the unprepared container as "<container>.bak": a link (or a copy
// where links are not possible) renamed into place.
void ContainerPreparer::SaveUnprepared(const std::string& container) {
  const std::string backup = container + ".bak";
  TemporaryFile copy(backup, "saving");
  unlink(copy.path().c_str());
  if (link(container.c_str(), copy.path().c_str()) != 0) {
    Descriptor from(open(container.c_str(), O_RDONLY | O_CLOEXEC));
    Descriptor to(open(copy.path().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (from.get() < 0 || to.get() < 0) RaiseIo("Cannot save the unprepared container as", backup);
    CopyFile(from.get(), to.get(), container);
    if (fsync(to.get()) != 0 || to.Close() != 0) RaiseIo("Cannot save the unprepared container as", backup);
  }
  if (std::rename(copy.path().c_str(), backup.c_str()) != 0) RaiseIo("Cannot save the unprepared container as", backup);
  copy.Keep();
}

bool ContainerPreparer::Replace(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace app
