// Drive discovery against the real drive list (the test drives), and the parsing of crafted drive strings.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "drives/drives.h"
#include "tools/driver/driver.h"

using runtime::Text;

TEST(CompleteRoots, CountsOnlyWhatWasWrittenAndComplete) {
  const wchar_t three[] = L"C:\\\0D:\\\0E:\\\0";   // 12 units written, 13 with the final zero
  const wchar_t spaces[] = L"                ", broken[] = L"C:\\\0D:/\0E:\\\0", notLetter[] = L"1:\\\0";
  EXPECT_EQ(drives::CompleteRoots(three, 13, 12), 3);
  EXPECT_EQ(drives::CompleteRoots(three, 13, 11), 2);    // a partial last entry is not a root
  EXPECT_EQ(drives::CompleteRoots(three, 8, 12), 2);     // never beyond the buffer
  EXPECT_EQ(drives::CompleteRoots(three, 13, 40), 3);    // a size larger than the buffer is clipped
  EXPECT_EQ(drives::CompleteRoots(three, 13, 0), 0);
  EXPECT_EQ(drives::CompleteRoots(spaces, 16, 16), 0);   // a buffer the platform did not fill
  EXPECT_EQ(drives::CompleteRoots(broken, 13, 12), 1);   // stops at the first bad entry
  EXPECT_EQ(drives::CompleteRoots(notLetter, 5, 4), 0);
}

// The test command maps more than seven letters, from m: m fixed and labelled FRLTEST, n fixed,
// o optical (with a label file that must not be read), p network, q removable.
TEST(EnumerateDrives, ListsLowerCaseRootsInOrderAndLabelsOfFixedDrivesOnly) {
  drives::DriveCount = drives::CountDrives();
  drives::EnumerateDrives();
  drives::EnumerateDrives();   // replaces the list rather than adding to it
  drives::FillDriveRoots();
  ASSERT_EQ(drives::DriveCount, static_cast<std::int64_t>(drives::DriveList.size()));
  std::vector<Text> roots, table(drives::DriveRoots, drives::DriveRoots + drives::DriveRootEntries);
  std::vector<std::wstring> mapped;   // letter, type and label of each drive from m: on
  for (const drives::DriveInfo& d : drives::DriveList) {
    roots.push_back(d.RootPath);
    const wchar_t letter = d.RootPath.empty() ? 0 : d.RootPath[0];
    EXPECT_TRUE(d.RootPath.size() == 3 && letter >= L'a' && letter <= L'z' && d.RootPath.substr(1) == Text(L":\\"));
    if (letter >= L'm') mapped.push_back(d.RootPath.c_str() + std::to_wstring(d.DriveType) + d.VolumeLabel.c_str());
  }
  EXPECT_TRUE(std::is_sorted(roots.begin(), roots.end()));
  roots.resize(drives::DriveRootEntries);
  EXPECT_EQ(table, roots);
  ASSERT_GE(mapped.size(), 8u);
  if (!driver::UnderWine()) GTEST_SKIP() << "kinds and labels: set on Wine's test drives only";
  EXPECT_EQ(std::vector<std::wstring>(mapped.begin(), mapped.begin() + 5),
            (std::vector<std::wstring>{L"m:\\3FRLTEST", L"n:\\3", L"o:\\5", L"p:\\4", L"q:\\2"}));
}
