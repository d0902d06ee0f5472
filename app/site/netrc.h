#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// The user's netrc file cannot be used: it cannot be read, or others may read it.
class ENetrcError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An account a netrc file gives for a host. The password is empty when the
// entry names none.
struct NetrcAccount {
  std::string login;
  std::string password;
};

// The entries of a netrc file, as ftp(1) and curl read it: "machine NAME"
// begins the entry of a host, "default" the one for every other host;
// within an entry come "login NAME", "password TEXT" and "account TEXT"
// (not used); "macdef NAME" begins a macro, which runs to the next empty
// line and is passed over. Tokens are separated by blanks, tabs and line
// ends; one in double quotes may hold them, with \" and \\ for " and \.
class Netrc {
 public:
  explicit Netrc(std::string_view text);

  // The user's file: the one $NETRC names, else ~/.netrc (%USERPROFILE%\_netrc
  // on Windows, where access lists guard it and no permissions are checked), which may be
  // missing (then there are no entries). Raises ENetrcError when the file
  // cannot be read, $NETRC's also when it is missing, and when its group or
  // others have any permission on it, as passwords stand in it.
  static Netrc ReadUserFile();

  // The account for `host` (letter case aside): the first machine entry of
  // that name, else the default entry; given a `login`, only an entry of that
  // login. Nothing when no entry fits.
  std::optional<NetrcAccount> Find(std::string_view host, std::string_view login = {}) const;

 private:
  struct Entry {
    std::string machine;
    bool isDefault = false;
    NetrcAccount account;
  };

  std::vector<Entry> entries_;
};

}  // namespace app
