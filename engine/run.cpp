// The test run: 50 timed passes of 50 write/verify cycles on the test file, with its counters,
// verdict and score reported through the view its caller hands in.
#include "engine/engine.h"

namespace engine {

std::int64_t CharsWritten = 0;
std::int64_t CharsVerified = 0;
std::int64_t FileOperations = 0;
std::int64_t CyclesInPass = 0;
std::int64_t PassesDone = 0;
std::int64_t PassStartMs = 0;
std::int64_t PassTimes[53] = {};
std::int64_t FailureFlag = 0;
std::int64_t StopFlag = 0;
std::int64_t RunState = 0;
runtime::Text& LastScoreText = runtime::Lasting<runtime::Text>();
std::int64_t WrittenRefreshCount = 0;
std::int64_t VerifiedRefreshCount = 0;
std::int64_t OperationsRefreshCount = 0;

namespace {

constexpr std::int64_t SettleDelayMs = 1062;  // before the first pass; outside every pass time
constexpr std::int64_t RefreshInterval = 32;  // cycles between two refreshes of one count

// True when Stop was requested: the run must return at once, leaving everything as it is.
bool StopSeen() {
  if (StopFlag != StopRequested) return false;
  RunState = ResetPending;
  return true;
}

// A test file the drive will not let us create or open: one message, then the run ends the way
// a stopped run ends, so that the main loop's reset restores the window and removes the file.
// Clicks made during the pass are dropped here, as at every other end of a run: a click on the
// close box must not close the window once the run is over.
void Abandon(const RunView& view, std::int64_t message) {
  view.fileMessage(message);
  view.drainEvents();
  RunState = ResetPending;
}

// Counts one cycle for a count on show and reports the count every 32nd cycle.
void CountCycle(const RunView& view, std::int64_t& sinceRefresh, std::int64_t which, std::int64_t count) {
  sinceRefresh += 1;
  if (sinceRefresh < RefreshInterval) return;
  view.countRefreshed(which, count);
  sinceRefresh = 0;
}

// Writes the 100 lines, each the reverse of what the previous file held; false if not created.
bool WritePhase() {
  UnbufferedTextFile file{};
  if (!CreateForWriting(file, TestFileName)) return false;
  for (std::int64_t i = 0; i < LinesPerFile; ++i) {
    PatternTable[i] = runtime::ReverseText(PatternTable[i]);
    WriteLine(file, PatternTable[i]);
    CharsWritten += CharsPerLine;
  }
  Close(file);
  return true;
}

// Reads all 100 lines back and compares each with what was written; false if not opened.
bool ReadPhase() {
  UnbufferedTextFile file{};
  if (!OpenForReading(file, TestFileName)) return false;
  for (std::int64_t i = 0; i < LinesPerFile; ++i) {
    ReadLine(file, ReadBackTable[i]);
    if (runtime::TextEquals(ReadBackTable[i], PatternTable[i]))
      CharsVerified += CharsPerLine;
    else
      FailureFlag = LineDiffered;
  }
  Close(file);
  return true;
}

// The failure verdict; the failing cycle's file stays on the drive and the run state stays as it is.
void Fail(const RunView& view) {
  view.failed();
  view.drainEvents();
  FailureFlag = 0;
}

// The drive under test shown, any old test file removed, the drive left to settle.
void Prepare(const RunView& view) {
  CharsWritten = 0;
  FileOperations = 0;
  OperationsRefreshCount = 0;
  view.driveUnderTest();
  (void)ForceDelete(TestFileName);
  runtime::DelayMs(SettleDelayMs);
  view.scorePending();
}

// Score = mean pass time in whole ms (truncated); then ready for the next run.
void Complete(const RunView& view) {
  std::int64_t sum = 0;
  for (std::int64_t pass = 0; pass < PassesPerRun; ++pass) sum += PassTimes[pass];
  LastScoreText = runtime::DecimalText(sum / PassesPerRun);
  view.completed(LastScoreText);
  view.drainEvents();
  CyclesInPass = 0;
  PassesDone = 0;
  view.readyAgain();
  view.drainEvents();
  ClearCounters();
  OperationsRefreshCount = 0;
}

}  // namespace

// One write/verify cycle; false when the run ends inside it (stopped, abandoned or failed).
bool RunCycle(const RunView& view) {
  view.stayResponsive();
  if (StopSeen()) return false;
  if (!WritePhase()) {
    Abandon(view, FileNotCreated);
    return false;
  }
  FileOperations += 1;
  CountCycle(view, WrittenRefreshCount, WrittenCount, CharsWritten);
  if (!ReadPhase()) {
    Abandon(view, FileNotOpened);
    return false;
  }
  FileOperations += 1;
  CountCycle(view, OperationsRefreshCount, OperationsCount, FileOperations);
  if (FailureFlag == LineDiffered) {
    Fail(view);
    return false;
  }
  CountCycle(view, VerifiedRefreshCount, VerifiedCount, CharsVerified);
  CyclesInPass += 1;
  if (StopSeen()) return false;
  // Delete until it fails, twice over: on a healthy drive one removal and two failed attempts.
  for (std::int64_t round = 0; round < 2; ++round) DeleteWhileItSucceeds(TestFileName);
  return !StopSeen();
}

void RunDriveTest(const RunView& view) {
  Prepare(view);
  while (PassesDone < PassesPerRun) {
    PassStartMs = runtime::ElapsedMs();
    while (CyclesInPass < CyclesPerPass)
      if (!RunCycle(view)) return;
    PassTimes[PassesDone] = runtime::ElapsedMs() - PassStartMs;
    CyclesInPass = 0;
    PassesDone += 1;
    view.passDone(PassesDone);
    view.drainEvents();
    if (StopSeen()) return;
  }
  Complete(view);
}

std::int64_t RequestStop() {
  StopFlag = StopRequested;
  return 0;
}

void ClearCounters() {
  CharsWritten = 0;
  CharsVerified = 0;
  FileOperations = 0;
}

void ClearRunState() {
  RunState = 0;
  StopFlag = 0;
  CyclesInPass = 0;
  PassesDone = 0;
  PassStartMs = 0;
  ClearCounters();
  DeleteWhileItSucceeds(TestFileName);
}

}  // namespace engine
