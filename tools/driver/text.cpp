// Texts, paths and the environment of this process; see driver.h.
#include "driver.h"

namespace driver {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
  return text;
}

std::wstring FromUnixPath(const std::string& path) {
  std::wstring dir = Wide(path);
  if (!dir.empty() && dir[0] == L'/') dir.insert(0, L"Z:");
  for (wchar_t& c : dir)
    if (c == L'/') c = L'\\';
  return dir;
}

std::string EnvironmentValue(const wchar_t* name) {
  wchar_t value[4096] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, 4096);
  return length == 0 || length >= 4096 ? std::string() : Utf8(value);
}

}  // namespace driver
