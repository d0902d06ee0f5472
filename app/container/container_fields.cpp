#include "app/container/container_fields.h"

#include "app/ascii_case.h"
#include "platform/ansi.h"
#include "xml/dom.h"

namespace app {
namespace {

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) { return AsciiLower(a) == AsciiLower(b); }

}  // namespace

std::string ElementValue(const xml::TDomNode& element) {
  std::u16string markup;
  for (const xml::TDomNode* child = element.firstChild(); child; child = child->nextSibling())
    markup += child->markup();
  return platform::Utf16ToAnsi(markup);
}

ContainerFieldSearch::ContainerFieldSearch(xml::TDomDocument& container)
    : walker_(container.createTreeWalker(&container, {xml::ELEMENT_NODE, xml::DOCUMENT_NODE}, true, nullptr)) {}

bool ContainerFieldSearch::CurrentIs(std::string_view name) const {
  return EqualIgnoringAsciiCase(platform::Utf16ToAnsi(walker_->currentNode()->nodeName()), name);
}

bool ContainerFieldSearch::FindProjectInfo() {
  do {
    if (!walker_->nextNode()) return false;
  } while (!CurrentIs("project-info"));
  return true;
}

void ContainerFieldSearch::EnterProjectInfo() { walker_->firstChild(); }

bool ContainerFieldSearch::FindForward(std::string_view name) {
  while (!CurrentIs(name))
    if (!walker_->nextNode()) return false;
  return true;
}

std::string ContainerFieldSearch::CurrentValue() const { return ElementValue(*walker_->currentNode()); }

}  // namespace app
