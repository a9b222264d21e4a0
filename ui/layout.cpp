// The main window's layout: every control it will ever show, built once after drive discovery.
#include "drives/drives.h"
#include "engine/engine.h"
#include "runtime/runtime.h"
#include "ui/places.h"
#include "ui/texts.h"
#include "ui/ui.h"

namespace ui {

namespace {

constexpr std::int64_t ClientWidth = 430;  // pixels, unscaled
constexpr std::int64_t ClientHeight = 420;
constexpr std::int64_t FieldWidth = 130;  // each of the three status-bar fields

// Slot i: option button 100 + i at (40, 70 + 40 i), labelled with a space and entry i of
// DriveRoots as it is now; enabled only for the first DriveCount drives.
void BuildDriveSlots() {
  for (std::int64_t i = 0; i < DriveSlots; ++i) {
    runtime::Text label = L" ";
    label += drives::DriveRoots[i];
    (void)CreateOptionButton(DriveOption0 + i, 40, 70 + 40 * i, 80, 20, label.c_str());
  }
  for (std::int64_t i = 0; i < DriveSlots; ++i) SetControlEnabled(DriveOption0 + i, i < drives::DriveCount);
}

// A slot without a drive is disabled and hidden, and its table entry reads "no drive".
void MarkEmptySlots() {
  const runtime::Text empty;
  for (std::int64_t i = 0; i < DriveSlots; ++i) {
    if (!runtime::TextEquals(drives::DriveRoots[i], empty)) continue;
    drives::DriveRoots[i] = NoDrive;
    SetControlEnabled(DriveOption0 + i, false);
    SetControlHidden(DriveOption0 + i, true);
  }
}

}  // namespace

void BuildMainWindow() {
  OpenMainWindow(MainWindowNumber, 100, 100, ClientWidth, ClientHeight, WindowTitle);
  (void)CreateTextControl(HintText, 0, 20, 430, 20, HintLabel, true);
  CreateCentredText(DriveUnderTestText, DriveUnderTestPlace, DriveUnderTestLabel);
  (void)CreateTextControl(StatusBanner, 195, 260, 130, 15, Placeholder, true);
  SetControlBackColor(StatusBanner, NeutralGrey);

  AttachStatusBar(MainWindowNumber);
  for (std::int64_t field = 0; field < 3; ++field) AddStatusField(FieldWidth);
  SetStatusText(WrittenField, WrittenLabel);
  SetStatusText(VerifiedField, VerifiedLabel);
  SetStatusText(FileOpsField, FileOpsLabel);
  runtime::DrainEvents();

  BuildDriveSlots();
  MarkEmptySlots();

  (void)CreateButton(StartButton, 140, 70, 120, 30, StartLabel);
  (void)CreateButton(StopButton, 280, 70, 120, 30, StopLabel);
  (void)CreateProgressBar(ProgressBar, 14, 356, 400, 30, 0, ProgressAtRest, true);
  SetControlState(ProgressBar, ProgressAtRest);

  (void)CreateTextControl(AutoNumber, 190, 180, 145, 20, ui::ScoreCaption, true);
  CreateCentredText(ScoreText, ScorePlace, Placeholder);
  (void)CreateTextControl(AutoNumber, 200, 230, 130, 20, ui::VerifyCaption, true);
  (void)CreateButton(StoreScoreButton, 180, 285, 160, 25, StoreScoreLabel);
  CreateCentredText(StoredScoreText, StoredScorePlace, Placeholder);

  SetControlText(StatusBanner, Placeholder);
  SetControlBackColor(StatusBanner, NeutralGrey);
  // Stop is the one click that must act while a run works, so it is bound to a handler, which the
  // pump calls inside the run's drains; every other click waits in the queue for the main loop.
  (void)runtime::BindClickHandler(StopButton, engine::RequestStop);
  runtime::DrainEvents();
}

}  // namespace ui
