#include "app/site/netrc.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "support/environment.h"
#include "support/temp_dir.h"

namespace app {
namespace {

constexpr const char* kNetrc =
    "machine plant1.example login anna password \"s3 cr\\\"et\"\n"
    "machine PLANT2.example\n"
    "  login bob\n"
    "  password b\n"
    "macdef init\n"
    "cd /in\n"
    "login mallory password m\n"
    "\n"
    "machine plant2.example login carol password c account x\n"
    "default login site password d\n";

TEST(Netrc, FindsTheHostsEntryElseTheDefaultAndTheLoginAsked) {
  const Netrc netrc(kNetrc);
  const struct {
    const char* host;
    const char* login;
    std::optional<std::string> found;  // "login:password"
  } cases[] = {
      {"plant1.example", "", "anna:s3 cr\"et"},
      {"Plant2.EXAMPLE", "", "bob:b"},  // the macro's lines are no tokens
      {"plant2.example", "carol", "carol:c"},
      {"plant2.example", "dave", std::nullopt},
      {"elsewhere.example", "", "site:d"},
      {"elsewhere.example", "site", "site:d"},
      {"elsewhere.example", "anna", std::nullopt},
  };
  for (const auto& [host, login, found] : cases) {
    const auto account = netrc.Find(host, login);
    EXPECT_EQ(account ? std::optional(account->login + ":" + account->password) : std::nullopt, found)
        << host << " " << login;
  }
  EXPECT_EQ(Netrc("machine a login b").Find("c"), std::nullopt) << "no default entry";
}

class UserNetrc : public ::testing::Test {
 protected:
  ~UserNetrc() override {
    unsetenv("NETRC");
    if (home_) setenv("HOME", home_->c_str(), 1);
  }

  std::string Write(const char* name, mode_t mode) {
    const std::string path = dir_.Write(name, kNetrc).string();
    chmod(path.c_str(), mode);
    return path;
  }

  test::TempDir dir_;
  std::optional<std::string> home_ = std::getenv("HOME") ? std::optional<std::string>(std::getenv("HOME")) : std::nullopt;
};

TEST_F(UserNetrc, IsTheNamedFileElseTheOneInHome) {
  setenv("NETRC", Write("named", 0600).c_str(), 1);
  EXPECT_EQ(Netrc::ReadUserFile().Find("plant1.example")->login, "anna");
  unsetenv("NETRC");
  setenv("HOME", dir_.Path().c_str(), 1);
  EXPECT_EQ(Netrc::ReadUserFile().Find("plant1.example"), std::nullopt) << "no ~/.netrc: no entries";
  Write(".netrc", 0400);
  EXPECT_EQ(Netrc::ReadUserFile().Find("plant1.example")->login, "anna");
}

TEST_F(UserNetrc, ThatOthersMayReadOrThatIsMissingWhenNamedIsRefused) {
  const std::string open = Write("open", 0640);
  setenv("NETRC", open.c_str(), 1);
  EXPECT_THAT([] { Netrc::ReadUserFile(); },
              testing::ThrowsMessage<ENetrcError>("The netrc file " + open +
                                                  " is open to others (permissions 0640), so its passwords are not "
                                                  "used; make it private with: chmod 600 " + open));
  setenv("NETRC", (dir_ / "missing").c_str(), 1);
  EXPECT_THROW(Netrc::ReadUserFile(), ENetrcError);
}

}  // namespace
}  // namespace app
