// The values of a key, kept alike by the .reg file and the Windows registry.
#include "platform/reg_file.h"

#include <utility>

namespace platform {

bool HasControlCharacter(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return true;
  return false;
}

const RegValue* RegSection::Find(const std::string& valueName) const {
  for (const auto& [name, value] : values)
    if (name == valueName) return &value;
  return nullptr;
}

void RegSection::Set(const std::string& valueName, RegValue value) {
  for (auto& [name, existing] : values)
    if (name == valueName) {
      existing = std::move(value);
      return;
    }
  values.emplace_back(valueName, std::move(value));
}

RegSection* RegDocument::Find(const std::string& sectionName) {
  for (auto& section : sections)
    if (section.name == sectionName) return &section;
  return nullptr;
}

RegSection& RegDocument::FindOrAdd(const std::string& sectionName) {
  if (RegSection* found = Find(sectionName)) return *found;
  sections.push_back({sectionName, {}});
  return sections.back();
}

}  // namespace platform
