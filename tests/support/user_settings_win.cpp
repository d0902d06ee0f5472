#include <windows.h>

#include <cstdio>

#include "platform/wide_text.h"
#include "support/user_settings.h"

namespace test {
namespace {

constexpr wchar_t kKey[] = L"Software\\Korvath\\Parcelo";

std::string Quoted(const std::wstring& text) { return '"' + platform::Narrow(text) + '"'; }

}  // namespace

void ForgetUserSettings() { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }

std::string UserSettingsText() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  std::string text;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = 256;
    BYTE data[4096];
    DWORD dataLength = sizeof data;
    DWORD type;
    if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
    text += Quoted(name) + '=';
    if (type == REG_DWORD) {
      char number[16];
      std::snprintf(number, sizeof number, "dword:%08lx", *reinterpret_cast<DWORD*>(data));
      text += number;
    } else {
      text += Quoted(std::wstring(reinterpret_cast<wchar_t*>(data), dataLength / sizeof(wchar_t)).c_str());
    }
    text += "\r\n";
  }
  RegCloseKey(key);
  return text;
}

}  // namespace test
