#include "platform/reg_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";

std::string_view TrimLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  return line;
}

// Reads a quoted .reg string starting at text[pos] == '"'; advances pos past
// the closing quote.
std::optional<std::string> ReadQuoted(std::string_view text, std::size_t& pos) {
  if (pos >= text.size() || text[pos] != '"') return std::nullopt;
  std::string out;
  for (++pos; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c == '"') {
      ++pos;
      return out;
    }
    out += (c == '\\' && pos + 1 < text.size()) ? text[++pos] : c;
  }
  return std::nullopt;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + '"';
}

std::optional<RegValue> ParseValue(std::string_view text) {
  RegValue value;
  if (!text.empty() && text.front() == '"') {
    std::size_t pos = 0;
    auto quoted = ReadQuoted(text, pos);
    if (!quoted || pos != text.size()) return std::nullopt;
    value.type = RegValue::kString;
    value.text = std::move(*quoted);
    return value;
  }
  if (text.starts_with("dword:") && text.size() == 14) {
    std::uint32_t number = 0;
    const char* end = text.data() + text.size();
    auto [ptr, error] = std::from_chars(text.data() + 6, end, number, 16);
    if (error != std::errc() || ptr != end) return std::nullopt;
    value.type = RegValue::kDword;
    value.number = static_cast<std::int32_t>(number);
    return value;
  }
  if (text.find(':') == std::string_view::npos && text != "-") return std::nullopt;
  value.type = RegValue::kOther;
  value.text = std::string(text);
  return value;
}

std::string FormatValue(const RegValue& value) {
  switch (value.type) {
    case RegValue::kString:
      return Quote(value.text);
    case RegValue::kDword: {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "dword:%08x", static_cast<std::uint32_t>(value.number));
      return buffer;
    }
    case RegValue::kOther:
      return value.text;
  }
  return {};
}

bool ParseEntry(std::string_view line, RegSection& section) {
  std::string name;
  std::size_t pos = 0;
  if (line.starts_with("@=")) {
    pos = 1;
  } else {
    auto quoted = ReadQuoted(line, pos);
    if (!quoted || pos >= line.size() || line[pos] != '=') return false;
    name = std::move(*quoted);
  }
  auto value = ParseValue(line.substr(pos + 1));
  if (!value) return false;
  section.Set(name, std::move(*value));
  return true;
}

// Holds an exclusive lock on "<file>.lock" for the lifetime of the object.
class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& file) {
    const auto lockPath = file.string() + ".lock";
    fd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0 && flock(fd_, LOCK_EX) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~FileLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool ReplaceAtomically(const std::filesystem::path& file, const std::string& text) {
  const auto temp = file.string() + ".tmp." + std::to_string(getpid());
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, text) && fsync(fd) == 0;
  const bool closed = close(fd) == 0;
  if (!written || !closed || std::rename(temp.c_str(), file.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  const int dir = open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}

}  // namespace

const RegValue* RegSection::Find(const std::string& valueName) const {
  for (const auto& [name, value] : values)
    if (name == valueName) return &value;
  return nullptr;
}

void RegSection::Set(const std::string& valueName, RegValue value) {
  for (auto& [name, existing] : values)
    if (name == valueName) {
      existing = std::move(value);
      return;
    }
  values.emplace_back(valueName, std::move(value));
}

RegSection* RegDocument::Find(const std::string& sectionName) {
  for (auto& section : sections)
    if (section.name == sectionName) return &section;
  return nullptr;
}

RegSection& RegDocument::FindOrAdd(const std::string& sectionName) {
  if (RegSection* found = Find(sectionName)) return *found;
  sections.push_back({sectionName, {}});
  return sections.back();
}

std::optional<RegDocument> ParseRegText(const std::string& text) {
  RegDocument document;
  std::istringstream in(text);
  std::string raw;
  bool headerSeen = false;
  RegSection* section = nullptr;
  while (std::getline(in, raw)) {
    std::string_view line = TrimLineEnd(raw);
    if (!headerSeen && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
    if (line.empty() || line.front() == ';') continue;
    if (!headerSeen) {
      if (line != kHeader && line != kOldHeader) return std::nullopt;
      headerSeen = true;
      continue;
    }
    if (line.front() == '[') {
      if (line.back() != ']') return std::nullopt;
      section = &document.FindOrAdd(std::string(line.substr(1, line.size() - 2)));
      continue;
    }
    std::string entry(line);
    while (!entry.empty() && entry.back() == '\\' && std::getline(in, raw)) {
      entry.pop_back();  // hex values continue on the next line
      entry += TrimLineEnd(raw);
    }
    if (!section || !ParseEntry(entry, *section)) return std::nullopt;
  }
  return document;
}

std::string FormatRegText(const RegDocument& document) {
  std::string out(kHeader);
  out += "\n\n";
  for (const auto& section : document.sections) {
    out += "[" + section.name + "]\n";
    for (const auto& [name, value] : section.values)
      out += (name.empty() ? std::string("@") : Quote(name)) + "=" + FormatValue(value) + "\n";
    out += "\n";
  }
  return out;
}

std::optional<RegDocument> ReadRegFile(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::exists(file, error)) return error ? std::nullopt : std::optional(RegDocument{});
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return ParseRegText(text.str());
}

bool UpdateRegFile(const std::filesystem::path& file,
                   const std::function<bool(RegDocument&)>& change) {
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  FileLock lock(file);
  if (!lock.held()) return false;
  auto document = ReadRegFile(file);
  if (!document) return false;
  if (!change(*document)) return true;
  return ReplaceAtomically(file, FormatRegText(*document));
}

}  // namespace platform
