#pragma once
#include <cstdint>
#include <string_view>

namespace xml {

class TDomArena;
class TDomNode;

// Finds nodes by name in O(1) on average: an open-addressing hash table
// whose slots live in a document's arena, so it needs no destructor. It
// keeps the first node indexed under each name.
class TNameIndex {
public:
  // The node indexed under `name`, or null.
  TDomNode* find(std::u16string_view name) const;
  // Indexes `node` under its name; false (and nothing changed) when a node
  // of that name is indexed already.
  bool insert(TDomArena& arena, TDomNode* node);
  // Puts `node` in the place of the node indexed under the same name.
  void replace(const TDomNode* old, TDomNode* node);
  // Forgets every node (the slots stay for the next inserts).
  void clear();

private:
  std::uint32_t slotOf(std::u16string_view name) const;
  void grow(TDomArena& arena);

  TDomNode** slots_ = nullptr;
  std::uint32_t capacity_ = 0;
  std::uint32_t count_ = 0;
};

} // namespace xml
