#include "app/site/settings.h"

#include <set>

#include "app/error_display.h"
#include "app/path_text.h"

namespace app {
namespace {

// A file that was set aside is told of once, as the rename happens once; one
// that could not be renamed stays damaged, and is told of once per run.
void ReportDamage(const platform::RegDamage& damage) {
  static std::set<std::filesystem::path> keptDamaged;
  if (!damage.setAside && !keptDamaged.insert(damage.file).second) return;
  const std::string what = damage.setAside ? "It was set aside as " + PathText(*damage.setAside) + "."
                                           : "It cannot be set aside, so no setting is saved in this run.";
  ShowError("The settings file is damaged: " + PathText(damage.file) + "\r" + what +
            "\rThe program goes on with the default settings.");
}

}  // namespace

bool WithSettingsKey(const std::function<void(platform::TRegistry&)>& use) {
  platform::TRegistry registry;
  const bool opened = registry.OpenKey(kSettingsKey, true);
  if (registry.Damage()) ReportDamage(*registry.Damage());
  if (!opened) return false;
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
