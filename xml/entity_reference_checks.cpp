#include "xml/entity_reference_checks.h"

#include <cstdint>
#include <string>

#include "xml/dom.h"
#include "xml/entity_value.h"
#include "xml/parser_exceptions.h"

namespace xml {

namespace {

// Entities and tree nodes one check may pass; judged entities cost one
// visit, so only a replacement tree of millions of nodes reaches it.
constexpr std::size_t kMaxVisits = 4 * 1024 * 1024;

bool hasParameterEntityReference(const TDomNode& subset)
{
  for (const TDomNode* node = subset.firstChild(); node != nullptr; node = node->nextSibling())
    if (node->nodeType() == PARAMETER_ENTITY_REFERENCE_NODE)
      return true;
  return false;
}

// The next node of `root`'s subtree in document order, or null.
const TDomNode* nextInTree(const TDomNode* node, const TDomNode* root)
{
  if (node->firstChild() != nullptr)
    return node->firstChild();
  while (node != root) {
    if (node->nextSibling() != nullptr)
      return node->nextSibling();
    node = node->parentNode();
  }
  return nullptr;
}

} // namespace

TEntityReferenceChecks::TEntityReferenceChecks(const TDomDocument& document) : doctype_(document.doctype())
{
  const TDomXmlDeclaration* declaration = document.xmlDeclaration();
  internalDeclarationsOnly_ = declaration != nullptr && declaration->standalone() == u"yes";
  // Without the external subset and the parameter entities a processor
  // need not read, a declaration we do not have may still exist.
  declarationRequired_ = internalDeclarationsOnly_ || doctype_ == nullptr ||
                         (!doctype_->hasExternalId() && !hasParameterEntityReference(*doctype_->internalSubsetNode()));
}

const void* TEntityReferenceChecks::key(const TDomEntity* entity, TContext context)
{
  // Nodes are aligned, so the lowest bit is free for the context.
  return reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(entity) |
                                       (context == TContext::AttributeValue ? 1u : 0u));
}

void TEntityReferenceChecks::inContent(std::u16string_view name) { check(name, TContext::Content); }

void TEntityReferenceChecks::inAttributeValue(std::u16string_view name) { check(name, TContext::AttributeValue); }

// [60] DefaultDecl: the WFC "Entity Declared" asks the declaration to come
// first; the other constraints are those of any attribute value.
void TEntityReferenceChecks::inAttributeDefaults()
{
  if (doctype_ == nullptr)
    return;
  std::unordered_set<std::u16string_view> declared;
  for (const TDomNode* node = doctype_->internalSubsetNode()->firstChild(); node != nullptr;
       node = node->nextSibling()) {
    if (node->nodeType() == ENTITY_DECLARATION_NODE)
      declared.insert(node->nodeName());
    if (node->nodeType() != ATTRIBUTE_LIST_NODE)
      continue;
    for (const TDomNode* definition = node->firstChild(); definition != nullptr;
         definition = definition->nextSibling()) {
      std::u16string value = static_cast<const TDomAttrDefinition*>(definition)->defaultValue();
      for (std::size_t amp = value.find(u'&'); amp != std::u16string::npos; amp = value.find(u'&', amp + 1)) {
        std::size_t semicolon = value.find(u';', amp);
        std::u16string_view name = std::u16string_view(value).substr(amp + 1, semicolon - amp - 1);
        if (name.empty() || name.front() == u'#' || predefinedEntityValue(name) != nullptr)
          continue;
        if (declared.count(name) == 0) {
          if (declarationRequired_)
            throw EParserInvalidEntityNameError("Undeclared entity error.");
          continue;
        }
        check(name, TContext::AttributeValue);
      }
    }
  }
}

void TEntityReferenceChecks::check(std::u16string_view name, TContext context)
{
  visits_ = 0;
  enter(name, context);
  while (!stack_.empty()) {
    TFrame& top = stack_.back();
    if (top.next == top.references.size()) {
      open_.erase(key(top.entity, top.context));
      judged_.insert(key(top.entity, top.context));
      stack_.pop_back();
      continue;
    }
    TReference reference = top.references[top.next++];
    enter(reference.first, reference.second);
  }
}

void TEntityReferenceChecks::countVisit()
{
  if (++visits_ > kMaxVisits)
    throw EParserInvalidEntityNameError("Entity expansion limit error.");
}

void TEntityReferenceChecks::enter(std::u16string_view name, TContext context)
{
  countVisit();
  if (predefinedEntityValue(name) != nullptr)
    return;
  const auto* entity =
      doctype_ != nullptr ? static_cast<const TDomEntity*>(doctype_->entities()->lookup(name)) : nullptr;
  if (entity == nullptr || (internalDeclarationsOnly_ && !entity->declaredInInternalSubset())) {
    if (declarationRequired_)
      throw EParserInvalidEntityNameError("Undeclared entity error.");
    return;
  }
  // [68] WFC: Parsed Entity.
  if (entity->isUnparsed())
    throw EParserInvalidEntityNameError("Unparsed entity reference error.");
  // [41] WFC: No External Entity References (in content they are fine, and
  // we do not read them).
  if (entity->isExternal()) {
    if (context == TContext::AttributeValue)
      throw EParserInvalidAttributeValueError("External entity in attribute value error.");
    return;
  }
  if (judged_.count(key(entity, context)) != 0)
    return;
  // [68] WFC: No Recursion.
  if (open_.count(key(entity, context)) != 0)
    throw EParserInvalidEntityNameError("Recursive entity reference error.");
  if (!entity->usable()) {
    if (context == TContext::AttributeValue)
      throw entity->hasLessThan() ? EParserInvalidAttributeValueError("Less-than sign in attribute value error.")
                                  : EParserInvalidAttributeValueError("Invalid attribute value error.");
    if (entity->hasXmlDeclaration())
      throw EParserInvalidXmlDeclarationError("XML declaration in entity error.");
    // 4.3.2: the replacement text of an internal entity is content.
    throw EParserInvalidEntityNameError("Entity content not well-formed error.");
  }
  std::vector<TReference> references = referencesOf(*entity, context);
  if (references.empty()) {
    judged_.insert(key(entity, context));
    return;
  }
  open_.insert(key(entity, context));
  stack_.push_back({entity, context, std::move(references)});
}

std::vector<TEntityReferenceChecks::TReference> TEntityReferenceChecks::referencesOf(const TDomEntity& entity,
                                                                                    TContext context)
{
  std::vector<TReference> references;
  for (const TDomNode* node = entity.firstChild(); node != nullptr; node = nextInTree(node, &entity)) {
    countVisit();
    TDomNodeType type = node->nodeType();
    if (type == ENTITY_REFERENCE_NODE) {
      references.emplace_back(node->nodeName(), context);
    } else if (type != TEXT_NODE && context == TContext::AttributeValue) {
      // [41] WFC: No < in Attribute Values.
      throw EParserInvalidAttributeValueError("Less-than sign in attribute value error.");
    } else if (type == ELEMENT_NODE) {
      TDomNamedNodeMap* attributes = const_cast<TDomNode*>(node)->attributes();
      for (int i = 0; i < attributes->length(); ++i)
        for (const TDomNode* part = attributes->item(i)->firstChild(); part != nullptr; part = part->nextSibling())
          if (part->nodeType() == ENTITY_REFERENCE_NODE)
            references.emplace_back(part->nodeName(), TContext::AttributeValue);
    }
  }
  return references;
}

} // namespace xml
