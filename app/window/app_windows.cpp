#include "app/window/app_windows.h"

namespace app {

AppWindows::AppWindows(const LaunchInfo& launch) {
  splash = std::make_unique<SplashWindow>();
  splash->ShowNow();
  form1 = std::make_unique<TForm1>(launch);
  okRightDlg = std::make_unique<TOKRightDlg>(launch.executableFolder.string(), form1.get());
  aboutBox = std::make_unique<TAboutBox>(form1.get());
  readMeForm = std::make_unique<TReadMeForm>(form1.get());
  form1->SetWindows(splash.get(), okRightDlg.get(), aboutBox.get(), readMeForm.get());
}

AppWindows::~AppWindows() {
  readMeForm.reset();
  aboutBox.reset();
  okRightDlg.reset();
  form1.reset();
  splash.reset();
}

}  // namespace app
