#include "platform/now_text.h"

#include <windows.h>

namespace platform {
namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

template <typename Format>
std::wstring Formatted(Format format, DWORD flags, const SYSTEMTIME& moment) {
  const int size = format(LOCALE_NAME_USER_DEFAULT, flags, &moment, nullptr, nullptr, 0);
  if (size <= 1) return {};
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  format(LOCALE_NAME_USER_DEFAULT, flags, &moment, nullptr, out.data(), size);
  out.resize(static_cast<std::size_t>(size - 1));
  return out;
}

int DateFormat(LPCWSTR locale, DWORD flags, const SYSTEMTIME* moment, LPCWSTR format, LPWSTR out, int size) {
  return GetDateFormatEx(locale, flags, moment, format, out, size, nullptr);
}

}  // namespace

std::string NowText() {
  SYSTEMTIME moment;
  GetLocalTime(&moment);
  std::wstring text = Formatted(DateFormat, DATE_SHORTDATE, moment);
  if (moment.wHour || moment.wMinute || moment.wSecond || moment.wMilliseconds)
    text += L' ' + Formatted(GetTimeFormatEx, 0, moment);
  return Utf8(text);
}

}  // namespace platform
