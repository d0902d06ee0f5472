#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace mmx {

enum class Severity { kError, kWarning };

// Which step of the check produced a finding.
enum class Origin {
  kSetup,      // the command, the script, the catalog, the rule file, the output files
  kContainer,  // reading the container and its well-formedness
  kDtd,        // validation against the DTD
  kRule,       // a rule of the rule file
};
inline constexpr int kOriginCount = 4;

struct Finding {
  Severity severity;
  Origin origin;
  long line;  // line in the container; 0 when the finding belongs to no line of it
  std::string message;
};

// The findings of one check. Every finding is counted, but only the first
// `limit` are kept, so a container with a million bad lines gives a log of
// reasonable size and a true summary.
class FindingList {
 public:
  explicit FindingList(std::size_t limit = 1000) : limit_(limit) {}

  void Add(Finding finding);
  void SetLimit(std::size_t limit) { limit_ = limit; }

  const std::vector<Finding>& Kept() const { return kept_; }
  // The kept findings by step (setup, container, DTD, rules), each step by line.
  std::vector<Finding> Sorted() const;
  std::size_t Errors() const { return errors_; }
  std::size_t Warnings() const { return warnings_; }
  std::size_t Total() const { return errors_ + warnings_; }
  // Counts the errors of one origin, kept or not.
  std::size_t ErrorsFrom(Origin origin) const { return errors_by_origin_[static_cast<int>(origin)]; }

 private:
  std::size_t limit_;
  std::vector<Finding> kept_;
  std::size_t errors_ = 0;
  std::size_t warnings_ = 0;
  std::size_t errors_by_origin_[kOriginCount] = {};
};

const char* SeverityName(Severity severity);
const char* OriginName(Origin origin);

}  // namespace mmx
