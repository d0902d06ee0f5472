#include "platform/registry.h"
#include "support/temp_dir.h"
#include "support/user_settings.h"

namespace test {

// Each test's XDG_CONFIG_HOME is a fresh folder: nothing is shared to forget.
void ForgetUserSettings() {}

std::string UserSettingsText() { return ReadFile(platform::TRegistry::DefaultFile()); }

}  // namespace test
