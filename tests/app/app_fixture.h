#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cstdlib>
#include <memory>

#include "app/window/app_windows.h"
#include "app/window/handler_guard.h"
#include "platform/registry.h"
#include "platform/scripted_dialogs.h"
#include "support/environment.h"
#include "support/loopback.h"
#include "support/temp_dir.h"
#include "support/user_settings.h"

namespace test {

// A program run in a temporary tree: AppDir is <temp>/site with the
// executable folder <temp>/site/bin and the site's local files, settings live
// in a temporary XDG_CONFIG_HOME, and every box goes to scripted dialogs.
// The site server is unreachable (a closed loopback port), so a start shows
// "Error in FTP area", logs kOfflineLine and reads the local target list.
class AppFixture : public ::testing::Test {
 protected:
  static constexpr const char* kOfflineLine =
      "! Error in FTP connection by getting the actual target and check lists: 10061:Connection refused\r\n";

  AppFixture() {
    setenv("XDG_CONFIG_HOME", (root / "config").string().c_str(), 1);
    ForgetUserSettings();
    StopServer();
    InstallSite();
    // A list whose readme this user has seen (the default date), so an
    // offline start does not try to fetch it.
    WriteFile(appDir() / "lib/ftpsend.xml",
              "<FTPSEND><IntranetUrl>http://intranet.example/ecu/</IntranetUrl><ReadmeDate>00.00.0000</ReadmeDate>"
              "<Werk compress='no'><NAME>Plant 1</NAME><SHORTNAME>PLANT1</SHORTNAME><PFAD>/in</PFAD>"
              "<FTPADRESS>127.0.0.1</FTPADRESS></Werk></FTPSEND>");
    std::filesystem::create_directories(executableFolder());
    auto scripted = std::make_unique<platform::ScriptedDialogs>();
    dialogs = scripted.get();
    previousDialogs = platform::Dialogs::Install(std::move(scripted));
  }
  ~AppFixture() override {
    windows.reset();
    std::filesystem::current_path(startFolder);
    platform::Dialogs::Install(std::move(previousDialogs));
    ForgetUserSettings();
    for (auto name : {"XDG_CONFIG_HOME", "PARCELO_FTP_HOST", "PARCELO_FTP_PORT", "PARCELO_FTP_USER",
                      "PARCELO_FTP_PASSWORD", "PARCELO_FTP_TLS", "PARCELO_FTP_PASSIVE", "PARCELO_TLS_CA_FILE"})
      unsetenv(name);
  }

  std::filesystem::path appDir() const { return root / "site"; }
  // Copies the site's data (lib, dtd, doc, samples) from the sources into AppDir.
  void InstallSite() {
    const std::filesystem::path source = PARCELO_SOURCE_DIR;
    std::filesystem::copy(source / "site", appDir(), std::filesystem::copy_options::recursive |
                                                         std::filesystem::copy_options::overwrite_existing);
  }
  std::filesystem::path executableFolder() const { return root / "site/bin"; }
  std::filesystem::path settingsFile() const { return root / "config/Korvath/Parcelo.reg"; }

  // Creates the windows as the program does and runs the first activation.
  app::TForm1& Start(std::vector<std::string> arguments = {}) {
    CreateWindows(std::move(arguments));
    Activate();
    return form();
  }
  void CreateWindows(std::vector<std::string> arguments = {}) {
    windows = std::make_unique<app::AppWindows>(
        app::LaunchInfo{executableFolder(), std::move(arguments), display, appDirWritable});
  }
  app::TForm1& form() { return *windows->form1; }
  // An activation as the window system delivers it: errors go to the error display.
  void Activate() {
    app::Guarded([this] { form().FormActivate(); });
  }

  // Writes settings before the start, as an earlier run would have.
  void PresetSettings(const std::function<void(platform::TRegistry&)>& write) {
    platform::TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("\\Software\\Korvath\\Parcelo", true));
    write(registry);
  }
  std::string SettingsText() const { return UserSettingsText(); }
  std::string Log() const { return ReadFile(appDir() / "backup/ParceloLog.txt"); }

  // Points the program at a loopback port where no server listens.
  static void StopServer() {
    setenv("PARCELO_FTP_HOST", "127.0.0.1", 1);
    setenv("PARCELO_FTP_PORT", std::to_string(ClosedLoopbackPort()).c_str(), 1);
  }

  bool display = true;  // whether the run has a display a user could act on
  bool appDirWritable = true;  // false: a system-wide install, data per user
  std::filesystem::path startFolder = std::filesystem::current_path();
  TempDir root;
  platform::ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<platform::Dialogs> previousDialogs;
  std::unique_ptr<app::AppWindows> windows;
};

}  // namespace test
