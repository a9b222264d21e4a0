// The test run: 50 timed passes of 50 write/verify cycles on the test file, with its counters,
// verdict and score shown in the main window.
#include "drives/drives.h"
#include "engine/engine.h"
#include "ui/texts.h"
#include "ui/ui.h"

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
runtime::Text LastScoreText;
std::int64_t WrittenRefreshCount = 0;
std::int64_t VerifiedRefreshCount = 0;
std::int64_t OperationsRefreshCount = 0;

namespace {

constexpr std::int64_t SettleDelayMs = 1062;     // before the first pass; outside every pass time
constexpr std::int64_t RefreshInterval = 32;     // cycles between two refreshes of one status field
constexpr std::int64_t ProgressAtRest = 500;
constexpr std::int64_t ProgressPerPass = 10;

// True when Stop was requested: the run must return at once, leaving everything as it is.
bool StopSeen() {
  if (StopFlag != StopRequested) return false;
  RunState = ResetPending;
  return true;
}

// A test file the drive will not let us create or open: one message, then the run ends the way
// a stopped run ends, so that the main loop's reset restores the window and removes the file.
void Abandon(const wchar_t* text) {
  (void)runtime::ShowMessage(ui::InfoCaption, text);
  RunState = ResetPending;
}

// Counts one cycle for a status field and rewrites the field every 32nd cycle. The text is made
// only when the field is due, to keep the timed cycles free of needless work.
void CountForField(std::int64_t& sinceRefresh, std::int64_t field, const wchar_t* label,
                   std::int64_t count) {
  sinceRefresh += 1;
  if (sinceRefresh < RefreshInterval) return;
  runtime::Text text = label;
  text += runtime::DecimalText(count);
  ui::SetStatusText(field, text.c_str());
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
    ReadBackTable[i] = ReadLine(file);
    if (runtime::TextEquals(ReadBackTable[i], PatternTable[i])) CharsVerified += CharsPerLine;
    else FailureFlag = LineDiffered;
  }
  Close(file);
  return true;
}

// The red verdict; the failing cycle's file stays on the drive and Start stays disabled.
void ShowFailure() {
  ui::SetControlText(ui::StatusBanner, ui::FailedVerdict);
  ui::SetControlBackColor(ui::StatusBanner, ui::FailureRed);
  runtime::DrainEvents();
  FailureFlag = 0;
}

// The drive under test named in the window, any old test file removed, the drive left to settle.
void Prepare() {
  CharsWritten = 0;
  FileOperations = 0;
  OperationsRefreshCount = 0;
  runtime::Text driveText = ui::DriveUnderTestLabel;
  if (ui::SelectedSlot >= 0 && ui::SelectedSlot < drives::DriveRootEntries)
    driveText += drives::DriveRoots[ui::SelectedSlot];
  (void)ui::CreateTextControl(ui::DriveUnderTestText, 180, 136, 145, 20, driveText.c_str(), true);
  (void)ForceDelete(TestFileName);
  runtime::DelayMs(SettleDelayMs);
  (void)ui::CreateTextControl(ui::ScoreText, 195, 202, 130, 30, ui::Placeholder, true);
}

// Score = mean pass time in whole ms (truncated); green verdict; Start enabled again.
void Complete() {
  std::int64_t sum = 0;
  for (std::int64_t pass = 0; pass < PassesPerRun; ++pass) sum += PassTimes[pass];
  LastScoreText = runtime::DecimalText(sum / PassesPerRun);
  ui::SetControlText(ui::ScoreText, LastScoreText.c_str());
  ui::SetControlText(ui::StatusBanner, ui::PassedVerdict);
  ui::SetControlBackColor(ui::StatusBanner, ui::SuccessGreen);
  runtime::DrainEvents();
  CyclesInPass = 0;
  PassesDone = 0;
  ui::SetControlState(ui::ProgressBar, ProgressAtRest);
  ui::SetControlEnabled(ui::StartButton, true);
  runtime::DrainEvents();
  CharsWritten = 0;
  CharsVerified = 0;
  FileOperations = 0;
  OperationsRefreshCount = 0;
}

}  // namespace

// One write/verify cycle; false when the run ends inside it (stopped, abandoned or failed).
bool RunCycle() {
  if (StopSeen()) return false;
  if (!WritePhase()) {
    Abandon(ui::CannotCreateFile);
    return false;
  }
  FileOperations += 1;
  CountForField(WrittenRefreshCount, ui::WrittenField, ui::WrittenLabel, CharsWritten);
  if (!ReadPhase()) {
    Abandon(ui::CannotOpenFile);
    return false;
  }
  FileOperations += 1;
  CountForField(OperationsRefreshCount, ui::FileOpsField, ui::FileOpsLabel, FileOperations);
  if (FailureFlag == LineDiffered) {
    ShowFailure();
    return false;
  }
  CountForField(VerifiedRefreshCount, ui::VerifiedField, ui::VerifiedLabel, CharsVerified);
  CyclesInPass += 1;
  if (StopSeen()) return false;
  // Delete until it fails, twice over: on a healthy drive one removal and two failed attempts.
  for (std::int64_t round = 0; round < 2; ++round)
    while (ForceDelete(TestFileName)) {}
  return !StopSeen();
}

void RunDriveTest() {
  Prepare();
  while (PassesDone < PassesPerRun) {
    PassStartMs = runtime::ElapsedMs();
    while (CyclesInPass < CyclesPerPass)
      if (!RunCycle()) return;
    PassTimes[PassesDone] = runtime::ElapsedMs() - PassStartMs;
    CyclesInPass = 0;
    PassesDone += 1;
    ui::SetControlState(ui::ProgressBar, ProgressAtRest - ProgressPerPass * PassesDone);
    runtime::DrainEvents();
    if (StopSeen()) return;
  }
  Complete();
}

std::int64_t RequestStop() {
  StopFlag = StopRequested;
  return 0;
}

}  // namespace engine
