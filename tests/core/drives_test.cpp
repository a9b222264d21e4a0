// Drive discovery against generated answers of the platform. (The real drive list: the soak lists
// it in the window's slots.)
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "drives/drive_calls.h"
#include "drives/drives.h"

using runtime::Text;

namespace {

// Generated answers to the drive queries: sizes that change between the two calls of an attempt,
// entries with odd letters or without terminators, up to 60 roots, a written size that is a lie.
// A call never writes past the length it is given, as the platform's never does.
std::mt19937_64 Random;
std::vector<Text> Answered;                        // the last call's roots before its first odd entry, as far as
                                                   // both its buffer and the size it reported reach; lower case
std::vector<std::wstring> TypeAsked, LabelAsked;   // roots, in the order asked

DWORD WINAPI GeneratedStrings(DWORD length, LPWSTR buffer) {
  const std::wstring letters = L"CDEZacz1:\\/\u00C4 ";
  std::wstring answer;
  std::vector<Text> roots;
  bool odd = false;   // an odd entry has three units: it never reads as a root, nor do those after it
  const std::uint64_t oddOneIn = Random() % 2 ? 8 : 1000;
  for (std::uint64_t n = Random() % 61; n > 0; --n) {
    if (Random() % oddOneIn == 0) {
      answer += std::wstring{letters[Random() % letters.size()], letters[Random() % letters.size()], 0}, odd = true;
      continue;
    }
    const wchar_t k = static_cast<wchar_t>(Random() % 26);
    answer += std::wstring{static_cast<wchar_t>(L'A' + k), L':', L'\\', 0};
    if (!odd) roots.push_back(Text{static_cast<wchar_t>(L'a' + k), L':', L'\\'});
  }
  answer += L'\0';
  if (buffer == nullptr) return static_cast<DWORD>(Random() % 3 ? answer.size() : Random() % 300);
  answer.resize(std::min<std::size_t>(answer.size(), Random() % 4 ? length : Random() % (length + 1)));
  std::copy(answer.begin(), answer.end(), buffer);
  const DWORD reported = Random() % 3 ? static_cast<DWORD>(answer.size() - (answer.size() > 0)) : Random() % (length + 40);
  roots.resize(std::min<std::size_t>(roots.size(), std::min<std::size_t>(reported, answer.size()) / 4));
  Answered = roots;
  return reported;
}
UINT WINAPI GeneratedType(LPCWSTR root) { TypeAsked.push_back(root); return static_cast<UINT>(Random() % 8); }
BOOL WINAPI GeneratedLabel(LPCWSTR root, LPWSTR, DWORD, LPDWORD, LPDWORD, LPDWORD, LPWSTR, DWORD) {
  LabelAsked.push_back(root);
  return Random() % 2;
}

}  // namespace

TEST(DriveDiscovery, GeneratedAnswersGiveTheCompleteRootsInTheListTheTableAndTheCount) {
  const drives::DriveCallTable real = std::exchange(drives::DriveCalls, {GeneratedStrings, GeneratedType, GeneratedLabel});
  for (std::uint64_t seed = 1; seed <= 5000; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Random.seed(seed);
    Answered.clear(), TypeAsked.clear(), LabelAsked.clear();
    for (Text& root : drives::DriveRoots) root.clear();
    drives::DriveCount = drives::CountDrives();
    ASSERT_EQ(drives::DriveCount, static_cast<std::int64_t>(Answered.size()));
    drives::EnumerateDrives();
    drives::FillDriveRoots();
    std::vector<Text> roots = Answered, listed, typed(TypeAsked.begin(), TypeAsked.end()), labelled;
    for (const drives::DriveInfo& drive : drives::DriveList) {
      listed.push_back(drive.RootPath);
      if (drive.DriveType == DRIVE_FIXED) labelled.push_back(drive.RootPath);
    }
    ASSERT_EQ(listed, roots);
    ASSERT_EQ(typed, roots);
    ASSERT_EQ(std::vector<Text>(LabelAsked.begin(), LabelAsked.end()), labelled) << "labels of fixed drives only";
    roots.resize(drives::DriveRootEntries);
    ASSERT_EQ(std::vector<Text>(drives::DriveRoots, drives::DriveRoots + drives::DriveRootEntries), roots);
  }
  drives::DriveCalls = real;
  for (Text& root : drives::DriveRoots) root.clear();
}
