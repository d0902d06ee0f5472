#pragma once
#include <cstdint>
#include <string>

#include "xml/compact_text.h"
#include "xml/dom_document_type.h"
#include "xml/dom_node.h"
#include "xml/name_index.h"

// The declaration nodes below a document type's subsets. They record what
// the declarations say and write it back as markup; nothing validates
// against them.
namespace xml {

// <!ENTITY name "value"> or an external entity, optionally unparsed.
class TDomEntityDeclaration : public TDomNode {
public:
  TDomEntityDeclaration(TDomDocument* owner, const std::u16string* name, TCompactText value, TDomExternalId externalId,
                        TCompactText notationName)
      : TDomEntityDeclaration(owner, ENTITY_DECLARATION_NODE, name, value, externalId, notationName)
  {
  }
  // The literal value as written between its quotes.
  std::u16string value() const { return value_.str(); }
  std::u16string publicId() const { return externalId_.publicId(); }
  std::u16string systemId() const { return externalId_.systemId(); }
  std::u16string notationName() const { return notationName_.str(); }

protected:
  TDomEntityDeclaration(TDomDocument* owner, TDomNodeType type, const std::u16string* name, TCompactText value,
                        TDomExternalId externalId, TCompactText notationName)
      : TDomNode(owner, type, name), value_(value), externalId_(externalId), notationName_(notationName)
  {
  }
  void writeMarkupStart(std::u16string& out) const override;

private:
  TCompactText value_;
  TDomExternalId externalId_;
  TCompactText notationName_;
};

// <!ENTITY % name ...>
class TDomParameterEntityDeclaration : public TDomEntityDeclaration {
public:
  TDomParameterEntityDeclaration(TDomDocument* owner, const std::u16string* name, TCompactText value,
                                 TDomExternalId externalId)
      : TDomEntityDeclaration(owner, PARAMETER_ENTITY_DECLARATION_NODE, name, value, externalId, TCompactText())
  {
  }
};

enum class TContentKind : std::uint8_t { Empty = 0, Any = 1, Mixed = 2, Children = 3 };

// <!ELEMENT name contentspec>; mixed and element content have particle
// children.
class TDomElementTypeDeclaration : public TDomNode {
public:
  TDomElementTypeDeclaration(TDomDocument* owner, const std::u16string* name, TContentKind kind)
      : TDomNode(owner, ELEMENT_TYPE_DECLARATION_NODE, name), kind_(kind)
  {
  }
  TContentKind contentKind() const { return kind_; }

protected:
  void writeMarkupStart(std::u16string& out) const override;
  void writeMarkupEnd(std::u16string& out) const override;

private:
  TContentKind kind_;
};

// A node of a content model: a group or an element name, with its
// occurrence mark ('?', '*', '+' or none).
class TDomContentParticle : public TDomNode {
public:
  char16_t occurrence() const { return occurrence_; }
  void setOccurrence(char16_t occurrence) { occurrence_ = occurrence; }

protected:
  TDomContentParticle(TDomDocument* owner, TDomNodeType type, const std::u16string* name)
      : TDomNode(owner, type, name)
  {
  }
  // The separator before this particle inside its group, if any.
  void writeSeparator(std::u16string& out) const;
  void writeMarkupEnd(std::u16string& out) const override;

private:
  char16_t occurrence_ = 0;
};

class TDomSequenceParticle : public TDomContentParticle {
public:
  explicit TDomSequenceParticle(TDomDocument* owner)
      : TDomContentParticle(owner, SEQUENCE_PARTICLE_NODE, &node_names::kEmpty)
  {
  }

protected:
  void writeMarkupStart(std::u16string& out) const override;
};

class TDomChoiceParticle : public TDomContentParticle {
public:
  explicit TDomChoiceParticle(TDomDocument* owner)
      : TDomContentParticle(owner, CHOICE_PARTICLE_NODE, &node_names::kEmpty)
  {
  }

protected:
  void writeMarkupStart(std::u16string& out) const override;
};

// (#PCDATA | name | ...)*
class TDomPcdataChoiceParticle : public TDomContentParticle {
public:
  explicit TDomPcdataChoiceParticle(TDomDocument* owner)
      : TDomContentParticle(owner, PCDATA_CHOICE_PARTICLE_NODE, &node_names::kEmpty)
  {
  }

protected:
  void writeMarkupStart(std::u16string& out) const override;
};

class TDomElementParticle : public TDomContentParticle {
public:
  TDomElementParticle(TDomDocument* owner, const std::u16string* name)
      : TDomContentParticle(owner, ELEMENT_PARTICLE_NODE, name)
  {
  }

protected:
  void writeMarkupStart(std::u16string& out) const override;
  void writeMarkupEnd(std::u16string& out) const override;
};

class TDomAttrDefinition;

// <!ATTLIST element ...>; its children are the definitions.
class TDomAttrList : public TDomNode {
public:
  TDomAttrList(TDomDocument* owner, const std::u16string* elementName)
      : TDomNode(owner, ATTRIBUTE_LIST_NODE, elementName)
  {
  }
  // The definition named `name` that addDefinition took, or null.
  TDomNode* findDefinition(std::u16string_view name) const { return definitions_.find(name); }
  // Appends without looking for a namesake; the caller has checked (the
  // first definition of a name is binding).
  void addDefinition(TDomAttrDefinition* definition);

protected:
  void writeMarkupStart(std::u16string& out) const override;
  void writeMarkupEnd(std::u16string& out) const override;

private:
  TNameIndex definitions_;
};

// One attribute definition: name, type ("CDATA", "ID", ..., "NOTATION", or
// empty for an enumeration), default kind ("#REQUIRED", "#IMPLIED",
// "#FIXED" or empty) and default value. Enumerated names are children.
class TDomAttrDefinition : public TDomNode {
public:
  TDomAttrDefinition(TDomDocument* owner, const std::u16string* name, TCompactText attributeType,
                     TCompactText defaultKind, TCompactText defaultValue)
      : TDomNode(owner, ATTRIBUTE_DEFINITION_NODE, name), attributeType_(attributeType), defaultKind_(defaultKind),
        defaultValue_(defaultValue)
  {
  }
  std::u16string attributeType() const { return attributeType_.str(); }
  std::u16string defaultKind() const { return defaultKind_.str(); }
  std::u16string defaultValue() const { return defaultValue_.str(); }

protected:
  void writeMarkupStart(std::u16string& out) const override;
  void writeMarkupEnd(std::u16string& out) const override;

private:
  bool enumerated() const { return attributeType_.empty() || attributeType_.equals(u"NOTATION"); }

