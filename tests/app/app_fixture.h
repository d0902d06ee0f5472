#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdlib>
#include <memory>

#include "app/app_windows.h"
#include "app/handler_guard.h"
#include "platform/registry.h"
#include "platform/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace test {

// A program run in a temporary tree: AppDir is <temp>/site with the
// executable folder <temp>/site/bin, settings live in a temporary
// XDG_CONFIG_HOME, and every box goes to scripted dialogs.
class AppFixture : public ::testing::Test {
 protected:
  AppFixture() {
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    std::filesystem::create_directories(executableFolder());
    auto scripted = std::make_unique<platform::ScriptedDialogs>();
    dialogs = scripted.get();
    previousDialogs = platform::Dialogs::Install(std::move(scripted));
  }
  ~AppFixture() override {
    windows.reset();
    std::filesystem::current_path(startFolder);
    platform::Dialogs::Install(std::move(previousDialogs));
    unsetenv("XDG_CONFIG_HOME");
  }

  std::filesystem::path appDir() const { return root / "site"; }
  // Copies the site's data (lib, dtd, doc, samples) from the sources into AppDir.
  void InstallSite() {
    const std::filesystem::path source = std::getenv("PARCELO_SOURCE_TREE");
    std::filesystem::copy(source / "site", appDir(), std::filesystem::copy_options::recursive |
                                                         std::filesystem::copy_options::overwrite_existing);
  }
  std::filesystem::path executableFolder() const { return root / "site/bin"; }
  std::filesystem::path settingsFile() const { return root / "config/Korvath/Parcelo.reg"; }

  // Creates the windows as the program does and runs the first activation.
  app::TForm1& Start(std::vector<std::string> arguments = {}) {
    windows = std::make_unique<app::AppWindows>(app::LaunchInfo{executableFolder(), std::move(arguments)});
    Activate();
    return form();
  }
  app::TForm1& form() { return *windows->form1; }
  // An activation as the window system delivers it: errors go to the error display.
  void Activate() {
    app::Guarded([this] { form().FormActivate(); });
  }

  // Writes settings before the start, as an earlier run would have.
  void PresetSettings(const std::function<void(platform::TRegistry&)>& write) {
    platform::TRegistry registry(settingsFile());
    ASSERT_TRUE(registry.OpenKey("\\Software\\Korvath\\Parcelo", true));
    write(registry);
  }
  std::string SettingsText() const { return ReadFile(settingsFile()); }

  std::filesystem::path startFolder = std::filesystem::current_path();
  TempDir root;
  platform::ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<platform::Dialogs> previousDialogs;
  std::unique_ptr<app::AppWindows> windows;
};

}  // namespace test
