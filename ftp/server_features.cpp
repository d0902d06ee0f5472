#include "ftp/server_features.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace ftp {
namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

THashKind HashNamed(const std::string& name) {
  for (const THashKind kind : {THashKind::Crc32, THashKind::Md5, THashKind::Sha1, THashKind::Sha256})
    if (name == HashName(kind)) return kind;
  return THashKind::None;
}

THashKind ExtensionHash(const std::string& command) {
  if (command == "XSHA256") return THashKind::Sha256;
  if (command == "XSHA1") return THashKind::Sha1;
  if (command == "XMD5") return THashKind::Md5;
  if (command == "XCRC") return THashKind::Crc32;
  return THashKind::None;
}

std::size_t DigestLength(THashKind kind) {
  switch (kind) {
    case THashKind::Md5: return 32;
    case THashKind::Sha1: return 40;
    case THashKind::Sha256: return 64;
    default: return 8;
  }
}

bool IsHex(const std::string& token) {
  return !token.empty() &&
         std::all_of(token.begin(), token.end(), [](unsigned char c) { return std::isxdigit(c) != 0; });
}

// Takes `kind` through `command` when it is stronger than what `features`
// has (a HASH line wins a tie, as it names the digest it means).
void Offer(TServerFeatures& features, THashKind kind, const std::string& command, bool selected) {
  if (kind < features.Hash || (kind == features.Hash && features.HashCommand == "HASH")) return;
  features.Hash = kind;
  features.HashCommand = command;
  features.HashSelected = selected;
}

}  // namespace

TServerFeatures ParseFeatures(const std::vector<std::string>& lines) {
  TServerFeatures features;
  for (const std::string& line : lines) {
    if (line.empty() || line[0] != ' ') continue;
    std::istringstream words(line);
    std::string name, arguments;
    words >> name >> arguments;
    name = Upper(name);
    if (name == "SIZE") {
      features.Size = true;
    } else if (name == "MLST") {
      features.Mlst = true;
    } else if (name == "MDTM") {
      features.Mdtm = true;
    } else if (name == "HASH") {
      // "HASH SHA-1;SHA-256*;MD5": the starred one is in use.
      std::istringstream list(Upper(arguments));
      for (std::string item; std::getline(list, item, ';');) {
        const bool selected = !item.empty() && item.back() == '*';
        if (selected) item.pop_back();
        if (const THashKind kind = HashNamed(item); kind != THashKind::None)
          Offer(features, kind, "HASH", selected);
      }
    } else if (const THashKind kind = ExtensionHash(name); kind != THashKind::None) {
      Offer(features, kind, name, true);
    }
  }
  return features;
}

std::string DigestOfReply(const std::string& reply, THashKind kind) {
  std::istringstream words(reply.size() > 4 ? reply.substr(4) : std::string());
  for (std::string token; words >> token;) {
    if (!IsHex(token)) continue;
    if (kind == THashKind::Crc32 && token.size() <= 8)
      return std::string(8 - token.size(), '0') + Lower(token);
    if (token.size() == DigestLength(kind)) return Lower(token);
  }
  return {};
}

}  // namespace ftp
