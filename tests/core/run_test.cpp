// The test file and the run over the in-memory drive and the scripted clock, shown to a recording
// view: the file's bytes, requests and reading rules, then the run's counts, verdicts and stops.
#include <windows.h>

#include <numeric>
#include <string>
#include <vector>

#include "fake_world.h"
#include <gtest/gtest.h>

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
  Text line = L"left over";  // each read replaces all the text held, as the run's table entries are reused
  for (std::size_t i = 0; i < lines; ++i) {
    engine::ReadLine(file, line);
    result.push_back(line);
  }
  engine::Close(file);
  return result;
}

class Run : public testing::Test {
 protected:
  void SetUp() override {
    InstallFakes();
    ResetWorld();
    FreshRunState();
  }
  void TearDown() override {
    RemoveFakes();
    EXPECT_EQ(World.violation, "");
  }
};
using TestFile = Run;

// The table holds 100 pattern lines and two unused entries. A file as the run writes it, every line
// reversed just before it is written. When a fresh file cannot be made, an old one is truncated (to
// an empty line, its terminator alone, and a 2-byte character); with none, creating fails.
TEST_F(TestFile, WritesTheExactFileOrTruncatesTheOldOne) {
  engine::FillPatternTable();
  EXPECT_TRUE(engine::PatternTable[100].empty() && engine::PatternTable[101].empty());
  engine::UnbufferedTextFile file{};
  ASSERT_TRUE(engine::CreateForWriting(file, L"tfile.frl"));
  for (int i = 0; i < 100; ++i)
    engine::WriteLine(file, engine::PatternTable[i] = runtime::ReverseText(engine::PatternTable[i]));
  engine::Close(file);
  std::string expected;
  for (int i = 0; i < 100; ++i) expected += std::string(Pattern.rbegin(), Pattern.rend()) + "\r\n";
  EXPECT_EQ(World.bytes, expected);
  World.log.clear();
  World.faults = {{CreateFails, 2, 1, ERROR_WRITE_PROTECT}, {CreateFails, 4, 1, ERROR_WRITE_PROTECT}};
  ASSERT_TRUE(engine::CreateForWriting(file, L"tfile.frl"));
  engine::WriteLine(file, Text());
  engine::WriteLine(file, Text(L"\u00E9"));
  engine::Close(file);
  EXPECT_EQ(World.bytes, "\r\n\xC3\xA9\r\n");
  ASSERT_TRUE(engine::ForceDelete(L"tfile.frl"));
  EXPECT_FALSE(engine::CreateForWriting(file, L"tfile.frl") || engine::OpenForReading(file, L"tfile.frl"));
  EXPECT_EQ(World.log, (Strings{"create C0000000 0 2 80", "create 40000000 0 5 0", "write 2", "write 2", "write 2",
                                "close", "attributes 80", "delete", "create C0000000 0 2 80", "create 40000000 0 5 0",
                                "create 80000000 0 3 80"}));
}

