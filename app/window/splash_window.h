#pragma once

#include <QWidget>

namespace app {

// The borderless start-up window: the program's icon and "Loading... Please
// wait.", centred on the screen and painted at once.
class SplashWindow : public QWidget {
 public:
  SplashWindow();
  // Shows the window and paints it before anything else runs.
  void ShowNow();
};

}  // namespace app
