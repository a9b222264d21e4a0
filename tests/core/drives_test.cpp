// Drive discovery against Wine's real drive list, and the parsing of crafted drive strings.
#include <gtest/gtest.h>

#include <windows.h>

#include "drives/drives.h"
#include "text_print.h"

using runtime::Text;

TEST(CompleteRoots, CountsOnlyWhatWasWrittenAndComplete) {
  const wchar_t three[] = L"C:\\\0D:\\\0E:\\\0";   // 12 units written, 13 with the final zero
  EXPECT_EQ(drives::CompleteRoots(three, 13, 12), 3);
  EXPECT_EQ(drives::CompleteRoots(three, 13, 11), 2);    // a partial last entry is not a root
  EXPECT_EQ(drives::CompleteRoots(three, 8, 12), 2);     // never beyond the buffer
  EXPECT_EQ(drives::CompleteRoots(three, 13, 40), 3);    // a size larger than the buffer is clipped
  EXPECT_EQ(drives::CompleteRoots(three, 13, 0), 0);
  const wchar_t spaces[] = L"                ";        // a buffer the platform did not fill
  EXPECT_EQ(drives::CompleteRoots(spaces, 16, 16), 0);
  const wchar_t broken[] = L"C:\\\0D:/\0E:\\\0";
  EXPECT_EQ(drives::CompleteRoots(broken, 13, 12), 1);   // stops at the first bad entry
  const wchar_t notLetter[] = L"1:\\\0";
  EXPECT_EQ(drives::CompleteRoots(notLetter, 5, 4), 0);
}

namespace {
// The letters the test command maps to temporary directories, e.g. "mnopqrstu".
std::wstring TestDriveLetters() {
  wchar_t letters[64] = {};
  const DWORD n = GetEnvironmentVariableW(L"FERRULON_TEST_DRIVES", letters, 64);
  return n < 64 ? std::wstring(letters, n) : std::wstring();
}

const drives::DriveInfo* Find(wchar_t letter) {
  for (const drives::DriveInfo& d : drives::DriveList)
    if (d.RootPath == Text{letter, L':', L'\\'}) return &d;
  return nullptr;
}
}  // namespace

TEST(EnumerateDrives, ListsEveryMappedDriveInLetterOrder) {
  const std::wstring letters = TestDriveLetters();
  ASSERT_GE(letters.size(), 8u) << "the test command maps more than seven drives";

  drives::DriveCount = drives::CountDrives();
  drives::EnumerateDrives();
  drives::FillDriveRoots();

  ASSERT_EQ(drives::DriveCount, static_cast<std::int64_t>(drives::DriveList.size()));
  EXPECT_GE(drives::DriveCount, static_cast<std::int64_t>(letters.size()) + 1);   // c: as well
  for (std::size_t i = 0; i < drives::DriveList.size(); ++i) {
    const Text& root = drives::DriveList[i].RootPath;
    ASSERT_EQ(root.size(), 3u);
    EXPECT_TRUE(root[0] >= L'a' && root[0] <= L'z') << "lower case";
    EXPECT_EQ(root.substr(1), Text(L":\\"));
    if (i > 0) {
      EXPECT_LT(drives::DriveList[i - 1].RootPath, root) << "ascending letters";
    }
    EXPECT_EQ(drives::DriveRoots[i], root);
  }
  for (std::int64_t i = drives::DriveCount; i < drives::DriveRootEntries; ++i) EXPECT_TRUE(drives::DriveRoots[i].empty());
  for (wchar_t letter : letters) EXPECT_NE(Find(letter), nullptr) << static_cast<char>(letter);

  // Enumerating again replaces the list rather than adding to it.
  drives::EnumerateDrives();
  EXPECT_EQ(drives::DriveCount, static_cast<std::int64_t>(drives::DriveList.size()));
}

TEST(EnumerateDrives, RecordsTypesAndReadsLabelsOfFixedDrivesOnly) {
  drives::EnumerateDrives();
  const drives::DriveInfo* fixed = Find(L'm');
  const drives::DriveInfo* optical = Find(L'o');
  const drives::DriveInfo* network = Find(L'p');
  const drives::DriveInfo* removable = Find(L'q');
  ASSERT_TRUE(fixed && optical && network && removable);
  EXPECT_EQ(fixed->DriveType, 3);
  EXPECT_EQ(fixed->VolumeLabel, Text(L"FRLTEST"));
  EXPECT_EQ(optical->DriveType, 5);
  EXPECT_EQ(optical->VolumeLabel, Text(L"")) << "the optical drive's label file is never read";
  EXPECT_EQ(network->DriveType, 4);
  EXPECT_EQ(removable->DriveType, 2);
  EXPECT_EQ(removable->VolumeLabel, Text(L""));
}
