#pragma once

#include <string>

namespace xml {
class TDomDocument;
class TDomImplementation;
class TDomParser;
}  // namespace xml

namespace app {

// A file parsed into a new document of the parser's implementation, freed
// again when this goes, so reading a container per send does not leave a
// document behind each time.
class ParsedDocument {
 public:
  // Raises the parser's errors (a missing file, a document that is not well-formed).
  ParsedDocument(xml::TDomParser& parser, const std::string& file);
  ~ParsedDocument();
  ParsedDocument(const ParsedDocument&) = delete;
  ParsedDocument& operator=(const ParsedDocument&) = delete;

  xml::TDomDocument& document() const { return *document_; }

 private:
  xml::TDomImplementation& implementation_;
  xml::TDomDocument* document_;
};

}  // namespace app
