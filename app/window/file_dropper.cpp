#include "app/window/file_dropper.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <filesystem>

#include "app/path_text.h"
#include "platform/qt_text.h"

namespace app {

TFileDropper::TFileDropper(QWidget* dropSite, DropHandler onDrop) : QObject(dropSite), onDrop_(std::move(onDrop)) {
  dropSite->setAcceptDrops(true);
  dropSite->installEventFilter(this);
}

bool TFileDropper::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
    auto* drag = static_cast<QDropEvent*>(event);
    if (!drag->mimeData()->hasUrls()) return QObject::eventFilter(watched, event);
    drag->acceptProposedAction();
    return true;
  }
  if (event->type() == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    if (!drop->mimeData()->hasUrls()) return QObject::eventFilter(watched, event);
    std::vector<std::string> paths;
    for (const QUrl& url : drop->mimeData()->urls())
      if (url.isLocalFile()) paths.push_back(platform::FromQString(QDir::toNativeSeparators(url.toLocalFile())));
    drop->acceptProposedAction();
    Drop(paths);
    return true;
  }
  return QObject::eventFilter(watched, event);
}

void TFileDropper::Drop(const std::vector<std::string>& paths) {
  for (const auto& path : paths) {
    std::error_code error;
    if (!std::filesystem::is_directory(path, error))
      onDrop_(*this, path);
    else if (AllowDir)
      Expand(path);
  }
}

void TFileDropper::Expand(const std::string& folder) {
  std::vector<std::filesystem::directory_entry> entries;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    if (!entry.path().filename().string().starts_with('.')) entries.push_back(entry);
  // Name order, as the user sees the folder.
  std::sort(entries.begin(), entries.end());
  for (const auto& entry : entries) {
    if (!entry.is_directory(error))
      onDrop_(*this, JoinPath(folder, PathText(entry.path().filename())));
    else if (SubFolders)
      Expand(PathText(entry.path()));
  }
}

}  // namespace app
