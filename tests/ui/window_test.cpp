// The real main window, built, run and reset in this process on the fake drive: the drive slots
// for any number of drives, what a run shows at each pass, and what the main loop does where the
// end-to-end tests cannot look (a file left by a stop, a drive that cannot be entered). Controls
// are read through Win32: the control number is the window ID.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "drives/drives.h"
#include "engine/engine.h"
#include "core/fake_world.h"
#include "runtime/runtime.h"
#include "ui/texts.h"
#include "ui/ui.h"

namespace {

constexpr COLORREF Grey = 0xEEEEEE, Red = 255, Green = 65280;

HWND Main;   // the window under test

HWND Control(std::int64_t number) { return GetDlgItem(Main, static_cast<int>(number)); }

std::wstring TextOf(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

// "x,y wxh" in the main window's client coordinates.
std::wstring PlaceOf(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, Main, reinterpret_cast<POINT*>(&r), 2);
  return std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L" " + std::to_wstring(r.right - r.left) + L"x" +
         std::to_wstring(r.bottom - r.top);
}

std::wstring TextAndPlace(std::int64_t number) { return TextOf(Control(number)) + L" @ " + PlaceOf(Control(number)); }

// The background a text control asks its parent for before it paints.
COLORREF BackColorOf(std::int64_t number) {
  HWND control = Control(number);
  HDC dc = GetDC(control);
  SetBkColor(dc, RGB(1, 2, 3));
  SendMessageW(Main, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
  const COLORREF color = GetBkColor(dc);
  ReleaseDC(control, dc);
  return color;
}

HWND StatusBar() { return FindWindowExW(Main, nullptr, STATUSCLASSNAMEW, nullptr); }

std::vector<std::wstring> StatusTexts() {
  std::vector<std::wstring> texts;
  for (int field = 0; field < 3; ++field) {
    wchar_t text[128] = {};
    SendMessageW(StatusBar(), SB_GETTEXTW, field, reinterpret_cast<LPARAM>(text));
    texts.push_back(text);
  }
  return texts;
}

std::int64_t Progress() { return ui::GetControlState(ui::ProgressBar); }

HWND FindMainWindow() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM into) -> BOOL {
        if (TextOf(window) == ui::WindowTitle) *reinterpret_cast<HWND*>(into) = window;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Each test starts as the program does, with the drives it names, on the fake drive.
class Window : public testing::Test {
 protected:
  void SetUp() override {
    runtime::PrepareEnvironment();
    InstallFakes();
    Build({L"m:\\", L"n:\\"});
  }
  void TearDown() override {
    ui::DestroyMainWindow();
    runtime::DrainEvents();
    RemoveFakes();
  }

  static void Build(const std::vector<std::wstring>& roots) {
    ResetWorld();
    FreshRunState();
    for (runtime::Text& root : drives::DriveRoots) root.clear();
    for (std::size_t i = 0; i < roots.size(); ++i) drives::DriveRoots[i] = roots[i].c_str();
    drives::DriveCount = static_cast<std::int64_t>(roots.size());
    ui::SelectedSlot = ui::NoSelection;
    ui::BuildMainWindow();
    Main = FindMainWindow();
    ASSERT_NE(Main, nullptr);
  }

  static void Rebuild(const std::vector<std::wstring>& roots) {
    ui::DestroyMainWindow();
    runtime::DrainEvents();
    Build(roots);
  }
};

// ---- Drive slots ---------------------------------------------------------------------------

struct SlotCase {
  std::vector<std::wstring> roots;
  std::vector<std::wstring> slots;   // label, then whether shown and enabled
  std::vector<std::wstring> table;   // DriveRoots entries 0..6 after the build
};

TEST_F(Window, SlotsOfferTheFirstSevenDrivesAndHideTheRest) {
  const std::wstring none = L"无驱动器";
  const SlotCase cases[] = {
      {{},
       {L"  hidden disabled", L"  hidden disabled", L"  hidden disabled", L"  hidden disabled", L"  hidden disabled",
        L"  hidden disabled", L"  hidden disabled"},
       {none, none, none, none, none, none, none}},
      {{L"c:\\"},
       {L" c:\\ shown enabled", L"  hidden disabled", L"  hidden disabled", L"  hidden disabled",
        L"  hidden disabled", L"  hidden disabled", L"  hidden disabled"},
       {L"c:\\", none, none, none, none, none, none}},
      {{L"a:\\", L"c:\\", L"d:\\", L"e:\\", L"f:\\", L"g:\\", L"h:\\", L"i:\\", L"j:\\"},
       {L" a:\\ shown enabled", L" c:\\ shown enabled", L" d:\\ shown enabled", L" e:\\ shown enabled",
        L" f:\\ shown enabled", L" g:\\ shown enabled", L" h:\\ shown enabled"},
       {L"a:\\", L"c:\\", L"d:\\", L"e:\\", L"f:\\", L"g:\\", L"h:\\"}},
  };
  for (const SlotCase& slotCase : cases) {
    SCOPED_TRACE(slotCase.roots.size());
    Rebuild(slotCase.roots);
    std::vector<std::wstring> slots, table;
    for (int slot = 0; slot < 7; ++slot) {
      HWND option = Control(100 + slot);
      slots.push_back(TextOf(option) + (IsWindowVisible(option) ? L" shown" : L" hidden") +
                      (IsWindowEnabled(option) ? L" enabled" : L" disabled"));
      table.emplace_back(drives::DriveRoots[slot].c_str());
    }
    EXPECT_EQ(slots, slotCase.slots);
    EXPECT_EQ(table, slotCase.table);
    EXPECT_TRUE(drives::DriveRoots[9].empty());
  }
}

// ---- A run in the window -----------------------------------------------------------------------

std::vector<std::int64_t> ProgressAtPassStart;
std::vector<std::wstring> FieldsAfterFirstPass;

void WatchPasses() {
  if (World.clockReadings % 2 == 1) ProgressAtPassStart.push_back(Progress());
  if (World.clockReadings == 2) FieldsAfterFirstPass = StatusTexts();
}

// As the Start command leaves the window for a run on slot 0.
void StartOnSlotZero() {
  ui::SetControlState(ui::DriveOption0, 1);
  ui::SelectedSlot = 0;
  ui::SetControlEnabled(ui::StartButton, false);
  engine::CharsWritten = engine::CharsVerified = engine::FileOperations = 0;
  for (std::int64_t field = 0; field < 3; ++field) ui::SetStatusText(field, L"");
}

TEST_F(Window, CompletedRunShowsItsCountsScoreAndGreenVerdict) {
  for (std::int64_t pass = 0; pass < 50; ++pass) World.passDurations.push_back(222 + pass);
  World.passDurations.back() += 20;   // 12,345 ms in all
  ProgressAtPassStart.clear();
  World.onClockReading = WatchPasses;
  StartOnSlotZero();

  engine::RunDriveTest();

  // Each field was last refreshed after cycle 2,496; the last four cycles are never shown.
  EXPECT_EQ(StatusTexts(), (std::vector<std::wstring>{L" 写入:  30700800", L" 验证:  30700800", L" 读/写数:  4992"}));
  EXPECT_EQ(FieldsAfterFirstPass,
            (std::vector<std::wstring>{L" 写入:  393600", L" 验证:  393600", L" 读/写数:  64"}));
  std::vector<std::int64_t> countdown;
  for (std::int64_t value = 500; value > 0; value -= 10) countdown.push_back(value);
  EXPECT_EQ(ProgressAtPassStart, countdown);
  EXPECT_EQ(Progress(), 500);
  EXPECT_EQ(TextAndPlace(ui::ScoreText), L"246 @ 195,202 130x30");
  EXPECT_EQ(TextOf(Control(ui::StatusBanner)), L"已成功完成");
  EXPECT_EQ(BackColorOf(ui::StatusBanner), Green);
  EXPECT_TRUE(IsWindowEnabled(Control(ui::StartButton)));

  // The next run refreshes the written and verified fields four cycles early: their counts
  // carry over (2,500 cycles leave 4), the file-operations count does not.
  ResetWorld();
  World.onClockReading = WatchPasses;
  World.stopAtReading = 2;
  StartOnSlotZero();
  engine::RunDriveTest();
  EXPECT_EQ(FieldsAfterFirstPass, (std::vector<std::wstring>{L" 写入:  344400", L" 验证:  344400", L" 读/写数:  64"}));
}

void ClickStopInPassTwo() {
  if (World.clockReadings == 3) PostMessageW(Control(ui::StopButton), BM_CLICK, 0, 0);
}

// The click waits in the queue until the drain after pass 2; the poll right after that drain
// ends the run before a third pass starts.
TEST_F(Window, StopClickedDuringAPassEndsTheRunWhenThatPassIsDone) {
  World.onClockReading = ClickStopInPassTwo;
  StartOnSlotZero();

  engine::RunDriveTest();

  EXPECT_EQ(engine::RunState, engine::ResetPending);
  EXPECT_EQ(engine::PassesDone, 2);
  EXPECT_EQ(World.clockReadings, 4);
  EXPECT_FALSE(World.exists);
  EXPECT_EQ(Progress(), 480);
  EXPECT_FALSE(IsWindowEnabled(Control(ui::StartButton)));
  EXPECT_EQ(TextOf(Control(ui::ScoreText)), L"----");
  EXPECT_EQ(TextOf(Control(ui::StatusBanner)), L"----");
}

TEST_F(Window, DifferingLineTurnsTheBannerRedAndKeepsStartDisabled) {
  World.flipInFile = 40;
  World.flipAt = 12000;
  StartOnSlotZero();

  engine::RunDriveTest();

  EXPECT_EQ(TextOf(Control(ui::StatusBanner)), L"磁盘故障 - 发生错误");
  EXPECT_EQ(BackColorOf(ui::StatusBanner), Red);
  EXPECT_FALSE(IsWindowEnabled(Control(ui::StartButton)));
  EXPECT_EQ(TextOf(Control(ui::ScoreText)), L"----");
  EXPECT_EQ(Progress(), 500);
  EXPECT_EQ(StatusTexts(), (std::vector<std::wstring>{L" 写入:  393600", L" 验证:  393600", L" 读/写数:  64"}));
  EXPECT_TRUE(engine::LastScoreText.empty());
}

// ---- The main loop -----------------------------------------------------------------------------

// The test's hand on the window while the main loop runs: a timer tick, which the loop and the
// run's drains both dispatch, decides what to post next. Gives up after 30 s of ticks.
void (*NextStep)();
std::int64_t Ticks;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (++Ticks > 1500) PostMessageW(Main, WM_CLOSE, 0, 0);
  else NextStep();
}

void RunLoopWith(void (*step)()) {
  NextStep = step;
  Ticks = 0;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, Tick);
  ui::RunMainLoop();
  KillTimer(nullptr, timer);
  EXPECT_LE(Ticks, 1500) << "the loop did not end by itself";
}

