#include "platform/qt_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "platform/one_line.h"
#include "platform/qt_text.h"

namespace platform {
namespace {

QString BoxText(const std::string& text) { return ToQString(MessageText(text, "\n")); }

// Shown as plain text, never as rich text: a server's reply may look like markup.
int ExecPlain(QMessageBox& box) {
  box.setTextFormat(Qt::PlainText);
  return box.exec();
}

QMessageBox::Icon QtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kError: return QMessageBox::Critical;
    case MessageIcon::kWarning: return QMessageBox::Warning;
    case MessageIcon::kQuestion: return QMessageBox::Question;
    case MessageIcon::kInformation: break;
  }
  return QMessageBox::Information;
}

QWidget* Owner() { return QApplication::activeWindow(); }

}  // namespace

void QtDialogs::MessageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
  QMessageBox box(QtIcon(icon), ToQString(caption), BoxText(text), QMessageBox::Ok, Owner());
  ExecPlain(box);
}

bool QtDialogs::AskYesNo(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Question, ToQString(caption), BoxText(text),
                  QMessageBox::Yes | QMessageBox::No, Owner());
  return ExecPlain(box) == QMessageBox::Yes;
}

// Qt names files with "/" on every system; the user sees the system's own separator.
std::optional<std::string> QtDialogs::OpenFile(const std::string& initialFolder, const std::string& filter) {
  QFileDialog dialog(Owner(), {}, ToQString(initialFolder));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(NameFiltersFromPairs(filter));
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return FromQString(QDir::toNativeSeparators(dialog.selectedFiles().first()));
}

std::optional<std::string> QtDialogs::ChooseFolder(const std::string& initialFolder) {
  const QString folder = QFileDialog::getExistingDirectory(Owner(), {}, ToQString(initialFolder));
  if (folder.isEmpty()) return std::nullopt;
  return FromQString(QDir::toNativeSeparators(folder));
}

QStringList NameFiltersFromPairs(const std::string& filter) {
  const QStringList parts = ToQString(filter).split(QChar('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(QChar(';'), Qt::SkipEmptyParts);
    for (auto& pattern : patterns) pattern = pattern.trimmed();
    filters << parts[i] + " (" + patterns.join(QChar(' ')) + ")";
  }
  return filters;
}

}  // namespace platform
