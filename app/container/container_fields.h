#pragma once

#include <string>
#include <string_view>

namespace xml {
class TDomDocument;
class TDomNode;
class TDomTreeWalker;
}  // namespace xml

namespace app {

// The content of an element written as XML (the markup of each child, in
// order), as Windows-1252 text; empty for an element without children.
std::string ElementValue(const xml::TDomNode& element);

// Walks a parsed container, in document order, through its elements: first
// to the head element "project-info", then forward to the fields after it
// ("ecu-ident", "sw-ident"). Names match without regard to ASCII letter case.
class ContainerFieldSearch {
 public:
  explicit ContainerFieldSearch(xml::TDomDocument& container);

  // Moves to the first element named project-info, starting with the root
  // element; false when the document has none.
  bool FindProjectInfo();
  // Moves to project-info's first child element; stays when it has none.
  void EnterProjectInfo();
  // Moves to the first element named `name` from the current one on (the
  // current one included), through the rest of the document; false when none.
  bool FindForward(std::string_view name);
  // The value of the element the search stands on.
  std::string CurrentValue() const;

 private:
  bool CurrentIs(std::string_view name) const;

  xml::TDomTreeWalker* walker_;
};

}  // namespace app
