// The Debian package as a site installs it and a user runs it: built from
// this build with CPack, checked with lintian, installed with apt, run by an
// ordinary user unattended against pyftpdlib, and removed again. It changes
// the machine itself, so it needs root, and it leaves alone a machine where
// a parcelo package is installed already.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include "app/send_samples.h"
#include "support/real_ftp_server.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kUser = "parcelo-pkgtest";
const std::filesystem::path kTree = "/opt/parcelo";

test::ProgramResult RunCommand(const std::vector<std::string>& argv, std::chrono::milliseconds bound = 60s) {
  return test::RunProgram(argv, {{"DEBIAN_FRONTEND", "noninteractive"}}, bound);
}

bool PackageInstalled() {
  return RunCommand({"/usr/bin/dpkg-query", "-W", "-f=${db:Status-Status}", "parcelo"}).output == "installed";
}

// The package goes again when the test ends, also when it fails.
struct PackageRemoval {
  ~PackageRemoval() {
    if (PackageInstalled()) RunCommand({"/usr/bin/dpkg", "--purge", "parcelo"}, 120s);
  }
};

// An ordinary account, made for the test when missing and deleted afterwards.
class TestAccount {
 public:
  TestAccount() {
    if (getpwnam(kUser)) return;
    const auto made = RunCommand({"/usr/sbin/useradd", "--no-create-home", "--home-dir", "/nonexistent", "--shell",
                                  "/usr/sbin/nologin", kUser});
    if (made.exitCode != 0) throw std::runtime_error("useradd: " + made.output);
    made_ = true;
  }
  ~TestAccount() {
    if (made_) RunCommand({"/usr/sbin/userdel", kUser});
  }
  TestAccount(const TestAccount&) = delete;
  TestAccount& operator=(const TestAccount&) = delete;

 private:
  bool made_ = false;
};

