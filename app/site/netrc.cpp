#include "app/site/netrc.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/ascii_case.h"
#include "app/file_system.h"
#include "app/local_files.h"
#include "app/path_text.h"

namespace app {
namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Cuts a netrc text into its tokens.
class Tokens {
 public:
  explicit Tokens(std::string_view text) : text_(text) {}

  // The next token; nothing at the end of the text.
  std::optional<std::string> Next() {
    while (at_ < text_.size() && IsSeparator(text_[at_])) ++at_;
    if (at_ == text_.size()) return std::nullopt;
    std::string token;
    if (text_[at_] == '"') {
      for (++at_; at_ < text_.size() && text_[at_] != '"'; ++at_) {
        if (text_[at_] == '\\' && at_ + 1 < text_.size()) ++at_;
        token += text_[at_];
      }
      if (at_ < text_.size()) ++at_;  // the closing quote
      return token;
    }
    while (at_ < text_.size() && !IsSeparator(text_[at_])) token += text_[at_++];
    return token;
  }

  // Passes over a macro's definition: the rest of the line of its name and
  // every line up to the next empty one.
  void SkipMacro() {
    at_ = std::min(text_.find('\n', at_), text_.size());
    while (at_ < text_.size()) {
      const std::size_t start = at_ + 1;
      at_ = std::min(text_.find('\n', start), text_.size());
      const std::string_view line = text_.substr(start, at_ - start);
      if (line.empty() || line == "\r") return;
    }
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

// Named as curl names it on each system.
#ifdef _WIN32
constexpr const char* kUserFileName = "_netrc";
#else
constexpr const char* kUserFileName = ".netrc";
#endif

std::string UserNetrcPath(bool& named) {
  const auto netrc = EnvironmentPath("NETRC");
  named = netrc.has_value();
  if (named) return PathText(*netrc);
  return JoinPath(PathText(HomeFolder()), kUserFileName);
}

}  // namespace

Netrc::Netrc(std::string_view text) {
  Tokens tokens(text);
  Entry* entry = nullptr;
  while (const auto token = tokens.Next()) {
    if (*token == "machine" || *token == "default") {
      entries_.push_back({});
      entry = &entries_.back();
      if (*token == "machine") entry->machine = tokens.Next().value_or("");
      entry->isDefault = *token == "default";
    } else if (*token == "macdef") {
      tokens.Next();
      tokens.SkipMacro();
    } else if (*token == "login" || *token == "password" || *token == "account") {
      const std::string value = tokens.Next().value_or("");
      if (!entry) continue;
      if (*token == "login") entry->account.login = value;
      if (*token == "password") entry->account.password = value;
    }
  }
}

Netrc Netrc::ReadUserFile() {
  bool named = false;
  const std::string path = UserNetrcPath(named);
  const Descriptor file(OpenToRead(path));
  if (file.get() < 0 && errno == ENOENT && !named) return Netrc("");
  if (file.get() < 0) throw ENetrcError("The netrc file " + path + " cannot be read: " + std::strerror(errno));
  // Checked on the file opened, so that nothing can swap it in between.
  if (const auto mode = PermissionsOpenToOthers(file.get()))
    throw ENetrcError("The netrc file " + path + " is open to others (permissions " + *mode +
                      "), so its passwords are not used; make it private with: chmod 600 " + path);
  std::string text;
  char chunk[4096];
  for (ssize_t got; (got = read(file.get(), chunk, sizeof chunk)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw ENetrcError("The netrc file " + path + " cannot be read: " + std::strerror(errno));
    text.append(chunk, static_cast<std::size_t>(got));
  }
  return Netrc(text);
}

std::optional<NetrcAccount> Netrc::Find(std::string_view host, std::string_view login) const {
  const std::string wanted = AsciiLower(host);
  const auto fits = [&](const Entry& entry) { return login.empty() || entry.account.login == login; };
  for (const Entry& entry : entries_)
    if (!entry.isDefault && AsciiLower(entry.machine) == wanted && fits(entry)) return entry.account;
  for (const Entry& entry : entries_)
    if (entry.isDefault && fits(entry)) return entry.account;
  return std::nullopt;
}

}  // namespace app
