// The resources of ferrulon.exe: the window's icon 1, one 32x32 24-bit image, and no manifest.
// MinGW links a default manifest whenever the toolchain ships one, and a manifest would make the
// program themed and change how its controls look.
#include <gtest/gtest.h>

#include <windows.h>

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

TEST_F(Resources, NothingButTheIconAndNoManifest) {
  std::set<std::wstring> types;
  EnumResourceTypesW(module_, CollectType, reinterpret_cast<LONG_PTR>(&types));
  EXPECT_EQ(types, (std::set<std::wstring>{L"#3", L"#14"}));   // RT_ICON, RT_GROUP_ICON
  EXPECT_EQ(FindResourceW(module_, MAKEINTRESOURCEW(1), RT_MANIFEST), nullptr);
}

}  // namespace
