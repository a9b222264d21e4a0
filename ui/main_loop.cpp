// The main loop: Start, Store score and the close box; the window's reset after a stopped run.
#include <windows.h>

#include "drives/drives.h"
#include "engine/engine.h"
#include "runtime/runtime.h"
#include "ui/places.h"
#include "ui/texts.h"
#include "ui/ui.h"

namespace ui {

namespace {

constexpr std::int64_t NoSelection = 100;  // SelectedSlot when no drive slot is chosen

std::int64_t SelectedSlot = NoSelection;  // 0..6 from Start's reading of the slots until its run has ended
runtime::Text& StartDirectory = runtime::Lasting<runtime::Text>();  // current when the main loop began

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

// After a stopped run: the window as after start-up but for the drive text's place (see
// DriveUnderTestAfterReset) and the stored score, which stays; the stop flag cleared and any test
// file left by the run removed from the drive's root before the drive is let go.
void ResetAfterStop() {
  SetControlEnabled(StartButton, true);
  for (std::int64_t i = 0; i < DriveSlots; ++i) SetControlState(DriveOption0 + i, 0);
  engine::ClearRunState();
  SetControlState(ProgressBar, ProgressAtRest);
  CreateCentredText(ScoreText, ScorePlace, Placeholder);
  ClearStatusFields();
  engine::ClearCounters();
  CreateCentredText(DriveUnderTestText, DriveUnderTestAfterReset, DriveUnderTestLabel);
  ClearBanner();
  LetGoOfDrive();
}

// Copies the score of the last completed run, if any, into the stored-score text.
void StoreScore() {
  if (runtime::TextEquals(engine::LastScoreText, runtime::Text())) return;
  CreateCentredText(StoredScoreText, StoredScoreShown, engine::LastScoreText.c_str());
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
  runtime::DrainEvents();  // drops a second click on Start that is already waiting
  SetControlEnabled(StartButton, false);
  SelectedSlot = CheckedSlot();
  if (SelectedSlot == NoSelection) {
    (void)runtime::ShowMessage(NoDriveCaption, NoDriveText);
    SetControlEnabled(StartButton, true);
    runtime::DrainEvents();
    return;
  }
  const std::int64_t slot = SelectedSlot;
  // Slot 0 drains once more before its run, slot 1 once more after it, and the other slots do
  // neither. Intended, and kept: what is pending at these two points is dropped for those slots and
  // reaches the main loop for the others, as it always has (after the run, say, a click on Store
  // score or the close box made during a run that ended at its first stop poll, with no drain of
  // its own). A window test holds each drain to its slot.
  if (slot == 0) runtime::DrainEvents();
  if (!SetCurrentDirectoryW(drives::DriveRoots[slot].c_str())) {
    (void)runtime::ShowMessage(InfoCaption, CannotAccessDrive);
    SelectedSlot = NoSelection;
    SetControlEnabled(StartButton, true);
    runtime::DrainEvents();
    return;
  }
  engine::RunDriveTest(MainWindowView(drives::DriveRoots[slot].c_str()));
  if (engine::RunState != engine::ResetPending) LetGoOfDrive();  // else after the reset's clean-up
  SelectedSlot = NoSelection;
  if (slot == 1) runtime::DrainEvents();  // intended: see above
}

}  // namespace

// A click reaches the program in one of two ways. Start and Store score are events: the pump queues
// them and this loop acts on them when WaitEvent hands them out. While a run works, the loop is
// suspended inside Start and the run's drains drop every event they take, so neither click acts
// during a run, nor does the close box. Stop cannot wait for the loop: its handler, bound when the
// window is built, runs inside the pump the moment its click is dispatched, in whichever drain the
// run is making, and only sets the stop flag that the run polls. So the loop ignores Stop, and the
// run never looks at events.
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
      if (control == StoreScoreButton)
        StoreScore();
      else if (control == StartButton)
        Start();
    }
    if (event == runtime::CloseRequested) return;
  }
}

}  // namespace ui
