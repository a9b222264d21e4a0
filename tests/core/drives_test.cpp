// Drive discovery against generated answers of the platform. (The real drive list: the window test
// of start-up finds it in the slots.)
#include "drives/drives.h"

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "drives/drive_calls.h"
#include <gtest/gtest.h>

using runtime::Text;

namespace {

// Generated answers to the drive queries: sizes that change between the two calls of an attempt,
// entries with odd letters or without terminators, up to 60 roots, a written size that is a lie.
// A call never writes past the length it is given, as the platform's never does.
std::mt19937_64 Random;
std::vector<Text> Held;                           // the last answer's roots before its first odd entry, lower case
bool Honest = false;                              // the last answer was written whole, its size told truly
std::vector<std::wstring> TypeAsked, LabelAsked;  // roots, in the order asked

DWORD WINAPI GeneratedStrings(DWORD length, LPWSTR buffer) {
  const std::wstring letters = L"CDEZacz1:\\/\u00C4 ";
  std::wstring answer;
  std::vector<Text> roots;
  bool odd = false;  // an odd entry has three units: it never reads as a root, nor do those after it
  const std::uint64_t oddOneIn = Random() % 2 ? 8 : 1000;
  for (std::uint64_t n = Random() % 61; n > 0; --n) {
    if (Random() % oddOneIn == 0) {
      answer += std::wstring{letters[Random() % letters.size()], letters[Random() % letters.size()], 0};
      odd = true;
      continue;
    }
    const wchar_t k = static_cast<wchar_t>(Random() % 26);
    answer += std::wstring{static_cast<wchar_t>(L'A' + k), L':', L'\\', 0};
    if (!odd) roots.push_back(Text{static_cast<wchar_t>(L'a' + k), L':', L'\\'});
  }
  answer += L'\0';
  if (buffer == nullptr) return static_cast<DWORD>(Random() % 3 ? answer.size() : Random() % 300);
  const std::size_t whole = answer.size();
  answer.resize(std::min<std::size_t>(whole, Random() % 4 ? length : Random() % (length + 1)));
  std::copy(answer.begin(), answer.end(), buffer);
  const DWORD reported =
      Random() % 3 ? static_cast<DWORD>(answer.size() - (answer.size() > 0)) : Random() % (length + 40);
  Held = roots;
  Honest = answer.size() == whole && reported == whole - 1;
  return reported;
}
UINT WINAPI GeneratedType(LPCWSTR root) {
  TypeAsked.push_back(root);
  return static_cast<UINT>(Random() % 8);
}
BOOL WINAPI GeneratedLabel(LPCWSTR root, LPWSTR, DWORD, LPDWORD, LPDWORD, LPDWORD, LPWSTR, DWORD) {
  LabelAsked.push_back(root);
  return Random() % 2;
}

}  // namespace

// Known answers: the complete roots from the start of the buffer, as far as both the size the
// platform says it wrote and the buffer reach.
TEST(CompleteRoots, EntriesFromTheStartAsFarAsTheWrittenSizeAndTheBufferReach) {
  const wchar_t three[] = L"C:\\\0d:\\\0E:\\\0", odd[] = L"C:\\\0D:/\0E:\\\0", digit[] = L"1:\\\0";
  EXPECT_EQ(drives::CompleteRoots(three, 13, 12), 3);
  EXPECT_EQ(drives::CompleteRoots(three, 13, 11), 2);  // the last entry's zero not written
  EXPECT_EQ(drives::CompleteRoots(three, 8, 12), 2);   // a written size past the buffer is not trusted
  EXPECT_EQ(drives::CompleteRoots(three, 13, 0), 0);
  EXPECT_EQ(drives::CompleteRoots(odd, 13, 12), 1);  // not the odd entry, nor any after it
  EXPECT_EQ(drives::CompleteRoots(digit, 5, 4), 0);
}

// Whatever the platform answers, the count and the list hold only roots their answer held, in its
// order, and the table holds the list; an honest answer gives all of them. Types are asked for
// every drive listed, labels for fixed drives only.
TEST(DriveDiscovery, GeneratedAnswersGiveOnlyTheRootsTheyHoldAndAnHonestOneGivesAll) {
  const drives::DriveCallTable real =
      std::exchange(drives::DriveCalls, {GeneratedStrings, GeneratedType, GeneratedLabel});
  for (std::uint64_t seed = 1; seed <= 5000; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Random.seed(seed);
    TypeAsked.clear();
    LabelAsked.clear();
    for (Text& root : drives::DriveRoots) root.clear();
    drives::DriveCount = drives::CountDrives();
    ASSERT_TRUE(drives::DriveCount <= std::ssize(Held) && (!Honest || drives::DriveCount == std::ssize(Held)));
    drives::EnumerateDrives();
    drives::FillDriveRoots();
    std::vector<Text> listed, typed(TypeAsked.begin(), TypeAsked.end()), labelled;
    for (const drives::DriveInfo& drive : drives::DriveList) {
      listed.push_back(drive.RootPath);
      if (drive.DriveType == DRIVE_FIXED) labelled.push_back(drive.RootPath);
    }
    ASSERT_TRUE(listed.size() <= Held.size() && std::equal(listed.begin(), listed.end(), Held.begin()));
    ASSERT_EQ(listed, Honest ? Held : listed) << "an honest answer gives every root it holds";
    ASSERT_EQ(typed, listed);
    ASSERT_EQ(std::vector<Text>(LabelAsked.begin(), LabelAsked.end()), labelled) << "labels of fixed drives only";
    listed.resize(drives::DriveRootEntries);
    ASSERT_EQ(std::vector<Text>(drives::DriveRoots, drives::DriveRoots + drives::DriveRootEntries), listed);
  }
  drives::DriveCalls = real;
  for (Text& root : drives::DriveRoots) root.clear();
}
