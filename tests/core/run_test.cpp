// The test run without a window and without real time: the test file lives in memory, the clock
// reads what each test chooses, and a recording view notes what the run shows. A whole run takes
// well under a second.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "fake_world.h"
#include "text_print.h"

using runtime::Text;

namespace {

// Lines of the last file read back that differ from what was written.
std::vector<int> DifferingLines() {
  std::vector<int> lines;
  for (int i = 0; i < 100; ++i)
    if (engine::ReadBackTable[i] != engine::PatternTable[i]) lines.push_back(i);
  return lines;
}

// What the view was shown that starts with the prefix.
std::vector<std::string> Shown(const std::string& prefix) {
  std::vector<std::string> shown;
  for (const std::string& what : World.shown)
    if (what.starts_with(prefix)) shown.push_back(what);
  return shown;
}

std::vector<std::string> LastShown(std::ptrdiff_t n) { return {World.shown.end() - n, World.shown.end()}; }

void RunTest() { engine::RunDriveTest(RecordingView); }

// Every test starts as the program does: fresh counters, the pattern table just filled, and
// nothing of the platform reached but the fakes.
class Run : public testing::Test {
 protected:
  void SetUp() override {
    InstallFakes();
    StartAsProgram();
  }
  void TearDown() override { RemoveFakes(); }

  static void StartAsProgram() {
    ResetWorld();
    FreshRunState();
  }

