// parcelo.exe, the window, under wine on a virtual X display, driven as a
// user drives it: it reads the site's target list at its start, and a
// double click on a target sends the container named on its command line
// there. Runs where the Windows job names its build in PARCELO_WINDOWS_TREE.
#include <unistd.h>

#include <thread>

#include "end_to_end_fixture.h"
#include "support/child_process.h"
#include "support/wait_until.h"
#include "windows_tree.h"

namespace {

constexpr char kWindowTitle[] = "ECU-memory container transmission tool";

// Xvfb on a display number it picks itself.
class VirtualDisplay {
 public:
  VirtualDisplay() : server_(Start()) { name_ = ":" + test::ReadLineFrom(output_[0], std::chrono::seconds(20)); }
  ~VirtualDisplay() {
    ::close(output_[0]);
    ::close(output_[1]);
  }
  const std::string& Name() const { return name_; }

 private:
  test::ChildProcess Start() {
    if (::pipe(output_) != 0) throw std::runtime_error("pipe");
    return test::ChildProcess({"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                              {.stdoutFd = output_[1]});
  }

  int output_[2] = {-1, -1};
  test::ChildProcess server_;
  std::string name_;
};

class WindowsWindow : public test::EndToEnd {
 protected:
  void SetUp() override {
    if (!test::WindowsTree()) GTEST_SKIP() << "no Windows build named in PARCELO_WINDOWS_TREE";
    for (const char* program : {"parcelo.exe", "MMx.dll"})
      std::filesystem::copy_file(std::filesystem::path(test::WindowsTree()) / "bin" / program, appDir / "bin" / program);
    // Rows enough to fill the list, so that a double click in its middle meets one.
    std::string werke;
    for (int i = 10; i < 30; ++i) {
      boxes_.push_back("plant" + std::to_string(i));
      werke += Werk("PLANT" + std::to_string(i), boxes_.back());
    }
    PublishTargets(boxes_, werke);
  }

  // A command on the display, as a user's tool would run it.
  test::ProgramResult OnDisplay(const std::vector<std::string>& argv) {
    return test::RunProgram(argv, {{"DISPLAY", display_.Name()}}, std::chrono::seconds(60));
  }
  // The mailboxes that hold a file.
  std::vector<std::string> Delivered() const {
    std::vector<std::string> delivered;
    for (const auto& box : boxes_)
      if (!Mailbox(box).empty()) delivered.push_back(box);
    return delivered;
  }

  VirtualDisplay display_;
  std::vector<std::string> boxes_;
};

TEST_P(WindowsWindow, ReadsTheSiteTargetListAndSendsByADoubleClick) {
  // From the settings of a user who has read the site's readme (an earlier
  // run's backup folder may be gone), so no readme window comes first.
  const std::string key = "HKCU\\Software\\Korvath\\Parcelo";
  test::RunProgram({"/usr/bin/wine", "reg", "delete", key, "/f"}, {{"WINEDEBUG", "-all"}});
  test::RunProgram({"/usr/bin/wine", "reg", "add", key, "/v", "ReadmeDate", "/d", "01.12.2026", "/f"}, {{"WINEDEBUG", "-all"}});
  // The window draws line edits' text with wine only on the FreeType font engine.
  const test::ChildProcess program(
      {"/usr/bin/env", "-u", "SSL_CERT_FILE", "-u", "SSL_CERT_DIR", "DISPLAY=" + display_.Name(), "WINEDEBUG=-all",
       "QT_QPA_PLATFORM=windows:fontengine=freetype", "PARCELO_FTP_HOST=127.0.0.1",
       "PARCELO_FTP_PORT=" + std::to_string(server.Port()), "PARCELO_FTP_USER=" + server.User(),
       "PARCELO_FTP_PASSWORD=" + server.Password(), "/usr/bin/wine", (appDir / "bin/parcelo.exe").string(),
       test::WindowsName(container)},
      {});
  const auto window = OnDisplay({"/usr/bin/xdotool", "search", "--sync", "--onlyvisible", "--name", kWindowTitle});
  ASSERT_EQ(window.exitCode, 0) << window.output;
  const std::string id = window.output.substr(0, window.output.find('\n'));
  // The start-up refresh has put the site's list in place of the shipped one.
  ASSERT_TRUE(test::WaitUntil(platform::EventLoop::Current(), [&] { return test::ReadFile(appDir / "lib/ftpsend.xml").find("PLANT29") != std::string::npos; },
                              std::chrono::seconds(60)));
  // The list may still be filling when the first click comes: clicks again until a target got the container.
  for (int attempt = 0; attempt < 5 && Delivered().empty(); ++attempt) {
    ASSERT_EQ(OnDisplay({"/usr/bin/xdotool", "mousemove", "--window", id, "200", "180", "click", "--repeat", "2", "--delay", "80", "1"})
                  .exitCode,
              0);
    test::WaitUntil(platform::EventLoop::Current(), [&] { return !Delivered().empty(); }, std::chrono::seconds(10));
  }
  ASSERT_TRUE(test::WaitUntil(platform::EventLoop::Current(), [&] { return Log().find("\nresult: ") != std::string::npos; },
                              std::chrono::seconds(20)));
  const auto delivered = Delivered();
  ASSERT_EQ(delivered.size(), 1u) << Log();
  const auto files = Mailbox(delivered[0]);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(Arrived(delivered[0], files[0]), AsStoredInTextMode(test::ReadFile(container)));
  EXPECT_NE(Log().find("\nresult: PLANT" + delivered[0].substr(5) + " delivered (1 attempt)"), std::string::npos) << Log();
  if (const char* screenshot = std::getenv("PARCELO_SCREENSHOT"))
    OnDisplay({"/usr/bin/import", "-window", id, screenshot});
}

INSTANTIATE_TEST_SUITE_P(RealServers, WindowsWindow, ::testing::Values(test::RealServerKind::Pyftpdlib));

}  // namespace
