#pragma once

#include <exception>
#include <string>

namespace app {

// The framework's standard error display: the exception's message in an error
// box captioned with the application title.
void ShowException(const std::exception& error);

// A message box captioned "Error" with the error icon and an OK button.
void ShowError(const std::string& text);

}  // namespace app
