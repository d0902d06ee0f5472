#include "app/settings.h"

namespace app {

bool WithSettingsKey(const std::function<void(platform::TRegistry&)>& use) {
  platform::TRegistry registry;
  if (!registry.OpenKey(kSettingsKey, true)) return false;
  use(registry);
  return true;
}

}  // namespace app
