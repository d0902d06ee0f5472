#include "app/site/settings.h"

namespace app {

bool WithSettingsKey(const std::function<void(platform::TRegistry&)>& use) {
  platform::TRegistry registry;
  if (!registry.OpenKey(kSettingsKey, true)) return false;
  use(registry);
  return true;
}

void WriteSettings(platform::TRegistry& registry, const std::function<void(platform::TRegistry&)>& write) {
  try {
    write(registry);
  } catch (const platform::ERegistryException&) {
    // The store can be read but not written (a full disk, a lock that cannot be taken).
  }
}

void StoreSettings(const std::function<void(platform::TRegistry&)>& write) {
  WithSettingsKey([&](platform::TRegistry& registry) { WriteSettings(registry, write); });
}

}  // namespace app
