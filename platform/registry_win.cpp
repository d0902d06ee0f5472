#include <windows.h>

#include <cstring>
#include <utility>
#include <vector>

#include "platform/registry.h"
#include "platform/wide_text.h"

namespace platform {
namespace {

constexpr std::string_view kHivePrefix = "HKEY_CURRENT_USER\\";

// An open registry key, closed when it goes.
class Key {
 public:
  // `access`: KEY_QUERY_VALUE to read, KEY_SET_VALUE to write.
  Key(const std::string& section, bool canCreate, REGSAM access) {
    const std::wstring path = Widen(section.substr(kHivePrefix.size()));
    const LSTATUS status =
        canCreate ? RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, access, nullptr, &key_, nullptr)
                  : RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, &key_);
    if (status != ERROR_SUCCESS) key_ = nullptr;
  }
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

RegValue Translate(DWORD type, const std::vector<BYTE>& data, DWORD size) {
  if (type == REG_DWORD && size == sizeof(DWORD)) {
    DWORD number;
    std::memcpy(&number, data.data(), sizeof number);
    return RegValue{RegValue::kDword, {}, static_cast<std::int32_t>(number)};
  }
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return RegValue{RegValue::kString, Narrow(text), 0};
  }
  return RegValue{RegValue::kOther, {}, 0};
}

// HKEY_CURRENT_USER through advapi32; the registry keeps concurrent writers'
// values apart by itself.
class SystemRegStore : public RegStore {
 public:
  std::optional<RegSection> Open(const std::string& section, bool canCreate, std::optional<RegDamage>&) override {
    const Key key(section, canCreate, KEY_QUERY_VALUE);
    if (!key.get()) return std::nullopt;
    DWORD count = 0, longestName = 0, longestData = 0;
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName,
                         &longestData, nullptr, nullptr) != ERROR_SUCCESS)
      return std::nullopt;
    RegSection values{section, {}};
    std::wstring name(longestName + 1, L'\0');
    std::vector<BYTE> data(longestData + sizeof(wchar_t));
    for (DWORD i = 0; i < count; ++i) {
      DWORD nameLength = static_cast<DWORD>(name.size());
      DWORD size = static_cast<DWORD>(data.size());
      DWORD type = 0;
      if (RegEnumValueW(key.get(), i, name.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        continue;
      values.Set(Narrow(name.substr(0, nameLength)), Translate(type, data, size));
    }
    return values;
  }

  bool Set(const std::string& section, const std::string& name, const RegValue& value) override {
    const Key key(section, true, KEY_SET_VALUE);
    if (!key.get()) return false;
    const std::wstring valueName = Widen(name);
    LSTATUS status;
    if (value.type == RegValue::kDword) {
      const auto number = static_cast<DWORD>(value.number);
      status = RegSetValueExW(key.get(), valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                              sizeof number);
    } else {
      const std::wstring text = Widen(value.text);
      status = RegSetValueExW(key.get(), valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    return status == ERROR_SUCCESS;
  }

  std::string Where() const override { return "HKEY_CURRENT_USER"; }
};

}  // namespace

TRegistry::TRegistry() : store_(std::make_unique<SystemRegStore>()) {}

}  // namespace platform