void Click(std::int64_t number) { PostMessageW(Control(number), BM_CLICK, 0, 0); }

void CloseOnceRunReturned() {
  if (!World.sleeps.empty() && IsWindowEnabled(Control(ui::StartButton))) PostMessageW(Main, WM_CLOSE, 0, 0);
}

// A stop seen right after a cycle's counters leaves that cycle's file on the drive; the reset
// removes it and clears what the run left, before the loop waits again.
TEST_F(Window, StoppedRunIsCleanedUpBeforeTheNextWait) {
  World.stopAtReadCloseOf = 60;   // in pass 2: fields refreshed, bar at 490
  ui::SetControlState(ui::DriveOption0, 1);
  Click(ui::StartButton);
  RunLoopWith(CloseOnceRunReturned);

  EXPECT_EQ(World.filesCreated, 60);
  EXPECT_FALSE(World.exists);
  EXPECT_EQ(World.counts["delete"], 60);
  EXPECT_EQ(engine::StopFlag, 0);
  EXPECT_EQ(engine::RunState, 0);
  EXPECT_EQ(engine::PassesDone, 0);
  EXPECT_EQ(engine::CyclesInPass, 0);
  EXPECT_EQ(engine::CharsWritten + engine::CharsVerified + engine::FileOperations, 0);
  EXPECT_EQ(ui::GetControlState(ui::DriveOption0), 0);
  EXPECT_EQ(Progress(), 500);
  EXPECT_EQ(StatusTexts(), (std::vector<std::wstring>{L" 写入:  ", L" 验证:  ", L" 读/写数:  "}));
  EXPECT_EQ(TextAndPlace(ui::DriveUnderTestText), L"驱动器测试:  @ 190,136 145x20");
  EXPECT_EQ(BackColorOf(ui::StatusBanner), Grey);
  wchar_t directory[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, directory);
  EXPECT_EQ(std::wstring(directory), L"m:\\") << "the run's drive stays the working directory";
}

}  // namespace
