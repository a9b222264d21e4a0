// The test run without a window and without real time: the test file lives in memory, the clock
// reads what each test chooses, message boxes are counted. A whole run takes well under a second.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "drives/drives.h"
#include "engine/engine.h"
#include "fake_world.h"
#include "text_print.h"
#include "ui/ui.h"

using runtime::Text;

namespace {

// Lines of the last file read back that differ from what was written.
std::vector<int> DifferingLines() {
  std::vector<int> lines;
  for (int i = 0; i < 100; ++i)
    if (engine::ReadBackTable[i] != engine::PatternTable[i]) lines.push_back(i);
  return lines;
}

std::vector<std::int64_t> PassTimesOfRun() { return {engine::PassTimes, engine::PassTimes + 50}; }

// Every test starts as the program does: fresh counters, the pattern table just filled, drive
// slot 0 (m:\) selected, and nothing of the platform reached but the fakes.
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
    drives::DriveRoots[0] = L"m:\\";
    ui::SelectedSlot = 0;
  }

  // What the main loop's reset and Start do between two runs, as far as the run is concerned.
  static void ReadyForNextRun() {
    engine::RunState = engine::StopFlag = 0;
    engine::CyclesInPass = engine::PassesDone = 0;
    engine::CharsWritten = engine::CharsVerified = engine::FileOperations = 0;
    World.exists = false;
  }
};

TEST_F(Run, CompletedRunCountsEveryCycleScoresTheMeanPassAndResets) {
  for (std::int64_t pass = 0; pass < 50; ++pass) World.passDurations.push_back(222 + pass);
  World.passDurations.back() += 20;   // 50 pass times summing to 12,345 ms

  engine::RunDriveTest();

  EXPECT_EQ(PassTimesOfRun(), World.passDurations);
  EXPECT_EQ(engine::LastScoreText, Text(L"246"));   // 12,345 / 50, truncated
  ASSERT_EQ(World.writtenAtPassEnd.size(), 50u);
  EXPECT_EQ(World.writtenAtPassEnd.back(), 30750000);
  EXPECT_EQ(World.verifiedAtPassEnd.back(), 30750000);
  EXPECT_EQ(World.operationsAtPassEnd.back(), 5000);
  EXPECT_EQ(World.writtenAtPassEnd[0], 615000);   // one pass: 50 files of 12,300 characters

  EXPECT_EQ(engine::CharsWritten, 0);
  EXPECT_EQ(engine::CharsVerified, 0);
  EXPECT_EQ(engine::FileOperations, 0);
  EXPECT_EQ(engine::CyclesInPass, 0);
  EXPECT_EQ(engine::PassesDone, 0);
  EXPECT_EQ(engine::RunState, 0);
  EXPECT_EQ(engine::FailureFlag, 0);
  // 2,500 cycles leave 4 since the last refresh; only the file-operations count starts afresh.
  EXPECT_EQ(engine::WrittenRefreshCount, 4);
  EXPECT_EQ(engine::VerifiedRefreshCount, 4);
  EXPECT_EQ(engine::OperationsRefreshCount, 0);

  const std::map<std::string, std::int64_t> expected{
      {"attributes 80", 7501}, {"clock", 100},           {"close", 5000},
      {"create 80000000 0 3 80", 2500}, {"create C0000000 0 2 80", 2500},
      {"delete", 2500},        {"delete fails", 5001},
      {"sleep 1062", 1},       {"write 123", 250000},    {"write 2", 250000}};
  EXPECT_EQ(World.counts, expected);
  EXPECT_EQ(World.oneByteReads, 31250000);
  EXPECT_EQ(World.secondOpen, 0);
  EXPECT_FALSE(World.exists);
  EXPECT_TRUE(World.boxes.empty());

  std::string alternating;
  for (int file = 0; file < 1250; ++file) alternating += "z0";
  EXPECT_EQ(World.firstBytes, alternating);
}

// One cycle is the whole file work, in order, after the old file is removed and the drive settles.
TEST_F(Run, CycleMakesTheRequestsOfTheMeasurementInOrder) {
  World.stopAtDeleteOf = 1;
  engine::RunDriveTest();

  std::vector<std::string> expected{"attributes 80", "delete fails", "sleep 1062", "clock",
                                    "create C0000000 0 2 80"};
  for (int line = 0; line < 100; ++line) {
    expected.push_back("write 123");
    expected.push_back("write 2");
  }
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
    engine::RunDriveTest();
  }
  EXPECT_EQ(World.firstBytes, "z0");
}

struct Fault {
  const char* what;
  std::int64_t flipInFile, flipAt, cutFile, cutTo;
  int differingLine;
  std::int64_t passesDone, cyclesInPass, written, verified, operations, fileSize;
};

