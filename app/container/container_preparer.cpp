#include "app/container/container_preparer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "app/local_files.h"
#include "app/container/text_preparation.h"

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

// Moves a ".bak" that belongs to an earlier version of the container to the
// first free name "<backup>.1", "<backup>.2", ...
void SetAside(const std::string& backup) {
  for (int n = 1;; ++n)
    if (RenameWithoutReplacing(backup, backup + "." + std::to_string(n))) return;
}

}  // namespace

void ContainerPreparer::Prepare(const std::string& container) {
  Descriptor in(open(container.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) RaiseIo("Cannot open the container", container);
  struct stat info {};
  fstat(in.get(), &info);
  const std::filesystem::path path = std::filesystem::absolute(container);
  const std::string backup = path.string() + ".bak";
  const Backup found = BackupExists(backup) ? BackupOf(backup, in.get()) : Backup::kNone;
  // Prepared by an earlier attempt from the ".bak": nothing is left to do.
  if (found == Backup::kPreparedFrom) return;

  TemporaryFile prepared(path, "prepared");
  PreparedOutput out(prepared.fd(), prepared.path(), in.get());
  const TextPreparation text = PrepareText(in.get(), translator_, out);
  in.Close();
  if (found == Backup::kOther) SetAside(backup);
  if (text.leftAsItIs) return;
  const bool changed = out.Differs();
  if (found != Backup::kSame && (changed || !text.hasSystemId)) SaveUnprepared(path.string());
  if (!changed) return;

  fchmod(prepared.fd(), info.st_mode & 07777);
  prepared.Finish();
  if (!Replace(prepared.path(), path.string()))
    RaiseIo("Cannot replace the container by its prepared copy", container);
  prepared.Keep();
  SyncFolder(path);
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
