#include "support/private_hosts.h"

#include <cstdlib>
#include <filesystem>

#include "support/temp_dir.h"

namespace test {
namespace {

constexpr const char* kChildVariable = "PARCELO_TEST_PRIVATE_HOSTS";
constexpr const char* kReady = "private hosts ready";

}  // namespace

bool InPrivateHosts() { return std::getenv(kChildVariable) != nullptr; }

std::optional<ProgramResult> RunWithHosts(const std::string& hosts, const std::string& filter) {
#ifdef _WIN32
  return std::nullopt;  // Windows' resolver reads no /etc/hosts a namespace could replace
#endif
  TempDir dir;
  WriteFile(dir / "hosts", hosts);
  if (!std::filesystem::exists("/usr/bin/unshare")) return std::nullopt;
  ProgramResult result = RunProgram(
      {"/usr/bin/unshare", "-rm", "sh", "-c",
       "mount --bind \"$0\" /etc/hosts && echo \"$1\" && exec \"$2\" --gtest_filter=\"$3\"",
       (dir / "hosts").string(), kReady, ThisProgram(), filter},
      {{kChildVariable, "1"}});
  if (result.output.find(kReady) == std::string::npos) return std::nullopt;
  return result;
}

}  // namespace test
