#pragma once
#include <string>
#include <string_view>

#include "xml/compact_text.h"
#include "xml/dom_node.h"

namespace xml {

// A node whose value is its data: text, CDATA sections, comments and
// processing instructions.
class TDomCharacterData : public TDomNode {
public:
  std::u16string data() const { return data_.str(); }
  // ENoModificationAllowedError on a read-only node.
  void setData(std::u16string_view data);
  // Adds units at the end (the builder merges adjacent text this way).
  void appendData(std::u16string_view data);
  void appendDataTo(std::u16string& out) const { data_.appendTo(out); }
  int length() const { return static_cast<int>(data_.size()); }
  std::u16string nodeValue() const override { return data(); }
  void setNodeValue(std::u16string_view value) override { setData(value); }

protected:
  TDomCharacterData(TDomDocument* owner, TDomNodeType type, const std::u16string* name, TCompactText data)
      : TDomNode(owner, type, name), data_(data)
  {
  }
  const TCompactText& compactData() const { return data_; }

private:
  TCompactText data_;
};

class TDomText : public TDomCharacterData {
public:
  TDomText(TDomDocument* owner, TCompactText data) : TDomCharacterData(owner, TEXT_NODE, &node_names::kText, data) {}

protected:
  TDomText(TDomDocument* owner, TDomNodeType type, const std::u16string* name, TCompactText data)
      : TDomCharacterData(owner, type, name, data)
  {
  }
  void writeMarkupStart(std::u16string& out) const override;
};

class TDomCDATASection : public TDomText {
public:
  TDomCDATASection(TDomDocument* owner, TCompactText data)
      : TDomText(owner, CDATA_SECTION_NODE, &node_names::kCDataSection, data)
  {
  }

protected:
  void writeMarkupStart(std::u16string& out) const override;
};

class TDomComment : public TDomCharacterData {
public:
  TDomComment(TDomDocument* owner, TCompactText data)
      : TDomCharacterData(owner, COMMENT_NODE, &node_names::kComment, data)
  {
  }

protected:
  void writeMarkupStart(std::u16string& out) const override;
};

// The node name is the target.
class TDomProcessingInstruction : public TDomCharacterData {
public:
  TDomProcessingInstruction(TDomDocument* owner, const std::u16string* target, TCompactText data)
      : TDomCharacterData(owner, PROCESSING_INSTRUCTION_NODE, target, data)
  {
  }
  const std::u16string& target() const { return nodeName(); }

protected:
  void writeMarkupStart(std::u16string& out) const override;
};

// A reference to a general entity; the builder never expands it.
class TDomEntityReference : public TDomNode {
public:
  TDomEntityReference(TDomDocument* owner, const std::u16string* name) : TDomNode(owner, ENTITY_REFERENCE_NODE, name)
  {
  }

protected:
  void writeMarkupStart(std::u16string& out) const override;
  bool markupIncludesChildren() const override { return false; }
};

} // namespace xml
