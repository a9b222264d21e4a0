// The test file and the run over the in-memory drive and the scripted clock, shown to a recording
// view: the file's bytes, requests and reading rules, then the run's counts, verdicts and stops.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "fake_world.h"

using runtime::Text;
using Numbers = std::vector<std::int64_t>;
using Strings = std::vector<std::string>;

namespace {

const std::string Pattern =
    "0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789"
    "abcdefghilmnopqrstuvxyz";

std::string N(std::int64_t n) { return std::string(" ").append(std::to_string(n)); }

void RunTest() { engine::RunDriveTest(RecordingView); }

std::vector<Text> ReadLines(const std::string& bytes, std::size_t lines) {
  World = FakeWorld{.bytes = bytes, .exists = true};
  std::vector<Text> result;
  engine::UnbufferedTextFile file{};
  EXPECT_TRUE(engine::OpenForReading(file, L"tfile.frl"));
  while (result.size() < lines) result.push_back(engine::ReadLine(file));
  engine::Close(file);
  return result;
}

class Run : public testing::Test {
 protected:
  void SetUp() override { InstallFakes(); ResetWorld(); FreshRunState(); }
  void TearDown() override { RemoveFakes(); }
};
using TestFile = Run;

// The table holds 100 pattern lines and two unused entries. Two files as the run writes them, every
// line reversed just before it is written; then an empty line, which is its terminator alone.
TEST_F(TestFile, PatternFilesHoldTheExactLayoutAlternatingDirection) {
  engine::FillPatternTable();
  EXPECT_TRUE(engine::PatternTable[100].empty() && engine::PatternTable[101].empty());
  engine::UnbufferedTextFile file{};
  for (const std::string& line : {std::string(Pattern.rbegin(), Pattern.rend()), Pattern}) {
    ASSERT_TRUE(engine::CreateForWriting(file, L"tfile.frl"));
    for (int i = 0; i < 100; ++i) {
      engine::PatternTable[i] = runtime::ReverseText(engine::PatternTable[i]);
      engine::WriteLine(file, engine::PatternTable[i]);
    }
    engine::Close(file);
    std::string expected;
    for (int i = 0; i < 100; ++i) expected += line + "\r\n";
    EXPECT_EQ(World.bytes, expected);
  }
  World.log.clear();
  ASSERT_TRUE(engine::CreateForWriting(file, L"tfile.frl"));
  engine::WriteLine(file, Text());
  engine::WriteLine(file, Text(L"\u00E9"));
  engine::Close(file);
  EXPECT_EQ(World.bytes, "\r\n\xC3\xA9\r\n");
  EXPECT_EQ(World.log, (Strings{"create C0000000 0 2 80", "write 2", "write 2", "write 2", "close"}));
}

// Terminators and encodings: each row is the bytes of a file and the lines read from it.
TEST_F(TestFile, ReadLineRulesAndRequestSizes) {
  std::string longLine;   // 4,093 bytes: with a 3-byte character, the longest line read whole
  for (int i = 0; i < 4093; ++i) longLine += static_cast<char>('a' + i % 26);
  const struct {
    const char* what;
    std::string bytes;
    std::vector<Text> lines;
  } cases[] = {
      {"LF alone", "ab\ncd\n", {L"ab", L"cd", L""}}, {"lone CR", "ab\rcd\r\n", {L"ab", L"cd", L""}},
      {"CR at end of file", "ab\r", {L"ab", L"", L""}}, {"NUL", std::string("ab\0cd", 5), {L"ab", L"cd", L""}},
      {"2-byte UTF-8", "\xC3\xA9x\r\n", {L"\u00E9x", L""}}, {"3-byte UTF-8", "\xE4\xB8\xADz\n", {L"\u4E2Dz", L""}},
      {"4-byte UTF-8", "\xF0\x9F\x98\x80!", {L"\xD83D\xDE00!", L""}}, {"truncated tail", "ab\xE4\xB8", {L"ab", L""}},
      {"stray continuation", "\x80z\xBF\n", {L"?z?", L""}}, {"bad lead bytes", "\xF8\xFF" "a", {L"??a", L""}},
      {"empty file", "", {L"", L""}}, {"past the last line", "ab\r\n", {L"ab", L"", L""}},
      {"a line ends after 4,096 bytes", longLine + "\xE4\xB8\xADnext\r\n", {Wide(longLine) + L"\u4E2D", L"next"}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadLines(c.bytes, c.lines.size()), c.lines) << c.what;
  ReadLines("\xE4\xB8\xAD\rX", 2);   // a character's tail is one request; a lone CR costs a seek back
  EXPECT_EQ(World.log, (Strings{"create 80000000 0 3 80", "read 1", "read 2", "read 1", "read 1", "seek -1 1",
                                "read 1", "read 1", "close"}));
}

// When a fresh file cannot be made, an old one is truncated; with none, creating fails.
TEST_F(TestFile, CreationFallsBackToTruncatingTheOldFile) {
  World = FakeWorld{.bytes = "old contents", .exists = true,
                    .faults = {{CreateFails, 1, 1, ERROR_WRITE_PROTECT}, {CreateFails, 3, 1, ERROR_WRITE_PROTECT}}};
  engine::UnbufferedTextFile file{};
  ASSERT_TRUE(engine::CreateForWriting(file, L"tfile.frl"));
  engine::WriteLine(file, Text(L"new"));
  engine::Close(file);
  EXPECT_EQ(World.bytes, "new\r\n");
  ASSERT_TRUE(engine::ForceDelete(L"tfile.frl"));
  EXPECT_FALSE(engine::CreateForWriting(file, L"tfile.frl"));
  EXPECT_FALSE(engine::OpenForReading(file, L"tfile.frl"));
  EXPECT_EQ(World.log, (Strings{"create C0000000 0 2 80", "create 40000000 0 5 0", "write 3", "write 2", "close",
                                "attributes 80", "delete", "create C0000000 0 2 80", "create 40000000 0 5 0",
                                "create 80000000 0 3 80"}));
}

TEST_F(Run, CompletedRunCountsEveryCycleScoresTheMeanPassAndResets) {
  for (std::int64_t pass = 0; pass < 50; ++pass) World.passDurations.push_back(222 + pass + (pass == 49) * 20);
  RunTest();
  EXPECT_EQ(Numbers(engine::PassTimes, engine::PassTimes + 50), World.passDurations);
  EXPECT_EQ(engine::LastScoreText, Text(L"246"));   // 12,345 ms in all: the mean, truncated
  EXPECT_EQ((Numbers{engine::CharsWritten, engine::CharsVerified, engine::FileOperations, engine::CyclesInPass,
                     engine::PassesDone, engine::RunState, engine::FailureFlag, engine::WrittenRefreshCount,
                     engine::VerifiedRefreshCount, engine::OperationsRefreshCount, !World.violation.empty(), World.exists}),
            (Numbers{0, 0, 0, 0, 0, 0, 0, 4, 4, 0, 0, 0}));   // 2,500 cycles leave 4 since a refresh
  EXPECT_EQ(World.counts, (std::map<std::string, std::int64_t>{
      {"attributes 80", 7501}, {"clock", 100}, {"close", 5000}, {"create 80000000 0 3 80", 2500},
      {"create C0000000 0 2 80", 2500}, {"delete", 2500}, {"delete fails", 5001}, {"look", 2500}, {"read 1", 31250000},
      {"sleep 1062", 1}, {"write 123", 250000}, {"write 2", 250000}}));

  // Each count shown every 32nd cycle, so the last four never show; each pass reported with its
  // counts, and events drained, only after the clock reading that ends its time.
  Strings expected{"drive", "score pending"};
  for (std::int64_t cycle = 1; cycle <= 2500; ++cycle) {
    const std::string chars = N(12300 * cycle), ops = N(2 * cycle), at = " @" + std::to_string(cycle / 25);
    if (cycle % 32 == 0) expected.insert(expected.end(), {"count 0" + chars, "count 2" + ops, "count 1" + chars});
    if (cycle % 50 == 0)
      expected.insert(expected.end(), {"pass" + N(cycle / 50) + at + chars + chars + ops, "drain" + at});
  }
  expected.insert(expected.end(), {"completed 246", "drain @100", "ready", "drain @100"});
  EXPECT_EQ(World.shown, expected);

  // The written and verified counts' refresh carries over, so the next run shows them at cycle 28.
  engine::ClearRunState();
  World = FakeWorld{.stopAtReading = 2};
  RunTest();
  EXPECT_EQ(Strings(World.shown.begin() + 2, World.shown.begin() + 5),
            (Strings{"count 0 344400", "count 1 344400", "count 2 64"}));
}

// One cycle is a look at the window's messages and the whole file work, in order, after the old
// file is removed and the drive settles.
TEST_F(Run, CycleMakesTheRequestsInOrderAndTheNextRunCarriesTheLineDirection) {
  World.stopAtDeleteOf = 1;
  RunTest();
  Strings expected{"show drive", "attributes 80", "delete fails", "sleep 1062", "show score pending", "clock",
                   "look", "create C0000000 0 2 80"};
  for (int line = 0; line < 100; ++line) expected.insert(expected.end(), {"write 123", "write 2"});
  expected.insert(expected.end(), {"close", "create 80000000 0 3 80"});
  expected.insert(expected.end(), 12500, "read 1");
  expected.insert(expected.end(), {"close", "attributes 80", "delete", "attributes 80", "delete fails",
                                   "attributes 80", "delete fails"});
  EXPECT_EQ(World.log, expected);
  // The table is never refilled: the line direction flips once per file, carried over to the next run.
  engine::ClearRunState();
  World.stopAtDeleteOf = 2;
  RunTest();
  EXPECT_EQ(World.firstBytes, "z0");
}

// Stop ends the run at its next poll; a file that cannot be made or opened shows one message and
// ends the run like a stop. Counters, the file and the score stay as they are, until the main
// loop's reset clears them and removes the file. A file another program holds (locked, or pending
// deletion) is tried again for about a second. (Drives that fail at random: hostile_drives_test.)
TEST_F(Run, EarlyEndsLeaveEverythingAsItIsUntilTheReset) {
  constexpr std::int64_t R = engine::ResetPending, S = engine::StopRequested;
  constexpr std::uint64_t Locked = ERROR_SHARING_VIOLATION, Pending = ERROR_ACCESS_DENIED;
  const struct {
    const char* what;
    void (*setup)();
    Numbers state;   // run state, stop flag, passes, cycles, written, verified, operations, files, size of
                     // the file left (-1: none), deletes, verified count's refresh, lines read back
                     // differing from the table and the first of them (-1: none), ms waited for a held file
    Strings ending;   // verdict or message, then the last thing shown
  } cases[] = {
      {"Stop clicked while idle", [] { (void)engine::RequestStop(); },
       {R, S, 0, 0, 0, 0, 0, 0, -1, 0, 0, 100, 0, 0}, {"score pending"}},
      {"Stop seen after cycle 3's counters", [] { World.stopAtReadCloseOf = 3; },
       {R, S, 0, 3, 36900, 36900, 6, 3, 12500, 2, 3, 0, -1, 0}, {"score pending"}},
      {"Stop seen after the delete step of a pass's last cycle", [] { World.stopAtDeleteOf = 50; },
       {R, S, 0, 50, 615000, 615000, 100, 50, -1, 50, 18, 0, -1, 0}, {"count 1 393600"}},
      {"Stop during pass 2, seen after its drain", [] { World.stopAtReading = 4; },
       {R, S, 2, 0, 1230000, 1230000, 200, 100, -1, 100, 4, 0, -1, 0}, {"drain @4"}},
      {"Stop during the last pass, seen after its drain: no verdict", [] { World.stopAtReading = 100; },
       {R, S, 50, 0, 30750000, 30750000, 5000, 2500, -1, 2500, 4, 0, -1, 0}, {"drain @100"}},
      {"no file can be created", [] { World.faults = {{CreateFails, 1, Always, ERROR_WRITE_PROTECT}}; },
       {R, 0, 0, 0, 0, 0, 0, 0, -1, 0, 0, 100, 0, 0}, {"message 1", "message 1"}},
      {"cycle 2's file locked for two tries (a create and its fallback each)",
       [] { World.stopAtDeleteOf = 3, World.faults = {{CreateFails, 2, 4, Locked}}; },
       {R, S, 0, 3, 36900, 36900, 6, 3, -1, 3, 3, 0, -1, 150}, {"score pending"}},
      {"pending deletion when reopened once", [] { World.stopAtDeleteOf = 3, World.faults = {{OpenFails, 1, 1, Pending}}; },
       {R, S, 0, 3, 36900, 36900, 6, 3, -1, 3, 3, 0, -1, 50}, {"score pending"}},
      {"locked for good", [] { World.faults = {{CreateFails, 1, Always, Locked}}; },
       {R, 0, 0, 0, 0, 0, 0, 0, -1, 0, 0, 100, 0, 1000}, {"message 1", "message 1"}},
      {"pending deletion for good when reopened", [] { World.faults = {{OpenFails, 1, Always, Pending}}; },
       {R, 0, 0, 0, 12300, 0, 1, 1, 12500, 0, 0, 100, 0, 1000}, {"message 2", "message 2"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetWorld();
    FreshRunState();
    c.setup();
    engine::LastScoreText = L"777";
    RunTest();
    std::int64_t differing = 0, first = -1;
    for (int i = 99; i >= 0; --i)
      if (engine::ReadBackTable[i] != engine::PatternTable[i]) differing += 1, first = i;
    EXPECT_EQ((Numbers{engine::RunState, engine::StopFlag, engine::PassesDone, engine::CyclesInPass,
                       engine::CharsWritten, engine::CharsVerified, engine::FileOperations, World.filesCreated,
                       World.exists ? static_cast<std::int64_t>(World.bytes.size()) : -1, World.counts["delete"],
                       engine::VerifiedRefreshCount, differing, first,
                       std::accumulate(World.sleeps.begin(), World.sleeps.end(), std::int64_t{0}) - 1062}),
              c.state);
    Strings ending;
    for (const std::string& what : World.shown)
      if (what.starts_with("failed") || what.starts_with("message") || what.starts_with("completed"))
        ending.push_back(what);
    ending.push_back(World.shown.back());
    EXPECT_EQ(ending, c.ending);
    EXPECT_TRUE(engine::FailureFlag == 0 && World.violation.empty() && World.sleeps[0] == 1062 &&
                engine::LastScoreText == Text(L"777"));
    engine::ClearRunState();
    EXPECT_EQ((Numbers{engine::RunState, engine::StopFlag, engine::PassesDone, engine::CyclesInPass,
                       engine::CharsWritten, engine::CharsVerified, engine::FileOperations, World.exists}),
              Numbers(8, 0));
  }
}

}  // namespace
