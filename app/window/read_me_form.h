#pragma once

#include <QDialog>
#include <string>

class QPushButton;
class QTextBrowser;

namespace app {

// The HTML viewer of the readme, the intranet page and the checker's log.
// Local pages are shown here; web addresses go to the system web browser.
class TReadMeForm : public QDialog {
 public:
  explicit TReadMeForm(QWidget* parent = nullptr);

  // Shows the page at `address`: a local file path or file: URL is displayed;
  // an http(s) address is opened in the system web browser and named here.
  void Navigate(const std::string& address);
  // Scrolls the page shown to the anchor of that name.
  void ScrollToAnchor(const std::string& anchor);
  // The address of the last navigation.
  const std::string& Location() const { return location_; }

  QTextBrowser* WebBrowser1 = nullptr;
  QPushButton* CloseButton = nullptr;

 private:
  std::string location_;
};

}  // namespace app
