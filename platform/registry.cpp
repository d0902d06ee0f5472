#include "platform/registry.h"

#include <cstdlib>
#include <utility>

namespace platform {
namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";

// "\Software\Korvath\Parcelo" -> "HKEY_CURRENT_USER\Software\Korvath\Parcelo"
std::string SectionName(std::string_view key) {
  std::string name(kRoot);
  if (!key.starts_with('\\')) name += '\\';
  name += key;
  while (name.ends_with('\\')) name.pop_back();
  return name;
}

}  // namespace

std::filesystem::path TRegistry::DefaultFile() {
  std::filesystem::path base;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
    base = config;
  else if (const char* home = std::getenv("HOME"); home && *home)
    base = std::filesystem::path(home) / ".config";
  else
    base = ".config";
  return base / "Korvath" / "Parcelo.reg";
}

TRegistry::TRegistry(std::unique_ptr<RegStore> store) : store_(std::move(store)) {}

TRegistry::~TRegistry() = default;

bool TRegistry::OpenKey(std::string_view key, bool canCreate) {
  CloseKey();
  damage_.reset();
  const std::string section = SectionName(key);
  auto values = store_->Open(section, canCreate, damage_);
  if (!values) return false;
  snapshot_ = std::move(*values);
  key_ = section;
  return true;
}

void TRegistry::CloseKey() {
  key_.reset();
  snapshot_ = {};
}

const RegValue* TRegistry::Find(std::string_view name) const {
  return key_ ? snapshot_.Find(std::string(name)) : nullptr;
}

bool TRegistry::ValueExists(std::string_view name) const { return Find(name) != nullptr; }

void TRegistry::ThrowInvalidType(std::string_view name) const {
  throw ERegistryException("Invalid data type for '" + std::string(name) + "' in " + store_->Where());
}

std::string TRegistry::ReadString(std::string_view name) const {
  const RegValue* value = Find(name);
  if (!value || value->type != RegValue::kString) ThrowInvalidType(name);
  return value->text;
}

std::int32_t TRegistry::ReadInteger(std::string_view name) const {
  const RegValue* value = Find(name);
  if (!value || value->type != RegValue::kDword) ThrowInvalidType(name);
  return value->number;
}

bool TRegistry::ReadBool(std::string_view name) const { return ReadInteger(name) != 0; }

void TRegistry::Write(std::string_view name, RegValue value) {
  const std::string valueName(name);
  const bool writable = value.type != RegValue::kString || !HasControlCharacter(value.text);
  const bool written = key_ && writable && store_->Set(*key_, valueName, value);
  if (!written) throw ERegistryException("Failed to set data for '" + valueName + "'");
  snapshot_.Set(valueName, std::move(value));
}

void TRegistry::WriteString(std::string_view name, std::string_view value) {
  Write(name, RegValue{RegValue::kString, std::string(value), 0});
}

void TRegistry::WriteInteger(std::string_view name, std::int32_t value) {
  Write(name, RegValue{RegValue::kDword, {}, value});
}

void TRegistry::WriteBool(std::string_view name, bool value) { WriteInteger(name, value ? 1 : 0); }

}  // namespace platform
