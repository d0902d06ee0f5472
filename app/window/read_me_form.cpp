#include "app/window/read_me_form.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/qt_text.h"
#include "platform/shell.h"

namespace app {

TReadMeForm::TReadMeForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Readme"));
  resize(640, 520);
  CloseButton = new QPushButton(QStringLiteral("&Close"), this);
  WebBrowser1 = new QTextBrowser(this);
  WebBrowser1->setOpenExternalLinks(true);
  auto* topPanel = new QHBoxLayout;
  topPanel->addWidget(CloseButton);
  topPanel->addStretch(1);
  auto* column = new QVBoxLayout(this);
  column->addLayout(topPanel);
  column->addWidget(WebBrowser1, 1);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TReadMeForm::Navigate(const std::string& address) {
  location_ = address;
  const QString text = platform::ToQString(address);
  const QUrl url(text);
  if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) {
    platform::StartProgram(platform::SystemBrowser(), address, false);
    WebBrowser1->setHtml(QStringLiteral("<p>The page <a href=\"%1\">%1</a> was opened in your web browser.</p>")
                             .arg(text.toHtmlEscaped()));
    return;
  }
  const QString path = url.isLocalFile() ? url.toLocalFile() : text;
  if (!QFileInfo::exists(path)) {
    WebBrowser1->setHtml(QStringLiteral("<p>The page cannot be found:<br>%1</p>").arg(path.toHtmlEscaped()));
    return;
  }
  const QUrl page = QUrl::fromLocalFile(path);
  // The same address again may name a rewritten file (a second check's log).
  if (WebBrowser1->source() == page)
    WebBrowser1->reload();
  else
    WebBrowser1->setSource(page);
}

}  // namespace app

namespace app {

void TReadMeForm::ScrollToAnchor(const std::string& anchor) {
  WebBrowser1->scrollToAnchor(platform::ToQString(anchor));
}

}  // namespace app
