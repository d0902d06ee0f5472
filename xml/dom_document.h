#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "xml/compact_text.h"
#include "xml/dom_arena.h"
#include "xml/dom_node.h"

namespace xml {

class TDomAttr;
class TDomCDATASection;
class TDomComment;
class TDomDocumentType;
class TDomElement;
class TDomElementsNodeList;
class TDomEntityReference;
class TDomImplementation;
class TDomNodeFilter;
class TDomProcessingInstruction;
class TDomText;
class TDomTreeWalker;

class TDomDocumentFragment : public TDomNode {
public:
  explicit TDomDocumentFragment(TDomDocument* owner)
      : TDomNode(owner, DOCUMENT_FRAGMENT_NODE, &node_names::kDocumentFragment)
  {
  }
};

class TDomXmlDeclaration : public TDomNode {
public:
  TDomXmlDeclaration(TDomDocument* owner, TCompactText version, TCompactText encoding, TCompactText standalone)
      : TDomNode(owner, XML_DECLARATION_NODE, &node_names::kXmlDeclaration), version_(version), encoding_(encoding),
        standalone_(standalone)
  {
  }
  std::u16string version() const { return version_.str(); }
  std::u16string encoding() const { return encoding_.str(); }
  std::u16string standalone() const { return standalone_.str(); }

protected:
  void writeMarkupStart(std::u16string& out) const override;

private:
  TCompactText version_;
  TCompactText encoding_;
  TCompactText standalone_;
};

// A document: the root of a tree and the owner of every node, list and
// walker it made. It belongs to the TDomImplementation that created it.
class TDomDocument : public TDomNode {
public:
  explicit TDomDocument(TDomImplementation* implementation);
  virtual ~TDomDocument();

  TDomImplementation* domImplementation() const { return implementation_; }
  // The first element child, or null.
  TDomElement* documentElement() const;
  // The first document-type child, or null.
  TDomDocumentType* doctype() const;
  // The first child if it is an XML declaration, else null.
  TDomXmlDeclaration* xmlDeclaration() const;

  // Factories. Names must be XML Names, else EInvalidCharacterError.
  TDomElement* createElement(std::u16string_view tagName);
  // Namespace checks raise ENamespaceError.
  TDomElement* createElementNS(std::u16string_view namespaceURI, std::u16string_view qualifiedName);
  TDomAttr* createAttribute(std::u16string_view name);
  TDomText* createTextNode(std::u16string_view data);
  TDomComment* createComment(std::u16string_view data);
  TDomCDATASection* createCDATASection(std::u16string_view data);
  // Also rejects a target that spells "xml" in any case.
  TDomProcessingInstruction* createProcessingInstruction(std::u16string_view target, std::u16string_view data);
  TDomEntityReference* createEntityReference(std::u16string_view name);
  TDomDocumentFragment* createDocumentFragment();
  // A read-only document type with its two (empty) subset nodes.
  TDomDocumentType* createDocumentType(std::u16string_view name, std::u16string_view publicId,
                                       std::u16string_view systemId);
  // Rejects a version that is not a VersionNum, a non-empty encoding that is
  // not an EncName and a standalone value other than "yes", "no" or empty.
  TDomXmlDeclaration* createXmlDeclaration(std::u16string_view version, std::u16string_view encoding,
                                           std::u16string_view standalone);
  // Any other node class (the declaration nodes of a document type); the
  // node goes into this document's pool like every other.
  template <class T, class... Args>
  T* createNode(Args&&... args)
  {
    return arena_.make<T>(this, std::forward<Args>(args)...);
  }

  // The live list of all elements named `name` ("*": all) below the
  // document; the same object for the same name.
  TDomElementsNodeList* getElementsByTagName(std::u16string_view name);
  // Raises ENotSupportedError for a null root.
  TDomTreeWalker* createTreeWalker(TDomNode* root, TDomNodeTypeSet whatToShow, bool expandEntityReferences,
                                   TDomNodeFilter* filter);

  // Empties the child list and frees every node, list and walker made so far.
  void clear();

  // The file the parser read the document from; empty otherwise.
  const std::string& fileName() const { return fileName_; }
  void setFileName(std::string fileName) { fileName_ = std::move(fileName); }

  // The pool behind the factories, the interned names, and the stamp that
  // changes on every change of the tree (live lists compare it).
  TDomArena& arena() { return arena_; }
  const std::u16string* internName(std::u16string_view name);
  const std::u16string* findName(std::u16string_view name) const;
  TCompactText storeText(std::u16string_view units) { return TCompactText::store(arena_, units); }
  std::uint64_t mutationStamp() const { return mutationStamp_; }
  void noteMutation() { ++mutationStamp_; }
  // The list `start.getElementsByTagName(name)` hands out.
  TDomElementsNodeList* elementsByTagName(TDomNode* start, std::u16string_view name);
  // Takes over the storage of another document (a holder of a free-standing
  // document type) and becomes the owner of `subtree`.
  void adopt(TDomDocument& holder, TDomNode* subtree);

protected:
  void writeMarkupAfterChild(std::u16string& out) const override;
  void checkChildKind(const TDomNode* newChild, const TDomNode* replaced) const override;

private:
  struct TNameHash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view s) const { return std::hash<std::u16string_view>{}(s); }
  };
  using TNameTable = std::unordered_set<std::u16string, TNameHash, std::equal_to<>>;

  TDomNode* firstChildOfType(TDomNodeType type) const;

  // The last names interned, by a hash of their length and ends: most
  // documents use a few dozen names over and over.
  static constexpr std::size_t kRecentNames = 256;
  std::array<const std::u16string*, kRecentNames> recentNames_{};

  TDomImplementation* implementation_;
  std::string fileName_;
  TDomArena arena_;
  std::unique_ptr<TNameTable> names_;
  std::vector<std::unique_ptr<TNameTable>> adoptedNames_;
  std::map<std::pair<const TDomNode*, std::u16string>, std::unique_ptr<TDomElementsNodeList>, std::less<>>
      elementLists_;
  std::uint64_t mutationStamp_ = 1;
};

} // namespace xml
