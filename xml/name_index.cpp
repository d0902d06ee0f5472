#include "xml/name_index.h"

#include <algorithm>
#include <functional>

#include "xml/dom_arena.h"
#include "xml/dom_node.h"

namespace xml {

namespace {
constexpr std::uint32_t kFirstCapacity = 16;
} // namespace

// The slot holding `name`, or the empty slot where it would go. The table is
// at most half full, so the probe ends.
std::uint32_t TNameIndex::slotOf(std::u16string_view name) const
{
  const std::uint32_t mask = capacity_ - 1;
  std::uint32_t slot = static_cast<std::uint32_t>(std::hash<std::u16string_view>{}(name)) & mask;
  while (slots_[slot] != nullptr && slots_[slot]->nodeName() != name)
    slot = (slot + 1) & mask;
  return slot;
}

TDomNode* TNameIndex::find(std::u16string_view name) const
{
  return slots_ == nullptr ? nullptr : slots_[slotOf(name)];
}

bool TNameIndex::insert(TDomArena& arena, TDomNode* node)
{
  if (slots_ == nullptr || (count_ + 1) * 2 > capacity_)
    grow(arena);
  std::uint32_t slot = slotOf(node->nodeName());
  if (slots_[slot] != nullptr)
    return false;
  slots_[slot] = node;
  ++count_;
  return true;
}

void TNameIndex::replace(const TDomNode* old, TDomNode* node)
{
  if (slots_ == nullptr)
    return;
  std::uint32_t slot = slotOf(old->nodeName());
  if (slots_[slot] == old)
    slots_[slot] = node;
}

void TNameIndex::clear()
{
  if (slots_ != nullptr)
    std::fill(slots_, slots_ + capacity_, nullptr);
  count_ = 0;
}

// The old slots stay in the arena until the document goes: growth doubles,
// so they add up to less than the table in use.
void TNameIndex::grow(TDomArena& arena)
{
  TDomNode** old = slots_;
  std::uint32_t oldCapacity = capacity_;
  capacity_ = capacity_ == 0 ? kFirstCapacity : capacity_ * 2;
  slots_ = static_cast<TDomNode**>(arena.allocate(sizeof(TDomNode*) * capacity_, alignof(TDomNode*)));
  std::fill(slots_, slots_ + capacity_, nullptr);
  for (std::uint32_t i = 0; i < oldCapacity; ++i)
    if (old[i] != nullptr)
      slots_[slotOf(old[i]->nodeName())] = old[i];
}

} // namespace xml