  // What the main loop's reset does between two runs, as far as the run is concerned.
  static void ReadyForNextRun() {
    engine::ClearRunState();
    EXPECT_FALSE(World.exists) << "a file left by the run is removed";
  }
};

TEST_F(Run, CompletedRunCountsEveryCycleScoresTheMeanPassAndResets) {
  for (std::int64_t pass = 0; pass < 50; ++pass) World.passDurations.push_back(222 + pass);
  World.passDurations.back() += 20;   // 50 pass times summing to 12,345 ms

  RunTest();

  EXPECT_EQ(std::vector<std::int64_t>(engine::PassTimes, engine::PassTimes + 50), World.passDurations);
  EXPECT_EQ(engine::LastScoreText, Text(L"246"));   // 12,345 / 50, truncated
  ASSERT_EQ(World.writtenAtPassEnd.size(), 50u);    // one pass: 50 files of 12,300 characters
  EXPECT_EQ((std::vector<std::int64_t>{World.writtenAtPassEnd[0], World.writtenAtPassEnd.back(),
                                       World.verifiedAtPassEnd.back(), World.operationsAtPassEnd.back()}),
            (std::vector<std::int64_t>{615000, 30750000, 30750000, 5000}));
  // All back to 0, but the refresh counts of written and verified: 2,500 cycles leave 4.
  EXPECT_EQ((std::vector<std::int64_t>{engine::CharsWritten, engine::CharsVerified, engine::FileOperations,
                                       engine::CyclesInPass, engine::PassesDone, engine::RunState, engine::FailureFlag,
                                       engine::WrittenRefreshCount, engine::VerifiedRefreshCount,
                                       engine::OperationsRefreshCount}),
            (std::vector<std::int64_t>{0, 0, 0, 0, 0, 0, 0, 4, 4, 0}));

  const std::map<std::string, std::int64_t> expected{
      {"attributes 80", 7501}, {"clock", 100},           {"close", 5000},
      {"create 80000000 0 3 80", 2500}, {"create C0000000 0 2 80", 2500},
      {"delete", 2500},        {"delete fails", 5001},
      {"sleep 1062", 1},       {"write 123", 250000},    {"write 2", 250000}};
  EXPECT_EQ(World.counts, expected);
  EXPECT_EQ(World.oneByteReads, 31250000);
  EXPECT_EQ(World.secondOpen, 0);
  EXPECT_FALSE(World.exists);

  std::string alternating;
  for (int file = 0; file < 1250; ++file) alternating += "z0";
  EXPECT_EQ(World.firstBytes, alternating);

  // Each pass is reported, and events drained, only after the reading that ends its time.
  std::vector<std::string> passes, expectedPasses;
  for (std::size_t i = 0; i + 1 < World.shown.size(); ++i)
    if (World.shown[i].starts_with("pass ")) passes.push_back(World.shown[i] + ", " + World.shown[i + 1]);
  for (int pass = 1; pass <= 50; ++pass)
    expectedPasses.push_back("pass " + std::to_string(pass) + " @" + std::to_string(2 * pass) + ", drain @" +
                             std::to_string(2 * pass));
  EXPECT_EQ(passes, expectedPasses);
  EXPECT_EQ(LastShown(4), (std::vector<std::string>{"completed 246", "drain @100", "ready", "drain @100"}));
  // Every field refreshed 78 times, the last after cycle 2,496: the last four cycles never show.
  for (const char* which : {"count 0 ", "count 1 ", "count 2 "}) EXPECT_EQ(Shown(which).size(), 78u) << which;
  EXPECT_EQ((std::vector<std::string>{Shown("count 0 ").back(), Shown("count 1 ").back(), Shown("count 2 ").back()}),
            (std::vector<std::string>{"count 0 30700800", "count 1 30700800", "count 2 4992"}));
  EXPECT_TRUE(Shown("message").empty() && Shown("failed").empty());

  // The next run shows the written and verified counts four cycles early (at cycle 28): their
  // refresh counts carry over, the file-operations count starts afresh.
  ReadyForNextRun();
  World = FakeWorld{};
  World.stopAtReading = 2;
  RunTest();
  EXPECT_EQ((std::vector<std::string>{Shown("count 0 ").front(), Shown("count 1 ").front(), Shown("count 2 ").front()}),
            (std::vector<std::string>{"count 0 344400", "count 1 344400", "count 2 64"}));
}

// One cycle is the whole file work, in order, after the old file is removed and the drive settles.
TEST_F(Run, CycleMakesTheRequestsOfTheMeasurementInOrder) {
  World.stopAtDeleteOf = 1;
  RunTest();

  std::vector<std::string> expected{"show drive", "attributes 80", "delete fails", "sleep 1062",
                                    "show score pending", "clock", "create C0000000 0 2 80"};
  for (int line = 0; line < 100; ++line) expected.insert(expected.end(), {"write 123", "write 2"});
  expected.insert(expected.end(), {"close", "create 80000000 0 3 80"});
  expected.insert(expected.end(), 12500, "read 1");
  expected.insert(expected.end(), {"close", "attributes 80", "delete", "attributes 80", "delete fails",
                                   "attributes 80", "delete fails"});
  EXPECT_EQ(World.log, expected);
  EXPECT_EQ(World.firstBytes, "z");
}

// The table is never refilled: the direction flips once per file created, over all runs.
TEST_F(Run, LineDirectionCarriesOverFromRunToRun) {
  for (std::int64_t file : {1, 2}) {   // two runs, stopped after one file each
    ReadyForNextRun();
    World.stopAtDeleteOf = file;
    RunTest();
  }
  EXPECT_EQ(World.firstBytes, "z0");
}

struct Fault {
  const char* what;
  std::int64_t flipInFile, flipAt, cutFile, cutTo;
  int differingLine;
  std::int64_t passesDone, cyclesInPass, written, verified, operations, fileSize;
  const char* drainedAt;
};

// A drive that gives back something else than was written must never pass.
TEST_F(Run, DifferingLineEndsTheRunAfterReadingTheWholeFile) {
  const Fault faults[] = {
      {"a flipped byte in line 0 of the first file", 1, 5, 0, 0, 0, 0, 0, 12300, 99 * 123, 2, 12500, "drain @1"},
      {"file 75 cut short inside its last line", 0, 0, 75, 12437, 99, 1, 24, 75 * 12300,
       74 * 12300 + 99 * 123, 150, 12437, "drain @3"},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.what);
    StartAsProgram();
    World.flipInFile = fault.flipInFile;
    World.flipAt = fault.flipAt;
    World.cutFile = fault.cutFile;
    World.cutTo = fault.cutTo;
    engine::LastScoreText = L"777";

    RunTest();

    EXPECT_EQ(DifferingLines(), std::vector<int>{fault.differingLine});
    // Counters and position as at the verdict, no reset requested (Start stays disabled), and the
    // failing file left whole on the drive.
    EXPECT_EQ((std::vector<std::int64_t>{engine::CharsWritten, engine::CharsVerified, engine::FileOperations,
                                         engine::PassesDone, engine::CyclesInPass, engine::FailureFlag,
                                         engine::RunState, World.exists ? static_cast<std::int64_t>(World.bytes.size()) : -1,
                                         World.counts["delete"]}),
              (std::vector<std::int64_t>{fault.written, fault.verified, fault.operations, fault.passesDone,
                                         fault.cyclesInPass, 0, 0, fault.fileSize,
                                         fault.cyclesInPass + 50 * fault.passesDone}));
    EXPECT_EQ(engine::LastScoreText, Text(L"777"));
    EXPECT_EQ(LastShown(2), (std::vector<std::string>{"failed", fault.drainedAt}));
    EXPECT_TRUE(Shown("completed").empty());
  }
}

