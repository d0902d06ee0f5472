#include "app/run/start_up_settings.h"

#include <filesystem>
#include <functional>

#include "app/site/settings.h"

namespace app {
namespace {

void ReadSetting(const char* name, const std::function<void(platform::TRegistry&)>& read,
                 const std::function<void()>& applyDefault,
                 const std::function<void(platform::TRegistry&)>& writeDefault) {
  const bool opened = WithSettingsKey([&](platform::TRegistry& registry) {
    if (registry.ValueExists(name)) {
      read(registry);
      return;
    }
    applyDefault();
    WriteSettings(registry, writeDefault);
  });
  if (!opened) applyDefault();
}

}  // namespace

void ReadStartUpSettings(const DataPaths& paths, StartUpSettings& s) {
  const StartUpSettings defaults = s;
  ReadSetting(
      "ReadmeDate", [&](auto& registry) { s.readmeDate = registry.ReadString("ReadmeDate"); },
      [&] { s.readmeDate = "00.00.0000"; },
      [&](auto& registry) { registry.WriteString("ReadmeDate", s.readmeDate); });
  ReadSetting(
      "BackupFolder", [&](auto& registry) { s.backupFolder = registry.ReadString("BackupFolder"); },
      [&] {
        s.backupFolder = std::filesystem::absolute(paths.Writable("backup")).lexically_normal().string();
        std::error_code ignored;  // a folder that cannot be made shows when the log opens there
        std::filesystem::create_directories(s.backupFolder, ignored);
      },
      [&](auto& registry) { registry.WriteString("BackupFolder", s.backupFolder); });
  ReadSetting(
      "Backup", [&](auto& registry) { s.backup = registry.ReadBool("Backup"); }, [&] { s.backup = defaults.backup; },
      [&](auto& registry) { registry.WriteBool("Backup", s.backup); });
  ReadSetting(
      "LastDir", [&](auto& registry) { s.lastDir = registry.ReadString("LastDir"); },
      [&] { s.lastDir = paths.AppFolder().string(); },
      [&](auto& registry) { registry.WriteString("LastDir", s.lastDir); });
  ReadSetting(
      "SendEMail", [&](auto& registry) { s.sendMail = registry.ReadBool("SendEMail"); },
      [&] { s.sendMail = defaults.sendMail; },
      [&](auto& registry) { registry.WriteBool("SendEMail", s.sendMail); });
  WithSettingsKey([&](platform::TRegistry& registry) {
    if (registry.ValueExists("Parallel")) s.parallel = SessionsAtOnce(registry.ReadInteger("Parallel"));
  });
}

}  // namespace app
