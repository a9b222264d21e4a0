// The run over the in-memory drive and the scripted clock, shown to a recording view.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fake_world.h"

using runtime::Text;
using Numbers = std::vector<std::int64_t>;
using Strings = std::vector<std::string>;

namespace {

std::string N(std::int64_t n) { return std::string(" ").append(std::to_string(n)); }

void RunTest() { engine::RunDriveTest(RecordingView); }

class Run : public testing::Test {
 protected:
  void SetUp() override {
    InstallFakes();
    ResetWorld();
    FreshRunState();
  }
  void TearDown() override { RemoveFakes(); }
};

TEST_F(Run, CompletedRunCountsEveryCycleScoresTheMeanPassAndResets) {
  for (std::int64_t pass = 0; pass < 50; ++pass) World.passDurations.push_back(222 + pass);
  World.passDurations.back() += 20;   // 12,345 ms in all
  RunTest();
  EXPECT_EQ(Numbers(engine::PassTimes, engine::PassTimes + 50), World.passDurations);
  EXPECT_EQ(engine::LastScoreText, Text(L"246"));   // the mean, truncated
  EXPECT_EQ((Numbers{engine::CharsWritten, engine::CharsVerified, engine::FileOperations, engine::CyclesInPass,
                     engine::PassesDone, engine::RunState, engine::FailureFlag, engine::WrittenRefreshCount,
                     engine::VerifiedRefreshCount, engine::OperationsRefreshCount, World.secondOpen, World.exists}),
            (Numbers{0, 0, 0, 0, 0, 0, 0, 4, 4, 0, 0, 0}));   // 2,500 cycles leave 4 since a refresh
  EXPECT_EQ(World.counts, (std::map<std::string, std::int64_t>{
                              {"attributes 80", 7501}, {"clock", 100}, {"close", 5000},
                              {"create 80000000 0 3 80", 2500}, {"create C0000000 0 2 80", 2500},
                              {"delete", 2500}, {"delete fails", 5001}, {"read 1", 31250000},
                              {"sleep 1062", 1}, {"write 123", 250000}, {"write 2", 250000}}));
  std::string alternating;
  for (int file = 0; file < 1250; ++file) alternating += "z0";
  EXPECT_EQ(World.firstBytes, alternating);

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
  World = FakeWorld{};
  World.stopAtReading = 2;
  RunTest();
  EXPECT_EQ(Strings(World.shown.begin() + 2, World.shown.begin() + 5),
            (Strings{"count 0 344400", "count 1 344400", "count 2 64"}));
}

// One cycle is the whole file work, in order, after the old file is removed and the drive settles.
TEST_F(Run, CycleMakesTheRequestsOfTheMeasurementInOrder) {
  World.stopAtDeleteOf = 1;
  RunTest();
  Strings expected{"show drive", "attributes 80", "delete fails", "sleep 1062", "show score pending", "clock",
                   "create C0000000 0 2 80"};
  for (int line = 0; line < 100; ++line) expected.insert(expected.end(), {"write 123", "write 2"});
  expected.insert(expected.end(), {"close", "create 80000000 0 3 80"});
  expected.insert(expected.end(), 12500, "read 1");
  expected.insert(expected.end(), {"close", "attributes 80", "delete", "attributes 80", "delete fails",
                                   "attributes 80", "delete fails"});
  EXPECT_EQ(World.log, expected);
}

// The table is never refilled: the direction flips once per file created, over all runs.
TEST_F(Run, LineDirectionCarriesOverFromRunToRun) {
  for (std::int64_t file : {1, 2}) {   // two runs, stopped after one file each
    engine::ClearRunState();
    World.stopAtDeleteOf = file;
    RunTest();
  }
  EXPECT_EQ(World.firstBytes, "z0");
}

// A differing line fails the run after the whole file is read; Stop ends it at its next poll; a
// file that cannot be made or opened shows one message and ends the run like a stop. Counters, the
// file and the score stay as they are, until the main loop's reset clears them and removes the file.
TEST_F(Run, EarlyEndsLeaveEverythingAsItIsUntilTheReset) {
  constexpr std::int64_t R = engine::ResetPending, S = engine::StopRequested;
  const struct {
    const char* what;
    void (*setup)();
    Numbers state;   // run state, stop flag, passes, cycles, written, verified, operations, files,
                     // size of the file left (-1: none), deletes, verified count's refresh
    Strings ending;   // verdict or message, then the last thing shown
    int differingLine;
  } cases[] = {
      {"byte 5 of file 1 flipped", [] { World.flipInFile = 1; World.flipAt = 5; },
       {0, 0, 0, 0, 12300, 12177, 2, 1, 12500, 0, 0}, {"failed", "drain @1"}, 0},
      {"file 75 cut inside its last line", [] { World.cutFile = 75; World.cutTo = 12437; },
       {0, 0, 1, 24, 922500, 922377, 150, 75, 12437, 74, 10}, {"failed", "drain @3"}, 99},
      {"Stop clicked while idle", [] { (void)engine::RequestStop(); },
       {R, S, 0, 0, 0, 0, 0, 0, -1, 0, 0}, {"score pending"}, -1},
      {"Stop seen after cycle 3's counters", [] { World.stopAtReadCloseOf = 3; },
       {R, S, 0, 3, 36900, 36900, 6, 3, 12500, 2, 3}, {"score pending"}, -1},
      {"Stop seen after the delete step of a pass's last cycle", [] { World.stopAtDeleteOf = 50; },
       {R, S, 0, 50, 615000, 615000, 100, 50, -1, 50, 18}, {"count 1 393600"}, -1},
      {"Stop during pass 2, seen after its drain", [] { World.stopAtReading = 4; },
       {R, S, 2, 0, 1230000, 1230000, 200, 100, -1, 100, 4}, {"drain @4"}, -1},
      {"no file can be created", [] { World.refuseCreatingFrom = 1; },
       {R, 0, 0, 0, 0, 0, 0, 0, -1, 0, 0}, {"message 1", "message 1"}, -1},
      {"the file written cannot be opened", [] { World.refuseOpening = true; },
       {R, 0, 0, 0, 12300, 0, 1, 1, 12500, 0, 0}, {"message 2", "message 2"}, -1},
      {"creation fails from cycle 60 on", [] { World.refuseCreatingFrom = 60; },
       {R, 0, 1, 9, 725700, 725700, 118, 59, -1, 59, 27}, {"message 1", "message 1"}, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetWorld();
    FreshRunState();
    c.setup();
    engine::LastScoreText = L"777";
    RunTest();
    EXPECT_EQ((Numbers{engine::RunState, engine::StopFlag, engine::PassesDone, engine::CyclesInPass,
                       engine::CharsWritten, engine::CharsVerified, engine::FileOperations, World.filesCreated,
                       World.exists ? static_cast<std::int64_t>(World.bytes.size()) : -1, World.counts["delete"],
                       engine::VerifiedRefreshCount}),
              c.state);
    Strings ending;
    for (const std::string& what : World.shown)
      if (what.starts_with("failed") || what.starts_with("message") || what.starts_with("completed"))
        ending.push_back(what);
    ending.push_back(World.shown.back());
    EXPECT_EQ(ending, c.ending);
    EXPECT_TRUE(engine::FailureFlag == 0 && World.secondOpen == 0 && World.counts["sleep 1062"] == 1);
    EXPECT_EQ(engine::LastScoreText, Text(L"777"));
    std::vector<int> differing;
    for (int i = 0; i < 100; ++i)
      if (engine::ReadBackTable[i] != engine::PatternTable[i]) differing.push_back(i);
    if (c.differingLine >= 0) {
      EXPECT_EQ(differing, std::vector<int>{c.differingLine});
    }
    engine::ClearRunState();
    EXPECT_EQ((Numbers{engine::RunState, engine::StopFlag, engine::PassesDone, engine::CyclesInPass,
                       engine::CharsWritten, engine::CharsVerified, engine::FileOperations, World.exists}),
              Numbers(8, 0));
  }
}

}  // namespace
