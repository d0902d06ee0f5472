#pragma once
#include <cstdint>
#include <string_view>

#include "xml/dom_node_list.h"
#include "xml/dom_node_type.h"
#include "xml/name_index.h"

namespace xml {

class TDomDocument;
class TDomElement;

// Nodes looked up by name: an element's attributes, a document type's
// entities and notations. Entries keep the order in which they were added;
// past a handful of entries a hash index finds them by name.
class TDomNamedNodeMap final : public TDomNodeList {
public:
  TDomNamedNodeMap(TDomDocument* ownerDocument, TDomElement* ownerElement, TDomNodeTypeSet acceptedTypes,
                   bool namespaceMode);

  int length() const override { return static_cast<int>(count_); }
  TDomNode* item(int index) const override;

  // The first entry named `name` exactly, or null. Raises ENamespaceError on
  // a map in namespace mode.
  TDomNode* getNamedItem(std::u16string_view name) const;
  // Adds `node`, or replaces the entry of the same name and returns it.
  // Raises EHierarchyRequestError for a type the map does not take,
  // EWrongDocumentError, ENoModificationAllowedError on a read-only owner
  // element, EInuseAttributeError for an attribute of another element, and
  // ENamespaceError in namespace mode.
  TDomNode* setNamedItem(TDomNode* node);
  // Removes and returns the entry; ENotFoundError when there is none.
  TDomNode* removeNamedItem(std::u16string_view name);

  TDomDocument* ownerDocument() const { return ownerDocument_; }
  TDomElement* ownerElement() const { return ownerElement_; }
  bool namespaceMode() const { return namespaceMode_; }

  // The first entry named `name`, or null; no namespace check.
  TDomNode* lookup(std::u16string_view name) const;
  // Appends without looking for a namesake; the caller has checked.
  void append(TDomNode* node);
  // For a map whose document type moves to another document.
  void setOwnerDocument(TDomDocument* document) { ownerDocument_ = document; }

private:
  void remove(std::uint32_t index);
  int indexOf(const TDomNode* node) const;
  // Indexes the entries once there are too many to compare one by one.
  void indexEntries();

  TDomDocument* ownerDocument_;
  TDomElement* ownerElement_;
  TDomNode** items_ = nullptr;
  std::uint32_t count_ = 0;
  std::uint32_t capacity_ = 0;
  // Made in the arena once the map outgrows comparing names one by one.
  TNameIndex* index_ = nullptr;
  TDomNodeTypeSet acceptedTypes_;
  bool namespaceMode_;
};

} // namespace xml
