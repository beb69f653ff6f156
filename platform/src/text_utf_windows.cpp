#include <windows.h>

#include <climits>

#include "zelmar/platform/text_utf.h"

namespace zelmar::platform {

std::string Utf16ToUtf8(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX / 3) return {};
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr,
                                       0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::wstring Utf8ToUtf16(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int length = static_cast<int>(text.size());
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), size);
  return out;
}

}  // namespace zelmar::platform
