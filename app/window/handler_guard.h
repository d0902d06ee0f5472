#pragma once

#include <exception>
#include <string>

namespace app {

// The framework's standard error display: the exception's message in an error
// box captioned with the application title.
void ShowException(const std::exception& error);

// A message box captioned "Error" with the error icon and an OK button.
void ShowError(const std::string& text);

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