  TCompactText attributeType_;
  TCompactText defaultKind_;
  TCompactText defaultValue_;
};

// A name of an enumeration or a NOTATION type.
class TDomNametoken : public TDomNode {
public:
  TDomNametoken(TDomDocument* owner, const std::u16string* name) : TDomNode(owner, NAMETOKEN_NODE, name) {}

protected:
  void writeMarkupStart(std::u16string& out) const override;
};

// <?xml version="..." encoding="..."?> at the start of an external subset.
class TDomTextDeclaration : public TDomNode {
public:
  TDomTextDeclaration(TDomDocument* owner, TCompactText version, TCompactText encoding)
      : TDomNode(owner, TEXT_DECLARATION_NODE, &node_names::kEmpty), version_(version), encoding_(encoding)
  {
  }
  std::u16string version() const { return version_.str(); }
  std::u16string encoding() const { return encoding_.str(); }

protected:
  void writeMarkupStart(std::u16string& out) const override;

private:
  TCompactText version_;
  TCompactText encoding_;
};

class TDomNotationDeclaration : public TDomNode {
public:
  TDomNotationDeclaration(TDomDocument* owner, const std::u16string* name, TDomExternalId externalId)
      : TDomNode(owner, NOTATION_DECLARATION_NODE, name), externalId_(externalId)
  {
  }
  std::u16string publicId() const { return externalId_.publicId(); }
  std::u16string systemId() const { return externalId_.systemId(); }

protected:
  void writeMarkupStart(std::u16string& out) const override;

private:
  TDomExternalId externalId_;
};

// <![INCLUDE[ ... ]]> with the included declarations as children, or
// <![IGNORE[ ... ]]> keeping the ignored text.
class TDomConditionalSection : public TDomNode {
public:
  TDomConditionalSection(TDomDocument* owner, const std::u16string* keyword, TCompactText ignoredText)
      : TDomNode(owner, CONDITIONAL_SECTION_NODE, keyword), ignoredText_(ignoredText)
  {
  }
  bool included() const { return nodeName() == u"INCLUDE"; }

protected:
  void writeMarkupStart(std::u16string& out) const override;
  void writeMarkupEnd(std::u16string& out) const override;

private:
  TCompactText ignoredText_;
};

// %name; between declarations.
class TDomParameterEntityReference : public TDomNode {
public:
  TDomParameterEntityReference(TDomDocument* owner, const std::u16string* name)
      : TDomNode(owner, PARAMETER_ENTITY_REFERENCE_NODE, name)
  {
  }

protected:
  void writeMarkupStart(std::u16string& out) const override;
};

} // namespace xml
