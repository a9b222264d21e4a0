// The main loop: Start, Store score and the close box; the window's reset after a stopped run.
#include <windows.h>

#include "drives/drives.h"
#include "engine/engine.h"
#include "runtime/runtime.h"
#include "ui/texts.h"
#include "ui/ui.h"

namespace ui {

namespace {

runtime::Text& StartDirectory = runtime::Lasting<runtime::Text>();   // current when the main loop began

// Back to the directory the program started in once a run has ended, so that nothing of ours
// holds the tested drive: on Windows a drive that is some program's current directory cannot be
// safely removed.
void LetGoOfDrive() { (void)SetCurrentDirectoryW(StartDirectory.c_str()); }

// The three status fields back to their bare labels, and the counters they show to 0.
void ClearStatusFields() {
  SetStatusText(WrittenField, WrittenLabel);
  SetStatusText(VerifiedField, VerifiedLabel);
  SetStatusText(FileOpsField, FileOpsLabel);
}

void ClearBanner() {
  SetControlText(StatusBanner, Placeholder);
  SetControlBackColor(StatusBanner, NeutralGrey);
}

// After a stopped run: the window as after start-up (drive text and stored score keep their own
// places), the stop flag cleared and any test file left by the run removed from the drive's root
// before the drive is let go.
void ResetAfterStop() {
  SetControlEnabled(StartButton, true);
  for (std::int64_t i = 0; i < DriveSlots; ++i) SetControlState(DriveOption0 + i, 0);
  engine::ClearRunState();
  SetControlState(ProgressBar, ProgressAtRest);
  (void)CreateTextControl(ScoreText, 195, 202, 130, 30, Placeholder, true);
  ClearStatusFields();
  engine::ClearCounters();
  (void)CreateTextControl(DriveUnderTestText, 190, 136, 145, 20, DriveUnderTestLabel, true);
  ClearBanner();
  LetGoOfDrive();
}

// Copies the score of the last completed run, if any, into the stored-score text.
void StoreScore() {
  if (runtime::TextEquals(engine::LastScoreText, runtime::Text())) return;
  (void)CreateTextControl(StoredScoreText, 190, 320, 130, 30, engine::LastScoreText.c_str(), true);
  runtime::DrainEvents();
}

// The checked drive slot (the highest, should several be), or NoSelection.
std::int64_t CheckedSlot() {
  std::int64_t slot = NoSelection;
  for (std::int64_t i = 0; i < DriveSlots; ++i)
    if (GetControlState(DriveOption0 + i) == 1) slot = i;
  return slot;
}

// Runs the test on the checked drive; without one, or when its root cannot be made the current
// directory, says so and leaves Start enabled.
void Start() {
  ClearStatusFields();
  engine::ClearCounters();
  ClearBanner();
  runtime::DrainEvents();   // drops a second click on Start that is already waiting
  SetControlEnabled(StartButton, false);
  SelectedSlot = CheckedSlot();
  if (SelectedSlot == NoSelection) {
    (void)runtime::ShowMessage(NoDriveCaption, NoDriveText);
    SetControlEnabled(StartButton, true);
    runtime::DrainEvents();
    return;
  }
  const std::int64_t slot = SelectedSlot;
  if (slot == 0) runtime::DrainEvents();
  if (!SetCurrentDirectoryW(drives::DriveRoots[slot].c_str())) {
    (void)runtime::ShowMessage(InfoCaption, CannotAccessDrive);
    SelectedSlot = NoSelection;
    SetControlEnabled(StartButton, true);
    runtime::DrainEvents();
    return;
  }
  engine::RunDriveTest(MainWindowView);
  if (engine::RunState != engine::ResetPending) LetGoOfDrive();   // else after the reset's clean-up
  SelectedSlot = NoSelection;
  if (slot == 1) runtime::DrainEvents();
}

}  // namespace

void RunMainLoop() {
  // Without a window no close request can ever come: say so once and end, never wait for nothing.
  if (!HasMainWindow()) {
    (void)runtime::ShowMessage(InfoCaption, CannotCreateWindow);
    return;
  }
  StartDirectory = runtime::SpaceText(GetCurrentDirectoryW(0, nullptr));
  StartDirectory.resize(GetCurrentDirectoryW(static_cast<DWORD>(StartDirectory.size()), StartDirectory.data()));
  for (;;) {
    if (engine::RunState == engine::ResetPending) ResetAfterStop();
    const std::int64_t event = runtime::WaitEvent();
    if (event == runtime::ControlActivated) {
      const std::int64_t control = runtime::CurrentEventControl();
      if (control == StoreScoreButton) StoreScore();
      else if (control == StartButton) Start();
    }
    if (event == runtime::CloseRequested) return;
  }
}

}  // namespace ui
