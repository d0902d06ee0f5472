#include "app/site/target_list.h"

#include <algorithm>
#include <optional>
#include <sstream>

#include "app/ascii_case.h"
#include "app/site/site_config.h"
#include "app/workflow_errors.h"
#include "platform/ansi.h"
#include "xml/dom.h"

namespace app {
namespace {

// The value of a node's first child: the text directly inside an element or
// the text of an attribute.
std::string FirstChildValue(const xml::TDomNode& node, const std::string& what) {
  const xml::TDomNode* first = node.firstChild();
  if (!first) throw ETargetListError("Target list: " + what + " has no content");
  return platform::Utf16ToAnsi(first->nodeValue());
}

bool IsYes(const std::string& value) { return AsciiUpper(value) == "YES"; }

TTargetProtocol ProtocolOf(const std::string& value, const std::string& where) {
  const std::string protocol = AsciiUpper(value);
  if (protocol == "FTP") return TTargetProtocol::Ftp;
  if (protocol == "SFTP") return TTargetProtocol::Sftp;
  throw ETargetListError("Target list: the protocol of " + where + " is neither ftp nor sftp: " + value);
}

// Fingerprints as OpenSSH prints them ("SHA256:" and base64), separated by blanks.
std::vector<std::string> HostKeysOf(const std::string& value, const std::string& where) {
  static const std::string base64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
  std::vector<std::string> keys;
  std::istringstream words(value);
  for (std::string key; words >> key;) {
    const std::string digits = key.substr(std::min<std::size_t>(key.size(), 7));
    if (!key.starts_with("SHA256:") || digits.empty() || digits.find_first_not_of(base64) != std::string::npos)
      throw ETargetListError("Target list: the hostkey of " + where + " holds no SHA256 fingerprint: " + key);
    keys.push_back(key);
  }
  return keys;
}

// A pattern in which "*" stands for the remote name; empty: none; nullopt:
// the element has no tempname.
std::optional<std::string> TempNameOf(xml::TDomElement& element, const std::string& where) {
  const xml::TDomNode* node = element.attributes()->getNamedItem(u"tempname");
  if (!node) return std::nullopt;
  if (!node->firstChild()) return "";
  const std::string pattern = platform::Utf16ToAnsi(node->firstChild()->nodeValue());
  if (pattern.empty() || pattern == "*") return "";
  if (std::count(pattern.begin(), pattern.end(), '*') != 1 || pattern.front() == '/' ||
      pattern.find("..") != std::string::npos)
    throw ETargetListError("Target list: the tempname of " + where +
                           " needs one * for the remote name, below the mailbox: " + pattern);
  return pattern;
}

rTargetList ReadWerk(xml::TDomElement& werk, int number, const std::string& listTempName) {
  const std::string where = "Werk " + std::to_string(number);
  rTargetList row;
  row.TempName = TempNameOf(werk, where).value_or(listTempName);
  xml::TDomNamedNodeMap* attributes = werk.attributes();
  const xml::TDomNode* compress = attributes->getNamedItem(u"compress");
  if (!compress) throw ETargetListError("Target list: " + where + " has no attribute compress");
  row.Compress = IsYes(FirstChildValue(*compress, "the attribute compress of " + where));
  // An optional attribute leaves its field as it is when absent.
  const auto read = [&](std::u16string_view name, const auto& take) {
    if (const xml::TDomNode* node = attributes->getNamedItem(name))
      take(FirstChildValue(*node, "the attribute " + platform::Utf16ToAnsi(name) + " of " + where));
  };
  read(u"stowa", [&](const std::string& value) { row.Stowa = IsYes(value); });
  read(u"tls", [&](const std::string& value) { row.Tls = TlsModeOf(value); });
  read(u"passive", [&](const std::string& value) { row.Passive = IsYes(value); });
  read(u"user", [&](const std::string& value) { row.User = value; });
  read(u"protocol", [&](const std::string& value) { row.Protocol = ProtocolOf(value, where); });
  read(u"hostkey", [&](const std::string& value) { row.HostKeys = HostKeysOf(value, where); });
  for (const xml::TDomNode* child = werk.firstChild(); child; child = child->nextSibling()) {
    if (child->nodeType() != xml::ELEMENT_NODE) continue;
    const std::string name = AsciiUpper(platform::Utf16ToAnsi(child->nodeName()));
    const auto value = [&] { return FirstChildValue(*child, "the element " + name + " of " + where); };
    if (name == "NAME") row.Name = value();
    else if (name == "SHORTNAME") row.ShortName = value().substr(0, 10);
    else if (name == "PFAD") row.Path = value();
    else if (name == "FTPADRESS") row.FtpAddress = value();
  }
  return row;
}

}  // namespace

void ReadTargetRows(xml::TDomDocument& list, std::vector<rTargetList>& rows,
                    const std::function<void(const rTargetList&)>& onRow) {
  xml::TDomNodeList* werks = list.documentElement()->getElementsByTagName(u"Werk");
  rows.assign(static_cast<std::size_t>(werks->length()), rTargetList{});
  const std::string listTempName = TempNameOf(*list.documentElement(), "the list").value_or("");
  for (int i = 0; i < werks->length(); ++i) {
    rows[static_cast<std::size_t>(i)] =
        ReadWerk(static_cast<xml::TDomElement&>(*werks->item(i)), i + 1, listTempName);
    onRow(rows[static_cast<std::size_t>(i)]);
  }
}

std::string FirstElementValue(xml::TDomDocument& list, std::u16string_view name) {
  const std::string what = "the element " + platform::Utf16ToAnsi(name);
  const xml::TDomNode* element = list.documentElement()->getElementsByTagName(name)->item(0);
  if (!element) throw ETargetListError("Target list: " + what + " is missing");
  return FirstChildValue(*element, what);
}

}  // namespace app
