#pragma once

#include <string>

#include "checker/container_check.h"

namespace mmx {

// The error file: one line per finding, "container:line: severity: message"
// (without ":line" for findings that belong to no line), then the totals.
// Raises std::runtime_error when the file cannot be written.
void WriteErrFile(const std::string& path, const CheckReport& report);

// The log: a self-contained HTML page, the summary first, then every finding
// with its line. Raises std::runtime_error when the file cannot be written.
void WriteHtmlLog(const std::string& path, const CheckReport& report);

}  // namespace mmx
