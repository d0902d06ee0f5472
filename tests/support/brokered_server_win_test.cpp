#include "support/brokered_server.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <stdexcept>

#include "support/temp_dir.h"

namespace test {
namespace {

std::string Shell(const std::string& script, const std::filesystem::path& workingDir = {}) {
  return BrokeredServer({"/bin/sh", "-c", script}, workingDir).ReadyLine();
}

TEST(BrokeredServer, RunsTheLinuxCommandWithUnixPathsAndAnswersItsReadyLine) {
  TempDir dir;
  const auto file = dir.Path() / "a name with blanks.txt";
  std::ofstream(file) << "first\nsecond\n";
  // Wine's Unix name for C: goes through a link; the real folder is the same.
  EXPECT_EQ(Shell("pwd -P", dir.Path()),
            BrokeredServer({"/bin/sh", "-c", "cd \"$0\" && pwd -P", UnixPath(dir.Path())}, {}).ReadyLine());
  EXPECT_EQ(BrokeredServer({"/bin/sh", "-c", "head -n 1 \"$0\"; exec sleep 60", UnixPath(file)}, {}).ReadyLine(),
            "first");
  EXPECT_EQ(BrokeredServer({"/bin/sh", "-c", "echo one; echo ACCEPT two; exec sleep 60"}, {}, "ACCEPT ").ReadyLine(),
            "ACCEPT two");
}

TEST(BrokeredServer, StopsTheServerWhenTheTestLetsItGo) {
  const std::string pid = Shell("echo $$; exec sleep 60");
  EXPECT_EQ(Shell("for i in $(seq 100); do kill -0 " + pid +
                  " 2>/dev/null || { echo gone; exit; }; sleep 0.1; done; echo alive"),
            "gone");
}

TEST(BrokeredServer, FailsWithTheReasonWhenTheServerDoesNotComeUp) {
  const struct {
    std::vector<std::string> argv;
    std::string reason;
  } cases[] = {
      {{"/bin/true"}, "ended before a line"},
      {{"/no/such/server"}, "No such file"},
  };
  for (const auto& c : cases) {
    try {
      BrokeredServer server(c.argv, {});
      ADD_FAILURE() << c.argv[0] << " came up";
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
    }
  }
}

TEST(BrokeredServer, FailsClearlyWithoutALauncher) {
  const std::string port = std::getenv("PARCELO_SERVER_BROKER") ? std::getenv("PARCELO_SERVER_BROKER") : "";
  _putenv_s("PARCELO_SERVER_BROKER", "");
  EXPECT_THROW(
      {
        try {
          Shell("echo up");
        } catch (const std::runtime_error& error) {
          EXPECT_NE(std::string(error.what()).find("no server launcher"), std::string::npos) << error.what();
          throw;
        }
      },
      std::runtime_error);
  _putenv_s("PARCELO_SERVER_BROKER", port.c_str());
}

}  // namespace
}  // namespace test
