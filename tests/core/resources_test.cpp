// The resources of ferrulon.exe: icon 1, one usable 32x32 24-bit image, and no manifest. MinGW's GCC
// links default-manifest.o whenever its toolchain ships one (MSYS2's does), whose manifest declares
// the Windows versions supported and the asInvoker level: Windows then changes what some calls do
// for the program (version queries, for one). The build keeps it out (app/CMakeLists.txt).
// FERRULON_EXE in the environment names another build's ferrulon.exe (the workflow's, on Windows).
#include <windows.h>

#include <set>
#include <string>

#include "tools/driver/driver.h"
#include <gtest/gtest.h>

namespace {

BOOL CALLBACK CollectType(HMODULE, LPWSTR type, LONG_PTR into) {
  reinterpret_cast<std::set<std::wstring>*>(into)->insert(
      IS_INTRESOURCE(type) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(type)) : type);
  return TRUE;
}

std::string Bytes(HMODULE module, LPCWSTR name, LPCWSTR type) {
  HRSRC found = FindResourceW(module, name, type);
  const char* data = found ? static_cast<const char*>(LockResource(LoadResource(module, found))) : nullptr;
  return data != nullptr ? std::string(data, SizeofResource(module, found)) : std::string();
}

TEST(Resources, IconOneIsTheOnlyImageAndThereIsNoManifest) {
  std::string exe = driver::EnvironmentValue(L"FERRULON_EXE");
  if (exe.empty()) exe = FERRULON_EXE;
  HMODULE module = LoadLibraryExW(driver::FromUnixPath(exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << "cannot read " << exe;
  std::set<std::wstring> types;
  EnumResourceTypesW(module, CollectType, reinterpret_cast<LONG_PTR>(&types));
  EXPECT_EQ(types, (std::set<std::wstring>{L"#3", L"#14", L"#16"}));  // RT_ICON, RT_GROUP_ICON, RT_VERSION
  // The group: reserved 0, type 1, count 1, then one 14-byte entry of 32x32 at 24 bits.
  const std::string group = Bytes(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON);
  ASSERT_EQ(group.size(), 20u);
  EXPECT_EQ(group.substr(0, 8) + group[12], std::string("\0\0\1\0\1\0  \x18", 9));
  const WORD id = static_cast<BYTE>(group[18]) | static_cast<BYTE>(group[19]) << 8;
  std::string image = Bytes(module, MAKEINTRESOURCEW(id), RT_ICON);
  HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(image.data()), static_cast<DWORD>(image.size()), TRUE,
                                        0x00030000, 32, 32, LR_DEFAULTCOLOR);
  EXPECT_TRUE(image.size() == 3240u && icon != nullptr) << "Windows cannot make an icon of the image";
  if (icon != nullptr) DestroyIcon(icon);
  FreeLibrary(module);
}

}  // namespace
