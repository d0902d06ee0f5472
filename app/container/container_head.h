#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ftp {
class TFileSource;
}

namespace app {

// The identifying fields of a container, read from its head: the first
// element named project-info, and after its start, in document order, the
// first sw-ident (the remote name) and the first ecu-ident with the first
// sw-ident after that (the container number). Names match without regard to
// ASCII letter case; a value is the element's content written as XML.
struct ContainerHead {
  bool projectInfo = false;
  std::optional<std::string> swIdent;
  std::optional<std::string> ecuIdent;
  std::optional<std::string> swIdentAfterEcu;

  // "<ecu-ident>-<sw-ident>", or empty when the container lacks either.
  std::string Ident() const;
};

// Reads no further than the fields need. Raises the parser's errors when the
// markup before them is not well-formed.
ContainerHead ReadContainerHead(ftp::TFileSource& container);

// The values of every EMAIL element below the root (the name exactly so), in
// document order; reads the whole container, keeping only those values.
std::vector<std::string> ReadRecipients(ftp::TFileSource& container);

}  // namespace app
