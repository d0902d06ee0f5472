#pragma once
#include <cstddef>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace xml {

class TDomDocument;
class TDomDocumentType;
class TDomEntity;

// The well-formedness constraints on entity references that a document's
// entity declarations let us judge while the references stay unexpanded in
// the tree: the entity is declared (where XML 1.0 asks for it: no document
// type, an internal subset alone without parameter-entity references, or a
// standalone document), it refers to itself neither directly nor through
// others, it is parsed, its replacement text is content, and no '<' and no
// external entity reach an attribute value through it. Each entity is judged
// once per context, so the work is linear in the declarations, and bounded.
//
// Every check raises the EParser... error of the first constraint broken.
class TEntityReferenceChecks {
public:
  // The document's type declaration must be complete.
  explicit TEntityReferenceChecks(const TDomDocument& document);

  // `name` referenced in content.
  void inContent(std::u16string_view name);
  // `name` referenced in an attribute value.
  void inAttributeValue(std::u16string_view name);
  // The references in the default values of the internal subset's
  // attribute definitions; each must follow its entity's declaration.
  void inAttributeDefaults();

private:
  enum class TContext { Content, AttributeValue };
  using TReference = std::pair<std::u16string_view, TContext>;
  struct TFrame {
    const TDomEntity* entity;
    TContext context;
    std::vector<TReference> references;
    std::size_t next = 0;
  };

  void check(std::u16string_view name, TContext context);
  // Judges the reference on its own and, when its entity's replacement
  // tree holds further references, opens a frame for them.
  void enter(std::u16string_view name, TContext context);
  // The references in the entity's replacement tree, in the contexts they
  // stand in there.
  std::vector<TReference> referencesOf(const TDomEntity& entity, TContext context);
  void countVisit();
  static const void* key(const TDomEntity* entity, TContext context);

  const TDomDocumentType* doctype_;
  // Whether a reference to an undeclared entity is an error, and whether
  // only declarations in the internal subset itself count (standalone).
  bool declarationRequired_ = true;
  bool internalDeclarationsOnly_ = false;
  std::vector<TFrame> stack_;
  std::unordered_set<const void*> open_;
  std::unordered_set<const void*> judged_;
  std::size_t visits_ = 0;
};

} // namespace xml
