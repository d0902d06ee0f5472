#pragma once

#include <functional>

#include "platform/registry.h"

namespace app {

// The key of the program's per-user settings below HKEY_CURRENT_USER.
inline constexpr const char* kSettingsKey = "\\Software\\Korvath\\Parcelo";

// Opens the settings key anew (creating it when missing) and runs `use` on it;
// returns false, running nothing, when the key cannot be opened. Errors of
// `use` (a value of the wrong type, a failed write) reach the caller.
bool WithSettingsKey(const std::function<void(platform::TRegistry&)>& use);

}  // namespace app
