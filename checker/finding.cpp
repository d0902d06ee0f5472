#include "checker/finding.h"

#include <algorithm>
#include <tuple>

namespace mmx {

void FindingList::Add(Finding finding) {
  if (finding.severity == Severity::kError) {
    ++errors_;
    ++errors_by_origin_[static_cast<int>(finding.origin)];
  } else {
    ++warnings_;
  }
  if (kept_.size() < limit_) kept_.push_back(std::move(finding));
}

std::vector<Finding> FindingList::Sorted() const {
  std::vector<Finding> sorted = kept_;
  std::stable_sort(sorted.begin(), sorted.end(), [](const Finding& a, const Finding& b) {
    return std::tie(a.origin, a.line) < std::tie(b.origin, b.line);
  });
  return sorted;
}

const char* SeverityName(Severity severity) {
  return severity == Severity::kError ? "error" : "warning";
}

const char* OriginName(Origin origin) {
  switch (origin) {
    case Origin::kSetup: return "setup";
    case Origin::kContainer: return "container";
    case Origin::kDtd: return "DTD";
    case Origin::kRule: return "rule";
  }
  return "";
}

}  // namespace mmx
