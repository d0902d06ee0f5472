#pragma once

#include <memory>

#include "app/window/about_box.h"
#include "app/launch_info.h"
#include "app/window/main_form.h"
#include "app/window/ok_right_dlg.h"
#include "app/window/read_me_form.h"
#include "app/window/splash_window.h"

namespace app {

// The program's windows, created in the order the program needs them: the
// splash first (shown at once), then the main window and the three small
// windows, hidden. Destroyed in reverse order, the main window's clean-up included.
struct AppWindows {
  std::unique_ptr<SplashWindow> splash;
  std::unique_ptr<TForm1> form1;
  std::unique_ptr<TOKRightDlg> okRightDlg;
  std::unique_ptr<TAboutBox> aboutBox;
  std::unique_ptr<TReadMeForm> readMeForm;

  explicit AppWindows(const LaunchInfo& launch);
  ~AppWindows();
};

}  // namespace app