// Terminators and encodings: each row is the bytes of a file and the lines read from it.
TEST_F(TestFile, ReadLineRulesAndRequestSizes) {
  std::string longLine;  // 4,093 bytes: with a 3-byte character, the longest line read whole
  for (int i = 0; i < 4093; ++i) longLine += static_cast<char>('a' + i % 26);
  const struct {
    const char* what;
    std::string bytes;
    std::vector<Text> lines;
  } cases[] = {
      {"LF alone", "ab\ncd\n", {L"ab", L"cd", L""}},
      {"lone CR", "ab\rcd\r\n", {L"ab", L"cd", L""}},
      {"CR at end of file", "ab\r", {L"ab", L"", L""}},
      {"NUL", std::string("ab\0cd", 5), {L"ab", L"cd", L""}},
      {"2-byte UTF-8", "\xC3\xA9x\r\n", {L"\u00E9x", L""}},
      {"3-byte UTF-8", "\xE4\xB8\xADz\n", {L"\u4E2Dz", L""}},
      {"4-byte UTF-8", "\xF0\x9F\x98\x80!", {L"\xD83D\xDE00!", L""}},
      {"truncated tail", "ab\xE4\xB8", {L"ab", L""}},
      {"stray continuation", "\x80z\xBF\n", {L"?z?", L""}},
      {"bad lead bytes", "\xF8\xFF\x61", {L"??a", L""}},
      {"empty file", "", {L"", L""}},
      {"past the last line", "ab\r\n", {L"ab", L"", L""}},
      {"a line ends after 4,096 bytes", longLine + "\xE4\xB8\xADnext\r\n", {Wide(longLine) + L"\u4E2D", L"next"}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadLines(c.bytes, c.lines.size()), c.lines) << c.what;
  ReadLines("\xE4\xB8\xAD\rX", 2);  // a character's tail is one request; a lone CR costs a seek back
  EXPECT_EQ(World.log, (Strings{"create 80000000 0 3 80", "read 1", "read 2", "read 1", "read 1", "seek -1 1", "read 1",
                                "read 1", "close"}));
}

TEST_F(Run, CompletedRunCountsEveryCycleScoresTheMeanPassAndResets) {
  for (std::int64_t pass = 0; pass < 50; ++pass) World.passDurations.push_back(222 + pass + (pass == 49) * 20);
  RunTest();
  EXPECT_EQ(Numbers(engine::PassTimes, engine::PassTimes + 50), World.passDurations);
  EXPECT_EQ(engine::LastScoreText, Text(L"246"));  // 12,345 ms in all: the mean, truncated
  EXPECT_EQ((Numbers{engine::CharsWritten, engine::CharsVerified, engine::FileOperations, engine::CyclesInPass,
                     engine::PassesDone, engine::RunState, engine::FailureFlag, engine::WrittenRefreshCount,
                     engine::VerifiedRefreshCount, engine::OperationsRefreshCount, World.exists}),
            (Numbers{0, 0, 0, 0, 0, 0, 0, 4, 4, 0, 0}));  // 2,500 cycles leave 4 since a refresh

  std::string counted;  // every kind of request the run made, and how often
  for (const auto& [request, n] : World.counts) counted += request + " x" + std::to_string(n) + "; ";
  EXPECT_EQ(counted,
            "attributes 80 x7501; clock x100; close x5000; create 80000000 0 3 80 x2500; create C0000000 0 2 80 x2500; "
            "delete x2500; delete fails x5001; look x2500; read 1 x31250000; sleep 1062 x1; write 123 x250000; "
            "write 2 x250000; ");

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
  World = FakeWorld{.stopAtDeleteOf = 32};
  RunTest();
  EXPECT_EQ(Strings(World.shown.begin() + 2, World.shown.begin() + 5),
            (Strings{"count 0 344400", "count 1 344400", "count 2 64"}));
}

// One cycle is a look at the window's messages and the whole file work, in order, after the old
// file is removed and the drive settles.
TEST_F(Run, CycleMakesTheRequestsInOrderAndTheNextRunCarriesTheLineDirection) {
  World.stopAtDeleteOf = 1;
  RunTest();
  Strings expected{"show drive",         "attributes 80", "delete fails", "sleep 1062",
                   "show score pending", "clock",         "look",         "create C0000000 0 2 80"};
  for (int line = 0; line < 100; ++line) expected.insert(expected.end(), {"write 123", "write 2"});
  expected.insert(expected.end(), {"close", "create 80000000 0 3 80"});
  expected.insert(expected.end(), 12500, "read 1");
  expected.insert(expected.end(), {"close", "attributes 80", "delete", "attributes 80", "delete fails", "attributes 80",
                                   "delete fails"});
  EXPECT_EQ(World.log, expected);
  // The table is never refilled: the line direction flips once per file, carried over to the next run.
  engine::ClearRunState();
  World.stopAtDeleteOf = 2;
  RunTest();
  EXPECT_EQ(World.firstBytes, "z0");
}

// A line read back wrong ends the run red after its cycle's read phase: all 100 lines read and
// compared, the file left as it was, the operations counted but not the cycle, nothing else reset.
TEST_F(Run, FailedCycleReadsEveryLineKeepsItsFileAndEndsRed) {
  World.faults = {{ChangedByte, 12501, 1, 0}};  // the first byte of file 2
  engine::LastScoreText = L"777";
  RunTest();
  std::int64_t equal = 0;
  for (int i = 0; i < 100; ++i) equal += engine::ReadBackTable[i] == engine::PatternTable[i];
  EXPECT_EQ(engine::ReadBackTable[0], Text(L"1") + engine::PatternTable[0].substr(1));
  EXPECT_EQ((Numbers{engine::CharsWritten, engine::CharsVerified, engine::FileOperations, engine::CyclesInPass,
                     engine::PassesDone, engine::FailureFlag, engine::RunState, engine::WrittenRefreshCount,
                     engine::VerifiedRefreshCount, engine::OperationsRefreshCount, equal, World.counts.at("read 1"),
                     World.counts.at("delete")}),
            (Numbers{24600, 24477, 4, 1, 0, 0, 0, 2, 1, 2, 99, 25000, 1}));
  EXPECT_TRUE(World.exists && World.bytes == FileNumber(2) && engine::LastScoreText == Text(L"777"));
  EXPECT_EQ(World.shown, (Strings{"drive", "score pending", "failed", "drain @1"}));
}

// A file another program holds (locked, or pending deletion after its delete) is tried again for
// about a second in all, inside the pass time; on any other error the message comes at once. Then
// the run ends as a stopped one does. (Drives that fail at random: hostile_drives_test.)
TEST_F(Run, HeldFileIsTriedAgainForAboutASecondOtherErrorsAreToldAtOnce) {
  constexpr std::uint64_t Locked = ERROR_SHARING_VIOLATION, Pending = ERROR_ACCESS_DENIED;
  const struct {
    const char* what;
    std::vector<Fault> faults;
    Numbers waitedMessageFiles;  // ms waited, the message shown (0: none), files created
  } cases[] = {
      {"cycle 2's file locked for two tries (4 creates)", {{CreateFails, 2, 4, Locked}}, {150, 0, 3}},
      {"pending deletion when reopened once", {{OpenFails, 1, 1, Pending}}, {50, 0, 3}},
      {"locked for good", {{CreateFails, 1, Always, Locked}}, {1000, engine::FileNotCreated, 0}},
      {"pending deletion for good when reopened", {{OpenFails, 1, Always, Pending}}, {1000, engine::FileNotOpened, 1}},
      {"write-protected", {{CreateFails, 1, Always, ERROR_WRITE_PROTECT}}, {0, engine::FileNotCreated, 0}},
  };
  for (const auto& c : cases) {
    ResetWorld();
    FreshRunState();
    World.faults = c.faults;
    World.stopAtDeleteOf = 3;
    RunTest();
    std::int64_t message = 0;
    for (const std::string& what : World.shown)
      if (what.starts_with("message ")) message = message * 10 + std::stoll(what.substr(8));
    EXPECT_EQ((Numbers{std::accumulate(World.sleeps.begin(), World.sleeps.end(), std::int64_t{0}) - 1062, message,
                       World.filesCreated}),
              c.waitedMessageFiles)
        << c.what;
    EXPECT_TRUE(engine::RunState == engine::ResetPending && World.shown.back().starts_with("drain") == (message != 0))
        << c.what << ": clicks made during the pass dropped after a message";
  }
}

}  // namespace
