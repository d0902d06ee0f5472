#pragma once

#include <exception>

#include "app/error_display.h"

namespace app {

// Runs an event handler; an exception that leaves it ends up in the error
// display instead of unwinding through the window system's event loop.
template <typename Handler>
void Guarded(Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    ShowException(error);
  }
}

}  // namespace app
