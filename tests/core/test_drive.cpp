#include "test_drive.h"

#include <windows.h>

std::wstring TestDriveLetters() {
  wchar_t letters[64] = {};
  const DWORD n = GetEnvironmentVariableW(L"FERRULON_TEST_DRIVES", letters, 64);
  return n > 0 && n < 64 ? std::wstring(letters, n) : std::wstring();
}

std::wstring TestDriveRoot(std::size_t i) {
  const std::wstring letters = TestDriveLetters();
  return i < letters.size() ? std::wstring{letters[i], L':', L'\\'} : std::wstring();
}

std::string ReadWholeFile(const std::wstring& path) {
  std::string bytes;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return bytes;
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  CloseHandle(h);
  return bytes;
}

void WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  if (!bytes.empty()) WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
