#pragma once

#include <cstddef>
#include <string>

#include "checker/finding.h"

namespace mmx {

// The checker's script (checkit.mmx): how a check runs and reports.
struct MmxScript {
  std::string title = "ECU Memory Container check";
  // Assumed for containers that neither declare an encoding nor are UTF-8.
  std::string default_encoding = "windows-1252";
  bool validate = true;
  std::size_t max_findings = 1000;
};

// Reads "name = value" lines (title, default-encoding, validate yes|no,
// max-findings); blank lines and lines starting with "#" are skipped.
// Problems (no file, an unknown name, a bad value) become warnings in
// `findings` and leave the default in force; never raises.
MmxScript ReadMmxScript(const std::string& path, FindingList& findings);

}  // namespace mmx
