#pragma once

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace test {

// The first line engineers write: the version 1.2 public identifier only.
inline constexpr const char* kFirstLine =
    "<!DOCTYPE ecu-memory-container PUBLIC \"-//Korvath//DTD ECU Memory Container 1.2//EN\">";

// A container as engineers write it; the identifiers and addresses as given.
inline std::string Container(const std::string& ecu, const std::string& sw, const std::string& emails,
                             const std::string& data = "00 11 22 33") {
  return std::string(kFirstLine) + "\r\n<ecu-memory-container>\r\n<project-info>\r\n<supplier>M\xFCller GmbH</supplier>\r\n"
         "<ecu-ident>" + ecu + "</ecu-ident>\r\n<sw-ident>" + sw + "</sw-ident>\r\n" + emails +
         "</project-info>\r\n<memory-block address=\"0\">" + data + "</memory-block>\r\n</ecu-memory-container>\r\n";
}

// A small container as the built program sends it in the run-as-installed tests.
inline constexpr const char* kSmallContainer =
    "<!DOCTYPE ecu-memory-container PUBLIC \"-//Korvath//DTD ECU Memory Container 1.2//EN\">\r\n"
    "<ecu-memory-container>\r\n<project-info><ecu-ident>8W0 907</ecu-ident><sw-ident>SW0412</sw-ident>"
    "<supplier>M\xFCller</supplier><EMAIL>a@plant.example</EMAIL></project-info>\r\n"
    "<memory-block address=\"0x0\" length=\"0x2\"><data>0A0B</data></memory-block>\r\n</ecu-memory-container>\r\n";

// The variables a desktop session sets and cron does not; blanked, the
// program runs as it does under cron.
inline constexpr const char* kCronBlankedVariables[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                                                         "QT_LOGGING_RULES", "XDG_RUNTIME_DIR"};

// Puts a site's files in the server's site folder: the target list, and the
// checker's rules and the DTD taken from the data tree `dataTree`.
inline void PublishSiteFiles(const std::filesystem::path& serverTop, const std::filesystem::path& dataTree,
                             const std::string& targetList) {
  const auto site = serverTop / "k3/fab/cae";
  WriteFile(site / "ftpsend.xml", targetList);
  // Removed first: mingw-w64's copy_file takes any two files for the same one
  // (Windows has no inode numbers) and refuses to overwrite.
  for (const auto& [from, to] : {std::pair{dataTree / "lib/checkit.mck", site / "checkit.mck"},
                                 std::pair{dataTree / "dtd/ecum0102.dtd", site / "ecum0102.DTD"}}) {
    std::filesystem::remove(to);
    std::filesystem::copy_file(from, to);
  }
}

// What preparation makes of a Container(): the DTD named as system identifier
// and the supplier's umlaut written as its entity.
inline std::string Prepared(std::string container) {
  const std::string publicId = "1.2//EN\"";
  container.insert(container.find(publicId) + publicId.size(), " \"ecum0102.dtd\"");
  const std::string supplier = "M\xFCller";
  container.replace(container.find(supplier), supplier.size(), "M&uuml;ller");
  return container;
}

// The bytes of a string literal, NUL bytes inside it included.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

// How often `part` stands in `text`.
inline std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The lines of a log text, without their CR LF.
inline std::vector<std::string> LogLines(const std::string& log) {
  std::vector<std::string> lines;
  std::istringstream in(log);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line);
  return lines;
}

// The names in `folder`, sorted; empty when the folder does not exist.
inline std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  if (!std::filesystem::exists(folder)) return names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace test