struct StopPoint {
  const char* what;
  bool beforeRun;
  std::int64_t atReadCloseOf, atDeleteOf, atReading;
  std::int64_t passesDone, cyclesInPass, filesCreated;
  bool fileLeft;
};

TEST_F(Run, StopEndsTheRunAtTheNextPollLeavingEverythingAsItIs) {
  const StopPoint points[] = {
      {"clicked while idle", true, 0, 0, 0, 0, 0, 0, false},
      {"seen right after cycle 3's counters", false, 3, 0, 0, 0, 3, 3, true},
      {"seen right after cycle 3's delete step", false, 0, 3, 0, 0, 3, 3, false},
      {"requested during pass 2, seen after its drain", false, 0, 0, 4, 2, 0, 100, false},
  };
  for (const StopPoint& point : points) {
    SCOPED_TRACE(point.what);
    StartAsProgram();
    if (point.beforeRun) (void)engine::RequestStop();
    World.stopAtReadCloseOf = point.atReadCloseOf;
    World.stopAtDeleteOf = point.atDeleteOf;
    World.stopAtReading = point.atReading;
    engine::LastScoreText = L"777";

    RunTest();

    // The stop flag stays set: only the main loop's reset clears it. The settle delay came first.
    EXPECT_EQ((std::vector<std::int64_t>{engine::RunState, engine::StopFlag, engine::PassesDone, engine::CyclesInPass,
                                         World.filesCreated, World.exists, World.counts["sleep 1062"]}),
              (std::vector<std::int64_t>{engine::ResetPending, engine::StopRequested, point.passesDone,
                                         point.cyclesInPass, point.filesCreated, point.fileLeft, 1}));
    EXPECT_EQ(engine::LastScoreText, Text(L"777"));
    EXPECT_TRUE(Shown("completed").empty() && Shown("failed").empty());
  }
  // Stopped while idle: the drive text, the old file's removal and the delay, then the first poll.
  StartAsProgram();
  (void)engine::RequestStop();
  RunTest();
  EXPECT_EQ(World.log, (std::vector<std::string>{"show drive", "attributes 80", "delete fails", "sleep 1062",
                                                 "show score pending", "clock"}));
}

struct Unreachable {
  const char* what;
  std::int64_t refuseCreatingFrom, refuseOpeningFrom;
  const char* message;
  std::int64_t passesDone, cyclesInPass;
  bool fileLeft;
};

// A test file that cannot be created or opened ends the run after one message, like a stop.
TEST_F(Run, UnreachableTestFileShowsOneMessageAndEndsLikeAStop) {
  const Unreachable cases[] = {
      {"no file can be created", 1, 0, "message 1", 0, 0, false},
      {"the file written cannot be opened", 0, 1, "message 2", 0, 0, true},
      {"creation fails from cycle 60 on", 60, 0, "message 1", 1, 9, false},
  };
  for (const Unreachable& unreachable : cases) {
    SCOPED_TRACE(unreachable.what);
    StartAsProgram();
    World.refuseCreatingFrom = unreachable.refuseCreatingFrom;
    World.refuseOpeningFrom = unreachable.refuseOpeningFrom;
    engine::LastScoreText = L"777";

    RunTest();

    EXPECT_EQ(Shown("message"), std::vector<std::string>{unreachable.message});
    EXPECT_EQ(World.shown.back(), unreachable.message);
    EXPECT_EQ((std::vector<std::int64_t>{engine::RunState, engine::PassesDone, engine::CyclesInPass, World.exists,
                                         World.secondOpen}),
              (std::vector<std::int64_t>{engine::ResetPending, unreachable.passesDone, unreachable.cyclesInPass,
                                         unreachable.fileLeft, 0}));
    EXPECT_EQ(engine::LastScoreText, Text(L"777"));
  }
}

}  // namespace
