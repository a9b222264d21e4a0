// The main window's view of a run: what the engine reports, shown in the window's controls.
#include "engine/engine.h"
#include "runtime/runtime.h"
#include "ui/places.h"
#include "ui/texts.h"
#include "ui/ui.h"

namespace ui {

namespace {

constexpr std::int64_t ProgressPerPass = 10;  // the bar counts the passes down from 500

const wchar_t* DriveUnderTest = L"";  // the root of the drive the run is on, as its caller handed it

struct CountField {
  std::int64_t field;
  const wchar_t* label;
};
// Indexed by the engine's count: written, verified, file operations.
constexpr CountField CountFields[] = {
    {WrittenField, WrittenLabel}, {VerifiedField, VerifiedLabel}, {FileOpsField, FileOpsLabel}};

// "驱动器测试: " and the root of the drive the run is on.
void ShowDriveUnderTest() {
  runtime::Text text = DriveUnderTestLabel;
  text += DriveUnderTest;
  CreateCentredText(DriveUnderTestText, DriveUnderTestPlace, text.c_str());
}

void ShowScorePending() { CreateCentredText(ScoreText, ScorePlace, Placeholder); }

// The text is made only when a field is due, to keep the timed cycles free of needless work.
void ShowCount(std::int64_t which, std::int64_t count) {
  runtime::Text text = CountFields[which].label;
  text += runtime::DecimalText(count);
  SetStatusText(CountFields[which].field, text.c_str());
}

void ShowPassDone(std::int64_t passesDone) {
  SetControlState(ProgressBar, ProgressAtRest - ProgressPerPass * passesDone);
}

// Red; Start stays disabled until the window is closed.
void ShowFailure() {
  SetControlText(StatusBanner, FailedVerdict);
  SetControlBackColor(StatusBanner, FailureRed);
}

void ShowCompleted(const runtime::Text& score) {
  SetControlText(ScoreText, score.c_str());
  SetControlText(StatusBanner, PassedVerdict);
  SetControlBackColor(StatusBanner, SuccessGreen);
}

void ShowReadyAgain() {
  SetControlState(ProgressBar, ProgressAtRest);
  SetControlEnabled(StartButton, true);
}

void ShowFileMessage(std::int64_t message) {
  (void)runtime::ShowMessage(InfoCaption, message == engine::FileNotCreated ? CannotCreateFile : CannotOpenFile);
}

const engine::RunView View = {ShowDriveUnderTest,   ShowScorePending,       ShowCount,      ShowPassDone,
                              ShowFailure,          ShowCompleted,          ShowReadyAgain, ShowFileMessage,
                              runtime::DrainEvents, runtime::StayResponsive};

}  // namespace

const engine::RunView& MainWindowView(const wchar_t* root) {
  DriveUnderTest = root != nullptr ? root : L"";
  return View;
}

}  // namespace ui