// A drive that gives back something else than was written must never pass.
TEST_F(Run, DifferingLineEndsTheRunAfterReadingTheWholeFile) {
  const Fault faults[] = {
      {"a flipped byte in line 0 of the first file", 1, 5, 0, 0, 0, 0, 0, 12300, 99 * 123, 2, 12500},
      {"file 75 cut short inside its last line", 0, 0, 75, 12437, 99, 1, 24, 75 * 12300,
       74 * 12300 + 99 * 123, 150, 12437},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.what);
    StartAsProgram();
    World.flipInFile = fault.flipInFile;
    World.flipAt = fault.flipAt;
    World.cutFile = fault.cutFile;
    World.cutTo = fault.cutTo;
    engine::LastScoreText = L"777";

    engine::RunDriveTest();

    EXPECT_EQ(DifferingLines(), std::vector<int>{fault.differingLine});
    EXPECT_EQ(engine::CharsWritten, fault.written);
    EXPECT_EQ(engine::CharsVerified, fault.verified);
    EXPECT_EQ(engine::FileOperations, fault.operations);
    EXPECT_EQ(engine::PassesDone, fault.passesDone);
    EXPECT_EQ(engine::CyclesInPass, fault.cyclesInPass);
    EXPECT_EQ(engine::FailureFlag, 0);
    EXPECT_EQ(engine::RunState, 0);   // no reset: Start stays disabled
    EXPECT_EQ(engine::LastScoreText, Text(L"777"));
    EXPECT_TRUE(World.exists) << "the failing file stays on the drive";
    EXPECT_EQ(static_cast<std::int64_t>(World.bytes.size()), fault.fileSize);
    EXPECT_EQ(World.counts["delete"], fault.cyclesInPass + 50 * fault.passesDone);
    EXPECT_TRUE(World.boxes.empty());
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

    engine::RunDriveTest();

    EXPECT_EQ(engine::RunState, engine::ResetPending);
    EXPECT_EQ(engine::StopFlag, engine::StopRequested) << "only the main loop's reset clears it";
    EXPECT_EQ(engine::PassesDone, point.passesDone);
    EXPECT_EQ(engine::CyclesInPass, point.cyclesInPass);
    EXPECT_EQ(World.filesCreated, point.filesCreated);
    EXPECT_EQ(World.exists, point.fileLeft);
    EXPECT_EQ(World.sleeps, std::vector<std::int64_t>{1062}) << "the settle delay comes first";
    EXPECT_EQ(engine::LastScoreText, Text(L"777"));
    EXPECT_TRUE(World.boxes.empty());
  }
  // Stopped while idle: the drive text, the old file's removal and the delay, then the first poll.
  StartAsProgram();
  (void)engine::RequestStop();
  engine::RunDriveTest();
  EXPECT_EQ(World.log, (std::vector<std::string>{"attributes 80", "delete fails", "sleep 1062", "clock"}));
}

struct Unreachable {
  const char* what;
  std::int64_t refuseCreatingFrom, refuseOpeningFrom;
  const wchar_t* message;
  std::int64_t passesDone, cyclesInPass;
  bool fileLeft;
};

// A test file that cannot be created or opened ends the run after one message, like a stop.
TEST_F(Run, UnreachableTestFileShowsOneMessageAndEndsLikeAStop) {
  const Unreachable cases[] = {
      {"no file can be created", 1, 0, L"可能无法创建文件!", 0, 0, false},
      {"the file written cannot be opened", 0, 1, L"无法打开文件!", 0, 0, true},
      {"creation fails from cycle 60 on", 60, 0, L"可能无法创建文件!", 1, 9, false},
  };
  for (const Unreachable& unreachable : cases) {
    SCOPED_TRACE(unreachable.what);
    StartAsProgram();
    World.refuseCreatingFrom = unreachable.refuseCreatingFrom;
    World.refuseOpeningFrom = unreachable.refuseOpeningFrom;
    engine::LastScoreText = L"777";

    engine::RunDriveTest();

    EXPECT_EQ(World.boxes, (std::vector<std::pair<std::wstring, std::wstring>>{{L"信息", unreachable.message}}));
    EXPECT_EQ(engine::RunState, engine::ResetPending);
    EXPECT_EQ(engine::PassesDone, unreachable.passesDone);
    EXPECT_EQ(engine::CyclesInPass, unreachable.cyclesInPass);
    EXPECT_EQ(engine::LastScoreText, Text(L"777"));
    EXPECT_EQ(World.exists, unreachable.fileLeft);
    EXPECT_EQ(World.secondOpen, 0);
  }
}

}  // namespace
