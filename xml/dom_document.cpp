#include "xml/dom_document.h"

#include "xml/char_classes.h"
#include "xml/dom_attr.h"
#include "xml/dom_character_data.h"
#include "xml/dom_document_type.h"
#include "xml/dom_element.h"
#include "xml/dom_exceptions.h"
#include "xml/dom_named_node_map.h"
#include "xml/dom_node_list.h"
#include "xml/dom_tree_walker.h"

namespace xml {

namespace {

const std::u16string kXmlNamespace = u"http://www.w3.org/XML/1998/namespace";
const std::u16string kXmlnsNamespace = u"http://www.w3.org/2000/xmlns/";

void requireName(std::u16string_view name)
{
  if (!isXmlName(name))
    throw EInvalidCharacterError();
}

bool spellsXml(std::u16string_view target)
{
  return target.size() == 3 && (target[0] | 0x20) == u'x' && (target[1] | 0x20) == u'm' && (target[2] | 0x20) == u'l';
}

} // namespace

void TDomXmlDeclaration::writeMarkupStart(std::u16string& out) const
{
  out += u"<?xml version=\"";
  version_.appendTo(out);
  out += u'"';
  if (!encoding_.empty()) {
    out += u" encoding=\"";
    encoding_.appendTo(out);
    out += u'"';
  }
  if (!standalone_.empty()) {
    out += u" standalone=\"";
    standalone_.appendTo(out);
    out += u'"';
  }
  out += u"?>";
}

TDomDocument::TDomDocument(TDomImplementation* implementation)
    : TDomNode(this, DOCUMENT_NODE, &node_names::kDocument), implementation_(implementation),
      names_(std::make_unique<TNameTable>())
{
}

TDomDocument::~TDomDocument() = default;

TDomNode* TDomDocument::firstChildOfType(TDomNodeType type) const
{
  for (TDomNode* child = firstChild(); child != nullptr; child = child->nextSibling())
    if (child->nodeType() == type)
      return child;
  return nullptr;
}

TDomElement* TDomDocument::documentElement() const
{
  return static_cast<TDomElement*>(firstChildOfType(ELEMENT_NODE));
}

TDomDocumentType* TDomDocument::doctype() const
{
  return static_cast<TDomDocumentType*>(firstChildOfType(DOCUMENT_TYPE_NODE));
}

TDomXmlDeclaration* TDomDocument::xmlDeclaration() const
{
  TDomNode* first = firstChild();
  return first != nullptr && first->nodeType() == XML_DECLARATION_NODE ? static_cast<TDomXmlDeclaration*>(first)
                                                                       : nullptr;
}

const std::u16string* TDomDocument::internName(std::u16string_view name)
{
  std::size_t slot = name.empty() ? 0
                                  : (name.size() * 31 + name.front() * 7 + name.back() + name[name.size() / 2] * 3) %
                                        kRecentNames;
  const std::u16string* recent = recentNames_[slot];
  if (recent != nullptr && *recent == name)
    return recent;
  auto it = names_->find(name);
  if (it == names_->end())
    it = names_->emplace(name).first;
  recentNames_[slot] = &*it;
  return &*it;
}

const std::u16string* TDomDocument::findName(std::u16string_view name) const
{
  auto it = names_->find(name);
  return it == names_->end() ? nullptr : &*it;
}

TDomElement* TDomDocument::createElement(std::u16string_view tagName)
{
  requireName(tagName);
  return arena_.make<TDomElement>(this, internName(tagName));
}

TDomElement* TDomDocument::createElementNS(std::u16string_view namespaceURI, std::u16string_view qualifiedName)
{
  requireName(qualifiedName);
  if (!isXmlQName(qualifiedName))
    throw ENamespaceError();
  std::size_t colon = qualifiedName.find(u':');
  std::u16string_view prefix = colon == std::u16string_view::npos ? std::u16string_view() : qualifiedName.substr(0, colon);
  if (!prefix.empty() && namespaceURI.empty())
    throw ENamespaceError();
  if (prefix == u"xml" && namespaceURI != kXmlNamespace)
    throw ENamespaceError();
  if ((prefix == u"xmlns" || qualifiedName == u"xmlns") != (namespaceURI == kXmlnsNamespace))
    throw ENamespaceError();
  return arena_.make<TDomElement>(this, internName(qualifiedName), internName(namespaceURI), true);
}

TDomAttr* TDomDocument::createAttribute(std::u16string_view name)
{
  requireName(name);
  return arena_.make<TDomAttr>(this, internName(name));
}

TDomText* TDomDocument::createTextNode(std::u16string_view data)
{
  return arena_.make<TDomText>(this, storeText(data));
}

TDomComment* TDomDocument::createComment(std::u16string_view data)
{
  return arena_.make<TDomComment>(this, storeText(data));
}

TDomCDATASection* TDomDocument::createCDATASection(std::u16string_view data)
{
  return arena_.make<TDomCDATASection>(this, storeText(data));
}

TDomProcessingInstruction* TDomDocument::createProcessingInstruction(std::u16string_view target,
                                                                     std::u16string_view data)
{
  requireName(target);
  if (spellsXml(target))
    throw EInvalidCharacterError();
  return arena_.make<TDomProcessingInstruction>(this, internName(target), storeText(data));
}

TDomEntityReference* TDomDocument::createEntityReference(std::u16string_view name)
{
  requireName(name);
  return arena_.make<TDomEntityReference>(this, internName(name));
}

TDomDocumentFragment* TDomDocument::createDocumentFragment() { return arena_.make<TDomDocumentFragment>(this); }

TDomDocumentType* TDomDocument::createDocumentType(std::u16string_view name, std::u16string_view publicId,
                                                   std::u16string_view systemId)
{
  requireName(name);
  // A document type that names a public identifier names a system literal
  // as well, even an empty one.
  TDomExternalId externalId(storeText(publicId), storeText(systemId), !publicId.empty(),
                            !publicId.empty() || !systemId.empty());
  auto* doctype = arena_.make<TDomDocumentType>(this, internName(name), externalId);
  doctype->setReadOnly(true);
  return doctype;
}

TDomXmlDeclaration* TDomDocument::createXmlDeclaration(std::u16string_view version, std::u16string_view encoding,
                                                       std::u16string_view standalone)
{
  if (!isXmlVersionNum(version) || (!encoding.empty() && !isXmlEncName(encoding)) ||
      !(standalone.empty() || standalone == u"yes" || standalone == u"no"))
    throw EInvalidCharacterError();
  return arena_.make<TDomXmlDeclaration>(this, storeText(version), storeText(encoding), storeText(standalone));
}

TDomElementsNodeList* TDomDocument::elementsByTagName(TDomNode* start, std::u16string_view name)
{
  auto key = std::make_pair(static_cast<const TDomNode*>(start), std::u16string(name));
  auto it = elementLists_.find(key);
  if (it == elementLists_.end())
    it = elementLists_.emplace(key, std::make_unique<TDomElementsNodeList>(std::u16string(name), start)).first;
  return it->second.get();
}

TDomElementsNodeList* TDomDocument::getElementsByTagName(std::u16string_view name)
{
  return elementsByTagName(this, name);
}

TDomTreeWalker* TDomDocument::createTreeWalker(TDomNode* root, TDomNodeTypeSet whatToShow,
                                               bool expandEntityReferences, TDomNodeFilter* filter)
{
  if (root == nullptr)
    throw ENotSupportedError();
  return arena_.make<TDomTreeWalker>(root, whatToShow, expandEntityReferences, filter);
}

void TDomDocument::clear()
{
  first_ = last_ = nullptr;
  childList_ = nullptr;
  elementLists_.clear();
  arena_.release();
  names_->clear();
  recentNames_.fill(nullptr);
  adoptedNames_.clear();
  noteMutation();
}

void TDomDocument::adopt(TDomDocument& holder, TDomNode* subtree)
{
  arena_.adopt(holder.arena_);
  adoptedNames_.push_back(std::move(holder.names_));
  holder.names_ = std::make_unique<TNameTable>();
  for (auto& names : holder.adoptedNames_)
    adoptedNames_.push_back(std::move(names));
  holder.adoptedNames_.clear();
  // Pre-order walk over the subtree, including every node's child list.
  TDomNode* node = subtree;
  while (node != nullptr) {
    node->owner_ = this;
    if (node->first_ != nullptr) {
      node = node->first_;
      continue;
    }
    while (node != subtree && node->next_ == nullptr)
      node = node->parent_;
    node = node == subtree ? nullptr : node->next_;
  }
  if (subtree->nodeType() == DOCUMENT_TYPE_NODE)
    static_cast<TDomDocumentType*>(subtree)->moveMapsTo(this);
}

void TDomDocument::writeMarkupAfterChild(std::u16string& out) const { out += u'\n'; }

void TDomDocument::checkChildKind(const TDomNode* newChild, const TDomNode* replaced) const
{
  TDomNodeType type = newChild->nodeType();
  if (type != ELEMENT_NODE && type != DOCUMENT_TYPE_NODE && type != XML_DECLARATION_NODE)
    return;
  TDomNode* existing = firstChildOfType(type);
  if (existing != nullptr && existing != replaced && existing != newChild)
    throw EHierarchyRequestError();
}

} // namespace xml