// The program's user: that account with a fresh home in a folder of the test's.
class TestUser {
 public:
  explicit TestUser(const std::filesystem::path& home) : home_(home) {
    const passwd* user = getpwnam(kUser);
    if (!user) throw std::runtime_error(std::string("no user ") + kUser);
    uid_ = user->pw_uid;
    gid_ = user->pw_gid;
    std::filesystem::create_directories(home_);
    std::filesystem::permissions(home_.parent_path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    Own(home_);
  }
  ~TestUser() {
    // Qt makes this runtime folder for a user who has none (as under cron).
    std::error_code ignored;
    if (!runtimeFolderWasThere_) std::filesystem::remove_all(runtimeFolder_, ignored);
  }
  TestUser(const TestUser&) = delete;
  TestUser& operator=(const TestUser&) = delete;

  void Own(const std::filesystem::path& file) const {
    if (chown(file.c_str(), uid_, gid_) != 0) throw std::runtime_error("chown failed: " + file.string());
  }
  // Runs `argv` as this user, as cron would: no display, no desktop session.
  test::ProgramResult Run(std::vector<std::string> argv, const std::map<std::string, std::string>& environment) const {
    argv.insert(argv.begin(), {"/usr/sbin/runuser", "-u", kUser, "--", "/usr/bin/env", "HOME=" + home_.string()});
    auto changed = environment;
    for (const char* name : test::kCronBlankedVariables) changed.emplace(name, "");
    for (auto name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"}) changed.emplace(name, "");
    return test::RunProgram(argv, changed, 45s);
  }

 private:
  TestAccount account_;
  std::filesystem::path home_;
  std::filesystem::path runtimeFolder_ = std::filesystem::temp_directory_path() / (std::string("runtime-") + kUser);
  bool runtimeFolderWasThere_ = std::filesystem::exists(runtimeFolder_);
  uid_t uid_ = 0;
  gid_t gid_ = 0;
};

// The .deb CPack made in folder, whatever version and architecture it names.
std::filesystem::path BuildPackage(const std::filesystem::path& folder) {
  const auto made = RunCommand({PARCELO_CPACK, "-G", "DEB", "--config",
                                std::string(PARCELO_CMAKE_BUILD_DIR) + "/CPackConfig.cmake", "-B", folder.string()},
                               150s);
  if (made.exitCode != 0) throw std::runtime_error("cpack: " + made.output);
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().extension() == ".deb") return entry.path();
  throw std::runtime_error("cpack made no .deb in " + folder.string() + ": " + made.output);
}

TEST(DebianPackage, IsCleanInstallsSendsAsAnOrdinaryUserAndGoesAwayCleanly) {
  if (geteuid() != 0) GTEST_SKIP() << "installing a package needs root";
  if (PackageInstalled()) GTEST_SKIP() << "a parcelo package is installed on this machine already";
  test::TempDir work;
  const auto package = BuildPackage(work / "package");
  ASSERT_TRUE(std::filesystem::exists(package)) << package;

  const auto lintian = RunCommand({"/usr/bin/lintian", "--fail-on", "error", package.string()}, 150s);
  EXPECT_EQ(lintian.exitCode, 0) << lintian.output;
  EXPECT_EQ(lintian.output.find("E: "), std::string::npos) << lintian.output;

  const PackageRemoval removal;
  const auto installed = RunCommand({"/usr/bin/apt-get", "install", "-y", "--no-install-recommends", "-o",
                                     "DPkg::Lock::Timeout=60", package.string()},
                                    120s);
  ASSERT_EQ(installed.exitCode, 0) << installed.output;
  EXPECT_EQ(std::filesystem::read_symlink("/usr/bin/parcelo"), kTree / "bin/parcelo");
  for (const char* file : {"lib/libMMx.so", "lib/uml.ini", "lib/ftpsend.xml", "dtd/catalog", "doc/help/index.html"})
    EXPECT_TRUE(std::filesystem::exists(kTree / file)) << file;
  for (const char* file : {"icons/hicolor/48x48/apps/parcelo.png", "icons/hicolor/scalable/apps/parcelo.svg",
                           "man/man1/parcelo.1.gz", "mime/packages/parcelo.xml"})
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path("/usr/share") / file)) << file;
  const auto entry = RunCommand({"/usr/bin/desktop-file-validate", "/usr/share/applications/parcelo.desktop"});
  EXPECT_EQ(entry.exitCode, 0) << entry.output;
  EXPECT_EQ(entry.output, "");
  const std::string globs = test::ReadFile("/usr/share/mime/globs2");
  for (const char* glob : {"*.cnt", "*.ecu", "*.mem"})
    EXPECT_NE(globs.find(std::string("application/x-ecu-memory-container:") + glob), std::string::npos) << glob;

  test::RealFtpServer server(test::RealServerKind::Pyftpdlib);
  test::PublishSiteFiles(server.Top(), kTree,
                         "<FTPSEND><IntranetUrl>http://x/</IntranetUrl><ReadmeDate>01.12.2026</ReadmeDate>"
                         "<Werk compress='no'><NAME>Plant 1</NAME><SHORTNAME>PLANT1</SHORTNAME>"
                         "<PFAD>../../../mailbox/plant1</PFAD><FTPADRESS>127.0.0.1</FTPADRESS></Werk></FTPSEND>");
  std::filesystem::create_directories(server.Top() / "mailbox/plant1");

  const auto home = work / "home";
  const TestUser user(home);
  const auto container = home / "ECU 4711.cnt";
  test::WriteFile(container, test::kSmallContainer);
  user.Own(container);
  const auto version = user.Run({"/usr/bin/parcelo", "--version"}, {});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.output, "Parcelo 3.0.0.6\n");

  const auto sent = user.Run({"/usr/bin/parcelo", container.string(), "-t", "PLANT1"},
                             {{"PARCELO_FTP_HOST", "127.0.0.1"},
                              {"PARCELO_FTP_PORT", std::to_string(server.Port())},
                              {"PARCELO_FTP_USER", server.User()},
                              {"PARCELO_FTP_PASSWORD", server.Password()}});
  EXPECT_EQ(sent.exitCode, 0) << sent.output;
  const auto arrived = test::FilesIn(server.Top() / "mailbox/plant1");
  ASSERT_EQ(arrived.size(), 1u);
  EXPECT_TRUE(arrived[0].starts_with("SW0412.")) << arrived[0];
  EXPECT_EQ(sent.output, "PLANT1 delivered " + arrived[0] + "\n") << "the output carries only the result line";
  const auto own = home / ".local/share/Parcelo";
  EXPECT_NE(test::ReadFile(own / "lib/ftpsend.xml").find("PLANT1"), std::string::npos);
  EXPECT_NE(test::ReadFile(own / "backup/ParceloLog.txt").find("container no.: 8W0 907-SW0412"), std::string::npos);
  EXPECT_EQ(test::ReadFile(own / "backup/ECU 4711.cnt"), test::ReadFile(container));
  EXPECT_TRUE(std::filesystem::is_empty(kTree / "backup")) << "the program wrote below its system-wide tree";
  EXPECT_EQ(test::ReadFile(kTree / "lib/ftpsend.xml"),
            test::ReadFile(std::filesystem::path(PARCELO_SOURCE_DIR) / "site/lib/ftpsend.xml"));

  const auto removed = RunCommand({"/usr/bin/dpkg", "-r", "parcelo"}, 60s);
  EXPECT_EQ(removed.exitCode, 0) << removed.output;
  for (const char* gone : {"/opt/parcelo", "/usr/bin/parcelo", "/usr/share/applications/parcelo.desktop",
                           "/usr/share/man/man1/parcelo.1.gz", "/usr/share/mime/packages/parcelo.xml"})
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(gone))) << gone;
  EXPECT_EQ(test::ReadFile("/usr/share/mime/globs2").find("application/x-ecu-memory-container"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(own / "backup/ParceloLog.txt")) << "the user's own files stay";
}

}  // namespace
