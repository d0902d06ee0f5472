#pragma once

#include <QObject>
#include <functional>
#include <string>

class QWidget;

namespace app {

// Accepts files dropped on its drop site and reports each through OnDrop.
// A dropped folder is expanded into its files only with AllowDir (into its
// sub-folders too with SubFolders); otherwise it is ignored.
class TFileDropper : public QObject {
 public:
  using DropHandler = std::function<void(TFileDropper& sender, const std::string& path)>;

  TFileDropper(QWidget* dropSite, DropHandler onDrop);

  bool AllowDir = false;
  bool SubFolders = false;

  // What a drop of these paths reports, in order (used by the drop event).
  void Drop(const std::vector<std::string>& paths);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Expand(const std::string& folder);

  DropHandler onDrop_;
};

}  // namespace app
