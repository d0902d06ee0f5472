#include "app/container/container_fields.h"

#include "platform/ansi.h"
#include "xml/dom.h"

namespace app {

std::string ElementValue(const xml::TDomNode& element) {
  std::u16string markup;
  for (const xml::TDomNode* child = element.firstChild(); child; child = child->nextSibling())
    markup += child->markup();
  return platform::Utf16ToAnsi(markup);
}

}  // namespace app
