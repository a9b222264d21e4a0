// The resources of ferrulon.exe: the window's icon 1, one 32x32 24-bit image, the version that
// Explorer shows, and no manifest. MinGW links a default manifest whenever the toolchain ships
// one, and a manifest would make the program themed and change how its controls look.
#include <gtest/gtest.h>

#include <windows.h>
#include <winver.h>

#include <cwchar>
#include <set>
#include <string>

namespace {

// FERRULON_EXE is the build's path of ferrulon.exe; a Unix path is reached through Wine's Z:.
std::wstring ProgramPath() {
  const char* built = FERRULON_EXE;
  std::wstring path(built, built + std::char_traits<char>::length(built));
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

#pragma pack(push, 2)
struct GroupIconHeader {
  WORD reserved, type, count;
};
struct GroupIconEntry {
  BYTE width, height, colorCount, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

// The version readers of version.dll, as Explorer uses them. Loaded at run time: the test
// programs import only the DLLs that check-imports.sh allows.
struct VersionReader {
  using SizeCall = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using InfoCall = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using QueryCall = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  SizeCall size = nullptr;
  InfoCall info = nullptr;
  QueryCall query = nullptr;
  std::string block;   // the whole version resource, as GetFileVersionInfoW gives it

  bool Read(const std::wstring& path) {
    HMODULE dll = LoadLibraryW(L"version.dll");
    if (dll == nullptr) return false;
    size = reinterpret_cast<SizeCall>(reinterpret_cast<void*>(GetProcAddress(dll, "GetFileVersionInfoSizeW")));
    info = reinterpret_cast<InfoCall>(reinterpret_cast<void*>(GetProcAddress(dll, "GetFileVersionInfoW")));
    query = reinterpret_cast<QueryCall>(reinterpret_cast<void*>(GetProcAddress(dll, "VerQueryValueW")));
    if (size == nullptr || info == nullptr || query == nullptr) return false;
    DWORD ignored = 0;
    const DWORD bytes = size(path.c_str(), &ignored);
    if (bytes == 0) return false;
    block.assign(bytes, '\0');
    return info(path.c_str(), 0, bytes, block.data()) != FALSE;
  }

  // The value at a path such as L"\\StringFileInfo\\040904b0\\ProductName"; false when absent.
  bool Query(const std::wstring& path, const void*& value, UINT& length) const {
    void* found = nullptr;
    length = 0;
    if (!query(block.data(), path.c_str(), &found, &length) || found == nullptr) return false;
    value = found;
    return true;
  }

  // A string of the first language and code page that the Translation entry names.
  std::string Text(const wchar_t* name) const {
    const void* value = nullptr;
    UINT length = 0;
    if (!Query(L"\\VarFileInfo\\Translation", value, length) || length < 4) return "<no translation>";
    const WORD* pair = static_cast<const WORD*>(value);
    wchar_t table[16] = {};
    swprintf(table, 16, L"%04x%04x", pair[0], pair[1]);
    if (!Query(std::wstring(L"\\StringFileInfo\\") + table + L"\\" + name, value, length)) return "<absent>";
    const wchar_t* text = static_cast<const wchar_t*>(value);
    std::wstring wide(text, std::char_traits<wchar_t>::length(text));
    return std::string(wide.begin(), wide.end());   // the expected texts are ASCII
  }
};

BOOL CALLBACK CollectType(HMODULE, LPWSTR type, LONG_PTR into) {
  auto* types = reinterpret_cast<std::set<std::wstring>*>(into);
  types->insert(IS_INTRESOURCE(type) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(type)) : type);
  return TRUE;
}

class Resources : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, nullptr) << "cannot read " << FERRULON_EXE << ", error " << GetLastError();
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  std::string Bytes(LPCWSTR name, LPCWSTR type) const {
    HRSRC found = FindResourceW(module_, name, type);
    if (found == nullptr) return {};
    HGLOBAL loaded = LoadResource(module_, found);
    const char* data = static_cast<const char*>(LockResource(loaded));
    return data != nullptr ? std::string(data, SizeofResource(module_, found)) : std::string();
  }

  HMODULE module_ = nullptr;
};

TEST_F(Resources, IconOneIsOneUsable32By32TrueColourImage) {
  const std::string group = Bytes(MAKEINTRESOURCEW(1), RT_GROUP_ICON);
  ASSERT_EQ(group.size(), sizeof(GroupIconHeader) + sizeof(GroupIconEntry));
  const auto* header = reinterpret_cast<const GroupIconHeader*>(group.data());
  const auto* entry = reinterpret_cast<const GroupIconEntry*>(group.data() + sizeof(GroupIconHeader));
  EXPECT_EQ(header->type, 1);
  EXPECT_EQ(header->count, 1);
  EXPECT_EQ(entry->width, 32);
  EXPECT_EQ(entry->height, 32);
  EXPECT_EQ(entry->bitCount, 24);

  std::string image = Bytes(MAKEINTRESOURCEW(entry->id), RT_ICON);
  ASSERT_EQ(image.size(), entry->bytes);
  ASSERT_EQ(image.size(), 3240u);   // header, 32 rows of 96 colour bytes, 32 rows of 4 mask bytes
  const auto* bitmap = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
  EXPECT_EQ(bitmap->biWidth, 32);
  EXPECT_EQ(bitmap->biHeight, 64);   // colours and mask
  EXPECT_EQ(bitmap->biBitCount, 24);
  EXPECT_EQ(bitmap->biCompression, static_cast<DWORD>(BI_RGB));

  HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(image.data()), static_cast<DWORD>(image.size()),
                                        TRUE, 0x00030000, 32, 32, LR_DEFAULTCOLOR);
  EXPECT_NE(icon, nullptr) << "Windows cannot make an icon of the image";
  if (icon != nullptr) DestroyIcon(icon);
}

// Explorer's Details page: product Ferrulon 2.0, an application, with a description.
TEST_F(Resources, VersionNamesFerrulon20) {
  VersionReader version;
  ASSERT_TRUE(version.Read(ProgramPath())) << "no version resource readable, error " << GetLastError();
  const void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(version.Query(L"\\", value, length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);   // 2.0
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00020000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  EXPECT_EQ(version.Text(L"ProductName"), "Ferrulon");
  EXPECT_EQ(version.Text(L"ProductVersion"), "2.0");
  EXPECT_EQ(version.Text(L"FileVersion"), "2.0");
  EXPECT_EQ(version.Text(L"FileDescription"), "Ferrulon drive benchmark (write/verify)");
  EXPECT_EQ(version.Text(L"OriginalFilename"), "ferrulon.exe");
}

TEST_F(Resources, NothingButIconVersionAndNoManifest) {
  std::set<std::wstring> types;
  EnumResourceTypesW(module_, CollectType, reinterpret_cast<LONG_PTR>(&types));
  EXPECT_EQ(types, (std::set<std::wstring>{L"#3", L"#14", L"#16"}));   // RT_ICON, RT_GROUP_ICON, RT_VERSION
  EXPECT_EQ(FindResourceW(module_, MAKEINTRESOURCEW(1), RT_MANIFEST), nullptr);
}

}  // namespace
