// Drive discovery against Wine's real drive list, and the parsing of crafted drive strings.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <vector>

#include "drives/drives.h"
#include "text_print.h"

using runtime::Text;

TEST(CompleteRoots, CountsOnlyWhatWasWrittenAndComplete) {
  const wchar_t three[] = L"C:\\\0D:\\\0E:\\\0";   // 12 units written, 13 with the final zero
  const wchar_t spaces[] = L"                ";    // a buffer the platform did not fill
  const wchar_t broken[] = L"C:\\\0D:/\0E:\\\0";
  const wchar_t notLetter[] = L"1:\\\0";
  EXPECT_EQ(drives::CompleteRoots(three, 13, 12), 3);
  EXPECT_EQ(drives::CompleteRoots(three, 13, 11), 2);    // a partial last entry is not a root
  EXPECT_EQ(drives::CompleteRoots(three, 8, 12), 2);     // never beyond the buffer
  EXPECT_EQ(drives::CompleteRoots(three, 13, 40), 3);    // a size larger than the buffer is clipped
  EXPECT_EQ(drives::CompleteRoots(three, 13, 0), 0);
  EXPECT_EQ(drives::CompleteRoots(spaces, 16, 16), 0);
  EXPECT_EQ(drives::CompleteRoots(broken, 13, 12), 1);   // stops at the first bad entry
  EXPECT_EQ(drives::CompleteRoots(notLetter, 5, 4), 0);
}

// The test command maps the letters in FERRULON_TEST_DRIVES ("mnopqrstu"): m fixed and labelled
// FRLTEST, o optical, p network, q removable.
TEST(EnumerateDrives, ListsLowerCaseRootsInOrderAndLabelsOfFixedDrivesOnly) {
  wchar_t letters[64] = {};
  const DWORD n = GetEnvironmentVariableW(L"FERRULON_TEST_DRIVES", letters, 64);
  ASSERT_TRUE(n >= 8 && n < 64) << "the test command maps more than seven drives";

  drives::DriveCount = drives::CountDrives();
  drives::EnumerateDrives();
  drives::EnumerateDrives();   // replaces the list rather than adding to it
  drives::FillDriveRoots();

  ASSERT_EQ(drives::DriveCount, static_cast<std::int64_t>(drives::DriveList.size()));
  EXPECT_GE(drives::DriveCount, static_cast<std::int64_t>(n) + 1);   // c: as well
  std::vector<Text> roots, table(drives::DriveRoots, drives::DriveRoots + drives::DriveRootEntries);
  std::vector<std::wstring> found;   // letter, type, label of the drives mapped for tests
  for (const drives::DriveInfo& d : drives::DriveList) {
    roots.push_back(d.RootPath);
    if (d.RootPath.size() == 3 && std::wstring(letters).find(d.RootPath[0]) != std::wstring::npos)
      found.push_back(d.RootPath.substr(0, 1).c_str() + std::to_wstring(d.DriveType) + d.VolumeLabel.c_str());
  }
  EXPECT_TRUE(std::is_sorted(roots.begin(), roots.end()));
  for (const Text& root : roots)
    EXPECT_TRUE(root.size() == 3 && root[0] >= L'a' && root[0] <= L'z' && root.substr(1) == Text(L":\\")) << root.c_str();
  roots.resize(drives::DriveRootEntries);
  EXPECT_EQ(table, roots);
  ASSERT_EQ(found.size(), n);
  EXPECT_EQ(std::vector<std::wstring>(found.begin(), found.begin() + 5),
            (std::vector<std::wstring>{L"m3FRLTEST", L"n3", L"o5", L"p4", L"q2"}));
}
