// Generated hostile drives under the test file and the run. A drive is a seed; from it are drawn
// how many cycles the run has left (it starts late in its last pass, so that it can complete), one
// to three faults of the in-memory drive, each from a request drawn at random, and maybe a Stop,
// clicked at any request or after the last pass.
// Whatever the drive does, the run must end in exactly one way that the lines which came back
// allow, within a budget of requests, touching nothing but tfile.frl.
// FERRULON_DRIVES=SEED replays one drive; FERRULON_DRIVES=FIRST:COUNT runs a campaign of any length.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "fake_world.h"
#include <gtest/gtest.h>

namespace {

constexpr std::int64_t RequestBudget = 3000000;                                 // a cycle makes about 12,800
constexpr std::int64_t PerCycle[Counters] = {12500, 1, 200, 1, 1, 2, 1, 4, 4};  // requests on a healthy drive
enum Outcome { Green, Red, Message, Stopped, Outcomes };
const char* const OutcomeNames[Outcomes] = {"green", "red", "with a message", "stopped"};

struct Drive {
  std::int64_t cycles = 0, stopAtDrain = 0, drains = 0, verdicts = 0;  // verdicts: bits Green and Red
  bool stopped = false;
  std::vector<std::int64_t> messages{};
  std::string description{};
} Tried;

// The recording view, telling the verdicts and messages apart, and clicking Stop when the seed says.
engine::RunView HostileView() {
  engine::RunView view = RecordingView;
  view.failed = [] { Tried.verdicts += 1 << Red; };
  view.completed = [](const runtime::Text&) { Tried.verdicts += 1 << Green; };
  view.fileMessage = [](std::int64_t message) { Tried.messages.push_back(message); };
  view.drainEvents = [] {  // the drain after the last pass; not those after a verdict or a message
    if (Tried.verdicts > 0 || !Tried.messages.empty() || ++Tried.drains != Tried.stopAtDrain) return;
    Tried.stopped = true;
    (void)engine::RequestStop();
  };
  return view;
}

// The drive of one seed, and its one-line description.
void Generate(std::uint64_t seed) {
  Tried = Drive{};
  ResetWorld();
  World.logging = false;
  World.budget = RequestBudget;
  std::mt19937_64 random(seed * 0x9E3779B97F4A7C15ULL + 1);
  const auto upTo = [&](std::int64_t n) { return 1 + static_cast<std::int64_t>(random() % n); };
  Tried.cycles = World.cyclesLeft = upTo(3);
  World.passesLeft = 1;
  for (std::int64_t n = upTo(3); n > 0; --n) {
    Fault f{static_cast<FaultKind>(random() % FaultKinds), 0, 1, random()};
    f.from = upTo(PerCycle[FaultClasses[f.kind].counter] * Tried.cycles);
    if (f.kind == EndsEarly || f.kind == SeekFails || random() % 3 == 0) f.count = upTo(4) == 1 ? Always : upTo(20);
    const DWORD errors[] = {ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED, ERROR_WRITE_PROTECT, ERROR_DISK_FULL,
                            ERROR_NOT_READY};
    if (f.kind == CreateFails || f.kind == OpenFails) f.arg = errors[f.arg % 5];
    World.faults.push_back(f);
    Tried.description += std::string("; ") + FaultClasses[f.kind].name + " from request " + std::to_string(f.from) +
                         " for " + (f.count == Always ? "good" : std::to_string(f.count)) + " (" +
                         std::to_string(f.arg % 100000) + ")";
  }
  if (random() % 4 == 0) {  // a Stop, at a request or after the last pass
    if (random() % 2)
      World.stopAtRequest = upTo(12810 * Tried.cycles);
    else
      Tried.stopAtDrain = 1;
  }
  Tried.description = "seed " + std::to_string(seed) + ": " + std::to_string(Tried.cycles) + " cycles to go" +
                      (World.stopAtRequest ? ", Stop at request " + std::to_string(World.stopAtRequest) : "") +
                      (Tried.stopAtDrain ? ", Stop after the last pass" : "") + Tried.description;
}

// The run on the drive of one seed and, when the run asks for it, the main loop's reset.
void Try(std::uint64_t seed) {
  Generate(seed);
  FreshRunState();
  engine::LastScoreText = L"777";
  engine::RunDriveTest(HostileView());
  Tried.stopped = Tried.stopped || (World.stopAtRequest > 0 && World.allRequests >= World.stopAtRequest);
  const bool reset = engine::RunState == engine::ResetPending;
  const Outcome outcome = Tried.verdicts            ? (Tried.verdicts == 1 << Red ? Red : Green)
                          : !Tried.messages.empty() ? Message
                                                    : Stopped;
  const std::vector<std::int64_t>& back = World.linesBack;
  const std::int64_t phases = static_cast<std::int64_t>(back.size());
  const auto differing = std::find_if(back.begin(), back.end(), [](std::int64_t n) { return n < 100; });
  if (Tried.verdicts > 2 || (Tried.verdicts > 0) + !Tried.messages.empty() + (reset && Tried.messages.empty()) != 1 ||
      Tried.messages.size() > 1 || reset != (outcome == Message || outcome == Stopped))
    Violate("not exactly one ending");
  if ((outcome == Red) != (differing != back.end()) || (outcome == Red && differing + 1 != back.end()))
    Violate("the lines of read phase " + std::to_string(differing - back.begin() + 1) + " of " +
            std::to_string(phases) + ", yet the run ended " + OutcomeNames[outcome]);
  if ((outcome == Green) != (engine::LastScoreText != runtime::Text(L"777")))
    Violate("a score without green, or green without");
  if (outcome == Green && phases != Tried.cycles) Violate("green without every cycle");
  if (outcome == Stopped ? !Tried.stopped : Tried.stopped && outcome == Green)
    Violate(Tried.stopped ? "Stop not seen" : "stopped without Stop");
  if ((outcome == Message ? Tried.messages[0] : 0) != World.lastFailed)
    Violate("the message does not match the last create or open");
  if (outcome == Red) {
    std::int64_t equal = 0;
    for (int i = 0; i < engine::LinesPerFile; ++i) {
      equal += engine::ReadBackTable[i] == engine::PatternTable[i];
      if (i < back.back() && engine::ReadBackTable[i] != engine::PatternTable[i])
        Violate("a line back as written, unequal");
    }
    if (engine::CharsVerified != 12300 * (phases - 1) + 123 * equal ||
        engine::CharsWritten != 12300 * World.filesCreated || engine::FileOperations != 2 * phases ||
        engine::CyclesInPass != engine::CyclesPerPass - Tried.cycles + phases - 1 ||
        engine::PassesDone != engine::PassesPerRun - 1 || engine::RunState != 0 || !World.exists)
      Violate("counters, or the failing file, after the red verdict");
  }
  if (reset) engine::ClearRunState();
  if (reset &&
      engine::CharsWritten + engine::CharsVerified + engine::FileOperations + engine::StopFlag + engine::RunState)
    Violate("the reset left counters or flags");
  if (World.allRequests > RequestBudget) Violate("more than " + std::to_string(RequestBudget) + " requests: a hang");
  const bool keeps = std::any_of(World.faults.begin(), World.faults.end(),
                                 [](const Fault& f) { return f.kind == DeleteFails || f.kind == DeleteLies; });
  if (outcome != Red && World.exists && !keeps) Violate("a test file left after the run");
}

// Drives that found faults, kept whatever the campaign's range.
constexpr std::uint64_t DeleteReportedFileStays = 178;       // a delete reported done, the file still there
constexpr std::uint64_t DeleteReportedInTheReset = 270;      // ... in the reset after a Stop
constexpr std::uint64_t EndlessBytesAfterShortWrite = 2001;  // bytes without end or terminator past a cut file
constexpr std::uint64_t EndlessBytesInReplacedFile = 1054;   // ... past a file the drive put in its place

TEST(HostileDrives, NeverAFalseGreenACrashOrAHang) {
  std::vector<std::uint64_t> seeds = {DeleteReportedFileStays, DeleteReportedInTheReset, EndlessBytesAfterShortWrite,
                                      EndlessBytesInReplacedFile};
  for (std::uint64_t seed : Seeds("FERRULON_DRIVES", 1, 10000)) seeds.push_back(seed);
  InstallFakes();
  std::int64_t failures = 0;
  for (std::uint64_t seed : seeds) {
    CurrentCase = "FERRULON_DRIVES=" + std::to_string(seed);
    Try(seed);
    if (!World.violation.empty() && ++failures <= 20)
      ADD_FAILURE() << World.violation << "\n  " << Tried.description << "\n  alone: FERRULON_DRIVES=" << seed;
  }
  RemoveFakes();
  CurrentCase.clear();
  EXPECT_EQ(failures, 0);
}

}  // namespace
