#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace ftp {
class TFileSource;
}

namespace app {

enum TFileOp { foCopy, foDelete, foMove, foRename };
enum TFileOpFlag {
  fofAllowUndo,
  fofConfirmMouse,
  fofFilesOnly,
  fofMultiDestFiles,
  fofNoConfirmation,
  fofNoConfirmMkDir,
  fofRenameOnCollision,
  fofSilent,
  fofSimpleProgress,
};

// The program's file-copy component: copies, moves, renames or deletes the
// files of FilesFrom to FilesTo, reporting the progress of a copy and asking
// before it replaces a file, as the desktop shell does. A replaced file is
// only ever replaced by a complete copy, written under a name of its own
// that is created anew (never through a link planted in the folder); what a
// killed copy left there is removed first. The
// lists hold whole paths, so any character (";" too) may be part of a name.
class TFileOperation {
 public:
  // Bytes copied so far and in all; false cancels the copy.
  using TProgressEvent = std::function<bool(std::uint64_t copied, std::uint64_t size)>;

  std::vector<std::string> FilesFrom;
  std::vector<std::string> FilesTo;
  TFileOp Operation = foCopy;
  std::set<TFileOpFlag> Flags;
  std::string ProgressTitle;
  bool OperationAborted = false;  // the user cancelled part of the operation
  TProgressEvent OnProgress;
  // The reason of the last failure, as it was shown.
  std::string LastError;
  bool Active() const { return false; }
  // Setting Active runs Execute at once.
  void SetActive(bool active) {
    if (active) Execute();
  }

  // True when every file was handled; failures are shown to the user.
  bool Execute();
  // A copy of the first file whose bytes come from `source` (the file as it
  // was opened) rather than from its path now.
  bool Execute(ftp::TFileSource& source);

 private:
  bool Run(ftp::TFileSource* firstSource);
  bool Handle(const std::string& from, const std::string& to, ftp::TFileSource* source);
  bool Copy(ftp::TFileSource& from, const std::string& to);
  bool Has(TFileOpFlag flag) const { return Flags.count(flag) != 0; }
  bool Fail(const std::string& text);
};

}  // namespace app
