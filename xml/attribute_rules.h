#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace xml {

// Receives the attributes of a tag in the order the rules find them.
class TAttributeSink {
public:
  virtual ~TAttributeSink() = default;
  virtual bool hasAttribute(std::u16string_view name) const = 0;
  // A value without references, already checked as character data.
  virtual void addAttribute(std::u16string_view name, std::u16string_view value) = 0;
  // A value with references: the attribute first, then its parts in order:
  // texts (runs and decoded character references, one text between two
  // entity references) and entity references.
  virtual void beginAttribute(std::u16string_view name) = 0;
  virtual void appendText(std::u16string_view text) = 0;
  virtual void appendEntityReference(std::u16string_view name) = 0;
};

// Reads `text` (the part of a tag after its name, or the pseudo-attributes of
// a declaration) into the sink. Raises the EParser... error of the first rule
// broken; empty or white-space-only text adds nothing.
void parseAttributes(std::u16string_view text, TAttributeSink& sink);

// Name/value pairs in document order; entity references stay in the value
// as written ("&name;"). Used for declarations, which have no element.
class TPseudoAttributes : public TAttributeSink {
public:
  bool hasAttribute(std::u16string_view name) const override;
  void addAttribute(std::u16string_view name, std::u16string_view value) override;
  void beginAttribute(std::u16string_view name) override;
  void appendText(std::u16string_view text) override;
  void appendEntityReference(std::u16string_view name) override;

  const std::vector<std::pair<std::u16string, std::u16string>>& items() const { return items_; }
  // Position of the attribute, or -1.
  int indexOf(std::u16string_view name) const;
  // The value, or empty when absent.
  std::u16string value(std::u16string_view name) const;

private:
  std::vector<std::pair<std::u16string, std::u16string>> items_;
};

} // namespace xml
