#include "xml/entity_value.h"

#include <unordered_set>
#include <vector>

#include "xml/dom_character_data.h"
#include "xml/dom_document.h"
#include "xml/dom_document_type.h"
#include "xml/dom_exceptions.h"
#include "xml/dom_named_node_map.h"

namespace xml {

namespace {

constexpr const char* kLimitMessage = "Entity expansion limit error.";

const TDomEntity* findEntity(const TDomDocument& document, std::u16string_view name)
{
  const TDomDocumentType* doctype = document.doctype();
  if (doctype == nullptr)
    return nullptr;
  return static_cast<const TDomEntity*>(doctype->entities()->getNamedItem(name));
}

// Expands with an explicit stack, so a long chain of references costs heap,
// not call depth.
class TEntityExpansion {
public:
  TEntityExpansion(const TDomDocument& document, std::u16string& out) : document_(document), out_(out) {}

  void run(std::u16string_view name)
  {
    enter(name);
    while (!stack_.empty()) {
      TFrame& top = stack_.back();
      const TDomNode* node = top.next;
      if (node == nullptr) {
        active_.erase(top.entity);
        stack_.pop_back();
        continue;
      }
      top.next = node->nextSibling();
      countVisit();
      if (node->nodeType() == TEXT_NODE)
        static_cast<const TDomText*>(node)->appendDataTo(out_);
      else if (node->nodeType() == ENTITY_REFERENCE_NODE)
        enter(node->nodeName());
      else
        throw EInvalidEntityReferenceError();
      if (out_.size() > kMaxExpandedValueUnits)
        throw EInvalidEntityReferenceError(kLimitMessage);
    }
  }

private:
  struct TFrame {
    const TDomEntity* entity;
    const TDomNode* next;
  };

  void countVisit()
  {
    if (++visited_ > kMaxExpandedValueNodes)
      throw EInvalidEntityReferenceError(kLimitMessage);
  }

  void enter(std::u16string_view name)
  {
    countVisit();
    const TDomEntity* entity = findEntity(document_, name);
    if (entity == nullptr) {
      const char16_t* predefined = predefinedEntityValue(name);
      if (predefined == nullptr)
        throw EInvalidEntityReferenceError();
      out_ += predefined;
      return;
    }
    if (entity->isExternal())
      throw ENoExternalEntityAllowedError();
    if (!entity->usable() || !active_.insert(entity).second)
      throw EInvalidEntityReferenceError();
    stack_.push_back({entity, entity->firstChild()});
  }

  const TDomDocument& document_;
  std::u16string& out_;
  std::vector<TFrame> stack_;
  std::unordered_set<const TDomEntity*> active_;
  std::size_t visited_ = 0;
};

} // namespace

const char16_t* predefinedEntityValue(std::u16string_view name)
{
  if (name == u"lt")
    return u"<";
  if (name == u"gt")
    return u">";
  if (name == u"amp")
    return u"&";
  if (name == u"apos")
    return u"'";
  if (name == u"quot")
    return u"\"";
  return nullptr;
}

void appendEntityValue(const TDomDocument& document, std::u16string_view name, std::u16string& out)
{
  TEntityExpansion(document, out).run(name);
}

} // namespace xml
