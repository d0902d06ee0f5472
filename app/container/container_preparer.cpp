#include "app/container/container_preparer.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "app/container/text_preparation.h"
#include "app/file_attributes.h"
#include "app/file_system.h"
#include "app/local_files.h"
#include "app/path_text.h"

namespace app {
namespace {

// Whether a ".bak" stands beside the container; raises when something other
// than a file stands under its name (it can neither be compared nor kept).
bool BackupExists(const std::string& backup) {
  const auto info = IdentityOfPath(backup, true);
  if (!info) return false;
  if (!info->regular) RaiseIo("Cannot save the unprepared container as", backup, EISDIR);
  return true;
}

// Why the container cannot be rewritten in place and stay the file it is;
// empty when it can.
std::string WhyNotInPlace(int in, const std::filesystem::path& path, const std::string& backup) {
  const auto info = IdentityOf(in);
  if (!info || !info->regular) return "";
  std::string why = WhyNotWritable(in, PathText(path), PathText(path.parent_path()));
  if (!why.empty()) return why;
  // The ".bak" of an attempt whose rename failed may still be a link to it.
  const auto saved = IdentityOfPath(backup, true);
  const bool savedIsIt = saved && saved->SameFile(*info);
  if (info->links > (savedIsIt ? 2u : 1u)) return "hard-linked";
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
  Descriptor in(OpenToRead(PathText(path)));
  if (in.get() < 0) RaiseIo("Cannot open the container", container);
  const std::string backup = PathText(path) + ".bak";
  // Under the container's lock: what is there of this kind was left by a killed run.
  RemoveLeftovers(path, "prepared");
  RemoveLeftovers(PathOf(backup), "saving");
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
  if (found != Backup::kSame && (changed || !text.hasSystemId)) SaveUnprepared(PathText(path));
  if (!changed) return result;

  prepared.Finish();
  if (!Replace(prepared.path(), PathText(path)))
    RaiseIo("Cannot replace the container by its prepared copy", container);
  prepared.Keep();
  SyncFolder(PathText(path));
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
  Descriptor original(OpenToRead(backup));
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
  TemporaryFile copy(PathOf(backup), "saving");
  copy.FreeName();
  if (!MakeLink(container, copy.path())) {
    Descriptor from(OpenToRead(container));
    Descriptor to(OpenNewFile(copy.path()));
    if (from.get() < 0 || to.get() < 0) RaiseIo("Cannot save the unprepared container as", backup);
    CopyFile(from.get(), to.get(), container);
    if (!SyncFile(to.get()) || to.Close() != 0) RaiseIo("Cannot save the unprepared container as", backup);
  }
  if (!RenameReplacing(copy.path(), backup)) RaiseIo("Cannot save the unprepared container as", backup);
  copy.Keep();
}

bool ContainerPreparer::Replace(const std::string& from, const std::string& to) {
  return RenameReplacing(from, to);
}

}  // namespace app
