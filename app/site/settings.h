#pragma once

#include <functional>

#include "platform/registry.h"

namespace app {

// The key of the program's per-user settings below HKEY_CURRENT_USER.
inline constexpr const char* kSettingsKey = "\\Software\\Korvath\\Parcelo";

// Opens the settings key anew (creating it when missing) and runs `use` on it;
// returns false, running nothing, when the key cannot be opened. Errors of
// `use` (a value of the wrong type, a failed write) reach the caller. A
// damaged settings file is named to the user in an error box, set aside, and
// the key opened on a fresh file, so the defaults serve and are saved.
bool WithSettingsKey(const std::function<void(platform::TRegistry&)>& use);

// Writes values through `write` on an open settings key. A store that takes no
// writes is passed over without a message, as a key that cannot be opened is:
// the values hold for this run only, and the work that changed them goes on.
void WriteSettings(platform::TRegistry& registry, const std::function<void(platform::TRegistry&)>& write);

// Opens the settings key and writes through WriteSettings; nothing is written
// when the key cannot be opened.
void StoreSettings(const std::function<void(platform::TRegistry&)>& write);

}  // namespace app
