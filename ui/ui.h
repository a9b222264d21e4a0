// User interface: control services, the main window's layout, the main loop, and the program's
// start-up and shutdown around them.
#pragma once

#include <cstdint>

namespace engine {
struct RunView;
}

namespace ui {

// Control numbers: every control is addressed by its number, which is also its window ID.
constexpr std::int64_t AutoNumber = -1;  // a fresh number, never addressed again
constexpr std::int64_t ProgressBar = 1;
constexpr std::int64_t StartButton = 16;
constexpr std::int64_t DriveOption0 = 100;  // slots 0..6 are DriveOption0 + i
constexpr std::int64_t DriveSlots = 7;
constexpr std::int64_t ScoreText = 222;
constexpr std::int64_t DriveUnderTestText = 456;
constexpr std::int64_t StoredScoreText = 502;
constexpr std::int64_t StoreScoreButton = 567;
constexpr std::int64_t HintText = 852;
constexpr std::int64_t StopButton = 888;
constexpr std::int64_t StatusBanner = 1333;

constexpr std::int64_t MainWindowNumber = 0;
constexpr std::int64_t WrittenField = 0;  // status-bar fields
constexpr std::int64_t VerifiedField = 1;
constexpr std::int64_t FileOpsField = 2;

// Colours are 0x00BBGGRR.
constexpr std::int64_t NeutralGrey = 0xEEEEEE;
constexpr std::int64_t FailureRed = 255;
constexpr std::int64_t SuccessGreen = 65280;
constexpr std::int64_t DefaultColor = -1;

constexpr std::int64_t ProgressAtRest = 500;  // the bar's range and its value between runs

// ---- Control services ----------------------------------------------------------------------
// Operations on a number without a live control do nothing; readings give 0. Texts may be null.
void OpenMainWindow(std::int64_t window, std::int64_t x, std::int64_t y, std::int64_t clientWidth,
                    std::int64_t clientHeight, const wchar_t* title);
void DestroyMainWindow();  // with all its controls; shutdown only
bool HasMainWindow();      // false when the window could not be created, and after shutdown

// Creation under a number in use replaces the old control, which is destroyed after the new one
// exists. Results: the number (the fresh one for AutoNumber), or 0 when nothing was created.
std::int64_t CreateTextControl(std::int64_t number, std::int64_t x, std::int64_t y, std::int64_t width,
                               std::int64_t height, const wchar_t* text, bool centred);
std::int64_t CreateButton(std::int64_t number, std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
                          const wchar_t* text);
std::int64_t CreateOptionButton(std::int64_t number, std::int64_t x, std::int64_t y, std::int64_t width,
                                std::int64_t height, const wchar_t* text);
std::int64_t CreateProgressBar(std::int64_t number, std::int64_t x, std::int64_t y, std::int64_t width,
                               std::int64_t height, std::int64_t minimum, std::int64_t maximum, bool smooth);

void AttachStatusBar(std::int64_t window);
void AddStatusField(std::int64_t width);
void SetStatusText(std::int64_t field, const wchar_t* text);  // borderless, left-aligned

void SetControlText(std::int64_t number, const wchar_t* text);
void SetControlBackColor(std::int64_t number, std::int64_t color);  // DefaultColor: back to normal
void SetControlState(std::int64_t number, std::int64_t value);      // option check or bar position
std::int64_t GetControlState(std::int64_t number);
void SetControlEnabled(std::int64_t number, bool enabled);
void SetControlHidden(std::int64_t number, bool hidden);

// ---- Main window and main loop -------------------------------------------------------------
// A run on the drive at `root` shown in the main window; the root must outlive the run.
const engine::RunView& MainWindowView(const wchar_t* root);

void BuildMainWindow();  // once, after drive discovery
void RunMainLoop();      // until the window is asked to close

// ---- Start-up and shutdown -----------------------------------------------------------------
// Everything before the main loop: the environment, the tables, the drives and the window; and
// everything after it: the window, then the environment with its heaps. The process ends next.
void StartProgram();
void EndProgram();

}  // namespace ui
