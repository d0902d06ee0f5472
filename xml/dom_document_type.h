#pragma once
#include <string>
#include <string_view>

#include "xml/compact_text.h"
#include "xml/dom_node.h"

namespace xml {

class TDomNamedNodeMap;

// Public and system identifier of a declaration, and which of them it
// names (an identifier may be named and empty).
class TDomExternalId {
public:
  TDomExternalId() = default;
  TDomExternalId(TCompactText publicId, TCompactText systemId, bool hasPublicId, bool hasSystemId)
      : publicId_(publicId), systemId_(systemId), hasPublicId_(hasPublicId), hasSystemId_(hasSystemId)
  {
  }
  std::u16string publicId() const { return publicId_.str(); }
  std::u16string systemId() const { return systemId_.str(); }
  bool empty() const { return !hasPublicId_ && !hasSystemId_; }
  // " PUBLIC "p" "s"", " PUBLIC "p"" or " SYSTEM "s""; nothing when empty.
  void writeMarkup(std::u16string& out) const;

private:
  TCompactText publicId_;
  TCompactText systemId_;
  bool hasPublicId_ = false;
  bool hasSystemId_ = false;
};

// Writes `text` between quotation marks, or apostrophes when it holds a
// quotation mark.
void appendQuoted(std::u16string& out, std::u16string_view text);

// The internal and the external subset below a document type: their children
// are the declarations read from each.
class TDomInternalSubset : public TDomNode {
public:
  explicit TDomInternalSubset(TDomDocument* owner) : TDomNode(owner, INTERNAL_SUBSET_NODE, &node_names::kEmpty) {}
};

class TDomExternalSubset : public TDomNode {
public:
  explicit TDomExternalSubset(TDomDocument* owner) : TDomNode(owner, EXTERNAL_SUBSET_NODE, &node_names::kEmpty) {}
};

// The parsed content of an external general entity, and the declarations
// of an external parameter entity, each led by its text declaration. The
// parser reads no external entity on its own; whoever supplies one builds
// it into these.
class TDomExternalParsedEntity : public TDomNode {
public:
  explicit TDomExternalParsedEntity(TDomDocument* owner)
      : TDomNode(owner, EXTERNAL_PARSED_ENTITY_NODE, &node_names::kEmpty)
  {
  }
};

class TDomExternalParameterEntity : public TDomNode {
public:
  explicit TDomExternalParameterEntity(TDomDocument* owner)
      : TDomNode(owner, EXTERNAL_PARAMETER_ENTITY_NODE, &node_names::kEmpty)
  {
  }
};

// A general entity; its children are the replacement tree of an internal
// entity.
class TDomEntity : public TDomNode {
public:
  TDomEntity(TDomDocument* owner, const std::u16string* name, TDomExternalId externalId, TCompactText notationName)
      : TDomNode(owner, ENTITY_NODE, name), externalId_(externalId), notationName_(notationName)
  {
  }
  std::u16string publicId() const { return externalId_.publicId(); }
  std::u16string systemId() const { return externalId_.systemId(); }
  std::u16string notationName() const { return notationName_.str(); }
  bool isExternal() const { return !externalId_.empty(); }
  // An unparsed entity: external, with a notation.
  bool isUnparsed() const { return !notationName_.empty(); }
  // False when the replacement text did not parse as content.
  bool usable() const { return usable_; }
  void setUsable(bool usable) { usable_ = usable; }

  // What the declaration found in the replacement text: a '<' (which no
  // attribute value may reach), and an XML declaration that kept it from
  // parsing.
  bool hasLessThan() const { return hasLessThan_; }
  void setHasLessThan(bool value) { hasLessThan_ = value; }
  bool hasXmlDeclaration() const { return hasXmlDeclaration_; }
  void setHasXmlDeclaration(bool value) { hasXmlDeclaration_ = value; }
  // Declared in the internal subset itself, not in a parameter entity or the
  // external subset (what a standalone document may rely on).
  bool declaredInInternalSubset() const { return declaredInInternalSubset_; }
  void setDeclaredInInternalSubset(bool value) { declaredInInternalSubset_ = value; }

private:
  TDomExternalId externalId_;
  TCompactText notationName_;
  bool usable_ = true;
  bool hasLessThan_ = false;
  bool hasXmlDeclaration_ = false;
  bool declaredInInternalSubset_ = false;
};

// A parameter entity; an internal one keeps its replacement text, and its
// children are the declarations last read from it.
class TDomParameterEntity : public TDomNode {
public:
  TDomParameterEntity(TDomDocument* owner, const std::u16string* name, TCompactText replacementText,
                      TDomExternalId externalId)
      : TDomNode(owner, PARAMETER_ENTITY_NODE, name), replacementText_(replacementText), externalId_(externalId)
  {
  }
  std::u16string replacementText() const { return replacementText_.str(); }
  bool isExternal() const { return !externalId_.empty(); }
  std::u16string publicId() const { return externalId_.publicId(); }
  std::u16string systemId() const { return externalId_.systemId(); }
  std::u16string nodeValue() const override { return replacementText(); }

private:
  TCompactText replacementText_;
  TDomExternalId externalId_;
};

class TDomNotation : public TDomNode {
public:
  TDomNotation(TDomDocument* owner, const std::u16string* name, TDomExternalId externalId)
      : TDomNode(owner, NOTATION_NODE, name), externalId_(externalId)
  {
  }
  std::u16string publicId() const { return externalId_.publicId(); }
  std::u16string systemId() const { return externalId_.systemId(); }

private:
  TDomExternalId externalId_;
};

// The document type declaration. Its children are the internal and the
// external subset; it also keeps the maps of entities, parameter entities
// and notations.
class TDomDocumentType : public TDomNode {
public:
  TDomDocumentType(TDomDocument* owner, const std::u16string* name, TDomExternalId externalId);

  const std::u16string& name() const { return nodeName(); }
  std::u16string publicId() const { return externalId_.publicId(); }
  std::u16string systemId() const { return externalId_.systemId(); }
  // Whether the declaration names an external subset (SYSTEM or PUBLIC).
  bool hasExternalId() const { return !externalId_.empty(); }
  TDomInternalSubset* internalSubsetNode() const { return internalSubset_; }
  TDomExternalSubset* externalSubsetNode() const { return externalSubset_; }
  // The markup of the internal subset's declarations.
  std::u16string internalSubset() const;
  TDomNamedNodeMap* entities() const { return entities_; }
  TDomNamedNodeMap* parameterEntities() const { return parameterEntities_; }
  TDomNamedNodeMap* notations() const { return notations_; }
  // The maps follow a free-standing document type into its document.
  void moveMapsTo(TDomDocument* document);

protected:
  void writeMarkupStart(std::u16string& out) const override;
  bool markupIncludesChildren() const override { return false; }

private:
  TDomExternalId externalId_;
  TDomInternalSubset* internalSubset_;
  TDomExternalSubset* externalSubset_;
  TDomNamedNodeMap* entities_;
  TDomNamedNodeMap* parameterEntities_;
  TDomNamedNodeMap* notations_;
};

} // namespace xml
