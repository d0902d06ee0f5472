#pragma once

#include <string>

#include "checker/finding.h"
#include "checker/xml_handles.h"

namespace mmx {

struct ParsedContainer {
  XmlDoc document;        // null when the text is not well-formed
  std::string public_id;  // of the document type declaration, as written
  std::string dtd;        // the DTD file the catalog gave; empty when none was loaded
  bool validated = false; // the DTD was loaded and the document checked against it
};

// Parses the container's text. Well-formedness errors and, when `validate`
// holds, validity errors against the DTD go to `findings` with their lines.
// The DTD is looked up only in the catalog at `catalog_path` (by public, then
// system identifier); a DTD it does not know gives one finding instead of a
// validity error for every element. `encoding` (empty: as the text says)
// overrides the text's own. Nothing is fetched from the network. Raises only
// when memory runs out.
ParsedContainer ParseContainer(const std::string& path, const std::string& text, const std::string& encoding,
                               const std::string& catalog_path, bool validate, FindingList& findings);

}  // namespace mmx
