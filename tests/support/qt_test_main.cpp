#include <gtest/gtest.h>

#include <QApplication>

#include "platform/event_loop.h"
#include "platform/qt_event_bridge.h"

// The main of test programs that open windows: one offscreen application for
// all tests, joined to the thread's event loop as in the program.
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  platform::QtEventBridge bridge(platform::EventLoop::Current());
  return RUN_ALL_TESTS();
}
