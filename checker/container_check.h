#pragma once

#include <cstddef>
#include <string>

#include "checker/finding.h"
#include "checker/mmx_command.h"

namespace mmx {

enum class StepResult { kNotRun, kPassed, kFailed };

// Everything the log and the error file report about one check.
struct CheckReport {
  std::string title;
  std::string container;       // as the command names it
  std::string full_path;       // resolved against the working directory
  std::string encoding;        // how the text was decoded
  std::string public_id;       // of the document type declaration
  std::string dtd;             // the DTD file validated against
  std::string rules_file;
  std::size_t rules_read = 0;
  std::size_t rules_applied = 0;
  StepResult read = StepResult::kNotRun;
  StepResult well_formed = StepResult::kNotRun;
  StepResult valid = StepResult::kNotRun;
  StepResult rules = StepResult::kNotRun;
  FindingList findings;
};

// Runs the check the command describes: read the container, parse it,
// validate it against its DTD, apply the rules. Every problem with the
// container or the checker's own files becomes a finding, so this raises
// only when memory runs out.
CheckReport CheckContainer(const MmxCommand& command);

}  // namespace mmx
