#include "platform/reg_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <charconv>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include "platform/reg_encoding.h"

namespace platform {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";

std::string_view TrimLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  return line;
}

bool IsHexDigits(std::string_view text) {
  for (char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return !text.empty();
}

// hex:01,02 or hex(7):41,00,...: comma-separated bytes, with the blanks that
// continuation lines leave between them.
bool IsHexValue(std::string_view text) {
  if (!text.starts_with("hex")) return false;
  text.remove_prefix(3);
  if (text.starts_with('(')) {
    const std::size_t close = text.find(')');
    if (close == std::string_view::npos || !IsHexDigits(text.substr(1, close - 1))) return false;
    text.remove_prefix(close + 1);
  }
  if (!text.starts_with(':')) return false;
  std::string bytes;
  for (char c : text.substr(1))
    if (c != ' ' && c != '\t') bytes += c;
  if ((bytes.size() + 1) % 3 != 0) return bytes.empty();
  for (std::size_t pos = 0; pos < bytes.size(); pos += 3)
    if (!IsHexDigits(bytes.substr(pos, 2)) || (pos + 2 < bytes.size() && bytes[pos + 2] != ',')) return false;
  return true;
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
  // "-" deletes the value on import; hex forms hold the other types.
  if (text != "-" && !IsHexValue(text)) return std::nullopt;
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

bool NameTaken(const std::filesystem::path& name) {
  std::error_code error;
  return std::filesystem::symlink_status(name, error).type() != std::filesystem::file_type::not_found;
}

// "<name>.damaged-2026-12-09", or "<name>.damaged-2026-12-09-131740" and then
// "...-131740-2" when a name is taken; called under the lock, so no other
// copy of the program takes the name before the rename.
std::filesystem::path FreeAsideName(const std::filesystem::path& file) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char date[16], timeOfDay[8];
  std::strftime(date, sizeof date, "%Y-%m-%d", &local);
  std::strftime(timeOfDay, sizeof timeOfDay, "%H%M%S", &local);
  const std::string base = file.filename().string() + ".damaged-" + date;
  auto name = file.parent_path() / base;
  for (int count = 1; NameTaken(name); ++count)
    name = file.parent_path() / (base + "-" + timeOfDay + (count > 1 ? "-" + std::to_string(count) : ""));
  return name;
}

}  // namespace

std::optional<RegDocument> ParseRegText(const std::string& text) {
  RegDocument document;
  std::istringstream in(text);
  std::string raw;
  bool headerSeen = false;
  RegSection* section = nullptr;
  while (std::getline(in, raw)) {
    std::string_view line = TrimLineEnd(raw);
    if (HasControlCharacter(line)) return std::nullopt;
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
    // Hex values continue on the next line; at the end of the text one was cut off.
    while (entry.ends_with('\\')) {
      if (!std::getline(in, raw) || HasControlCharacter(TrimLineEnd(raw))) return std::nullopt;
      entry.pop_back();
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

RegFileContents ReadRegFile(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::exists(file, error)) return {error ? RegFileContents::kUnreadable : RegFileContents::kRead, {}};
  std::ifstream in(file, std::ios::binary);
  if (!in) return {RegFileContents::kUnreadable, {}};
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return {RegFileContents::kUnreadable, {}};
  const auto text = DecodeRegBytes(bytes.str());
  auto document = text ? ParseRegText(*text) : std::nullopt;
  if (!document) return {RegFileContents::kDamaged, {}};
  return {RegFileContents::kRead, std::move(*document)};
}

std::optional<std::filesystem::path> SetAsideDamagedRegFile(const std::filesystem::path& file) {
  FileLock lock(file);
  if (!lock.held() || ReadRegFile(file).state != RegFileContents::kDamaged) return std::nullopt;
  const auto aside = FreeAsideName(file);
  if (std::rename(file.c_str(), aside.c_str()) != 0) return std::nullopt;
  return aside;
}

bool UpdateRegFile(const std::filesystem::path& file,
                   const std::function<bool(RegDocument&)>& change) {
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  FileLock lock(file);
  if (!lock.held()) return false;
  auto contents = ReadRegFile(file);
  if (contents.state != RegFileContents::kRead) return false;
  if (!change(contents.document)) return true;
  return ReplaceAtomically(file, FormatRegText(contents.document));
}

}  // namespace platform
