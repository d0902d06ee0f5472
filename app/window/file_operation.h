#pragma once

#include <QString>
#include <set>
#include <string>
#include <vector>

class QWidget;

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
// files of FilesFrom to FilesTo, showing a progress window titled
// ProgressTitle and asking before it replaces a file, as the desktop shell
// does. A replaced file is only ever replaced by a complete copy. The lists
// hold whole paths, so any character (";" too) may be part of a name.
class TFileOperation {
 public:
  explicit TFileOperation(QWidget* owner) : owner_(owner) {}

  std::vector<std::string> FilesFrom;
  std::vector<std::string> FilesTo;
  TFileOp Operation = foCopy;
  std::set<TFileOpFlag> Flags;
  std::string ProgressTitle;
  bool OperationAborted = false;  // the user cancelled part of the operation
  bool Active() const { return false; }
  // Setting Active runs Execute at once.
  void SetActive(bool active) {
    if (active) Execute();
  }

  // True when every file was handled; failures are shown to the user.
  bool Execute();

 private:
  bool Handle(const std::string& from, const std::string& to);
  bool Copy(const std::string& from, const std::string& to);
  bool Has(TFileOpFlag flag) const { return Flags.count(flag) != 0; }
  bool Fail(const std::string& text);

  QWidget* owner_;
};

}  // namespace app
