// Drive discovery against generated answers of the platform. (The real drive list: the soak lists
// it in the window's slots.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
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
struct Query { std::wstring buffer; DWORD reported; };
std::mt19937_64 Random;
std::vector<Query> Queries;                        // the buffer as each call with one left it
std::vector<std::wstring> TypeAsked, LabelAsked;   // roots, in the order asked

DWORD WINAPI GeneratedStrings(DWORD length, LPWSTR buffer) {
  const std::wstring letters = L"CDEZacz1:\\/\u00C4 ";
  std::wstring answer;
  const std::uint64_t oddOneIn = Random() % 2 ? 8 : 1000;
  for (std::uint64_t n = Random() % 61; n > 0; --n)
    answer += Random() % oddOneIn ? std::wstring{static_cast<wchar_t>(L'A' + Random() % 26), L':', L'\\', 0}
                                  : std::wstring{letters[Random() % letters.size()], letters[Random() % letters.size()], 0};
  answer += L'\0';
  if (buffer == nullptr) return static_cast<DWORD>(Random() % 3 ? answer.size() : Random() % 300);
  answer.resize(std::min<std::size_t>(answer.size(), Random() % 4 ? length : Random() % (length + 1)));
  std::copy(answer.begin(), answer.end(), buffer);
  const DWORD reported = Random() % 3 ? static_cast<DWORD>(answer.size() - (answer.size() > 0)) : Random() % (length + 40);
  Queries.push_back({std::wstring(buffer, length), reported});
  return reported;
}
UINT WINAPI GeneratedType(LPCWSTR root) { TypeAsked.push_back(root); return static_cast<UINT>(Random() % 8); }
BOOL WINAPI GeneratedLabel(LPCWSTR root, LPWSTR, DWORD, LPDWORD, LPDWORD, LPDWORD, LPWSTR, DWORD) {
  LabelAsked.push_back(root);
  return Random() % 2;
}

// The roots the last query answered: complete entries from its start, as far as it wrote and its buffer goes.
std::vector<Text> RootsAnswered() {
  const Query& q = Queries.back();
  std::vector<Text> roots;
  for (std::size_t at = 0; at + 4 <= std::min<std::size_t>(q.reported, q.buffer.size()); at += 4) {
    const wchar_t letter = q.buffer[at];
    if (!std::iswalpha(letter) || letter > L'z' || q.buffer.compare(at + 1, 3, std::wstring(L":\\\0", 3)) != 0) break;
    roots.push_back(Text{static_cast<wchar_t>(std::towlower(letter)), L':', L'\\'});
  }
  return roots;
}

}  // namespace

TEST(DriveDiscovery, GeneratedAnswersGiveTheCompleteRootsInTheListTheTableAndTheCount) {
  const drives::DriveCallTable real = std::exchange(drives::DriveCalls, {GeneratedStrings, GeneratedType, GeneratedLabel});
  for (std::uint64_t seed = 1; seed <= 5000; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Random.seed(seed);
    Queries.clear(), TypeAsked.clear(), LabelAsked.clear();
    for (Text& root : drives::DriveRoots) root.clear();
    drives::DriveCount = drives::CountDrives();
    ASSERT_EQ(drives::DriveCount, static_cast<std::int64_t>(RootsAnswered().size()));
    drives::EnumerateDrives();
    drives::FillDriveRoots();
    std::vector<Text> roots = RootsAnswered(), listed, typed(TypeAsked.begin(), TypeAsked.end()), labelled;
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
