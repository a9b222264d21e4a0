// The real main window in this process, on the fake drive: the drive slots, the window's view of
// a run, and every command of the main loop. Controls are read through Win32 by their numbers.
#include "ui/main_window_fixture.h"

#include <commctrl.h>

#include <cstdlib>

#include "core/fake_world.h"
#include "drives/drives.h"
#include "runtime/pump.h"
#include "ui/texts.h"

namespace {

using Boxes = std::vector<std::pair<std::wstring, std::wstring>>;
using Texts = std::vector<std::wstring>;

HWND Main;   // the window under test

HWND Control(std::int64_t number) { return GetDlgItem(Main, static_cast<int>(number)); }
std::wstring TextOf(std::int64_t number) { return WindowText(Control(number)); }

// "text @ x,y wxh" in the main window's client coordinates.
std::wstring TextAndPlace(std::int64_t number) {
  RECT r;
  GetWindowRect(Control(number), &r);
  MapWindowPoints(nullptr, Main, reinterpret_cast<POINT*>(&r), 2);
  return TextOf(number) + L" @ " + std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L" " +
         std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top);
}

// The background a text control asks its parent for before it paints its text.
COLORREF TextBackOf(std::int64_t number) {
  HWND control = Control(number);
  HDC dc = GetDC(control);
  SetBkColor(dc, RGB(1, 2, 3));
  SendMessageW(Main, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
  const COLORREF color = GetBkColor(dc);
  ReleaseDC(control, dc);
  return color;
}

Texts StatusTexts() {
  HWND bar = FindWindowExW(Main, nullptr, STATUSCLASSNAMEW, nullptr);
  Texts texts;
  for (wchar_t text[128]; texts.size() < 3; texts.push_back(text))
    SendMessageW(bar, SB_GETTEXTW, texts.size(), reinterpret_cast<LPARAM>(text));
  return texts;
}

std::int64_t Progress() { return ui::GetControlState(ui::ProgressBar); }
std::wstring CurrentDirectory() {
  wchar_t directory[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, directory);
  return directory;
}
bool StartEnabled() { return IsWindowEnabled(Control(ui::StartButton)) != FALSE; }

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
    ui::DestroyMainWindow();
    runtime::DrainEvents();
    ResetWorld();
    FreshRunState();
    for (runtime::Text& root : drives::DriveRoots) root.clear();
    for (std::size_t i = 0; i < roots.size(); ++i) drives::DriveRoots[i] = roots[i].c_str();
    drives::DriveCount = static_cast<std::int64_t>(roots.size());
    ui::SelectedSlot = ui::NoSelection;
    ui::BuildMainWindow();
    Main = FindWindowW(L"FerrulonMainWindow", nullptr);
    ASSERT_NE(Main, nullptr);
  }
};

// Slot i shows entry i of the drive table for the first seven drives; the rest are hidden and
// disabled, their entries "无驱动器". The window starts with a full bar, a neutral banner and bare labels.
TEST_F(Window, SlotsOfferTheFirstSevenDrivesAndHideTheRest) {
  for (const std::wstring letters : {L"", L"c", L"acdefghij"}) {
    SCOPED_TRACE(letters.size());
    std::vector<std::wstring> roots;
    for (wchar_t letter : letters) roots.push_back(std::wstring{letter, L':', L'\\'});
    Build(roots);
    Texts seen, expected;
    for (std::size_t slot = 0; slot < 7; ++slot) {
      HWND option = Control(ui::DriveOption0 + static_cast<std::int64_t>(slot));
      seen.push_back(WindowText(option) + (IsWindowVisible(option) ? L" shown" : L" hidden") +
                     (IsWindowEnabled(option) ? L" enabled " : L" disabled ") + drives::DriveRoots[slot].c_str() +
                     (SendMessageW(option, BM_GETCHECK, 0, 0) ? L" checked" : L""));
      expected.push_back(slot < roots.size() ? L" " + roots[slot] + L" shown enabled " + roots[slot]
                                             : L"  hidden disabled 无驱动器");
    }
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(drives::DriveRoots[9].empty());
  }
  EXPECT_EQ(Progress(), 500);
  EXPECT_EQ(TextBackOf(ui::StatusBanner), 0xEEEEEEu);
  EXPECT_EQ(StatusTexts(), (Texts{L" 写入:  ", L" 验证:  ", L" 读/写数:  "}));
}

TEST_F(Window, ViewShowsWhatTheRunReports) {
  const engine::RunView& view = ui::MainWindowView;
  ui::SelectedSlot = 1;
  view.driveUnderTest();
  EXPECT_EQ(TextAndPlace(ui::DriveUnderTestText), L"驱动器测试: n:\\ @ 180,136 145x20");
  ui::SetControlText(ui::ScoreText, L"777");
  view.scorePending();
  EXPECT_EQ(TextAndPlace(ui::ScoreText), L"---- @ 195,202 130x30");

  view.countRefreshed(engine::WrittenCount, 393600);
  view.countRefreshed(engine::VerifiedCount, 344400);
  view.countRefreshed(engine::OperationsCount, 64);
  EXPECT_EQ(StatusTexts(), (Texts{L" 写入:  393600", L" 验证:  344400", L" 读/写数:  64"}));
  for (std::int64_t passes : {1, 50}) {
    view.passDone(passes);
    EXPECT_EQ(Progress(), 500 - 10 * passes);
  }

  const struct {
    void (*show)();
    const wchar_t* banner;
    COLORREF color;
  } verdicts[] = {
      {view.failed, L"磁盘故障 - 发生错误", 255},
      {[] { ui::MainWindowView.completed(L"246"); }, L"已成功完成", 65280},
  };
  for (const auto& verdict : verdicts) {
    verdict.show();
    HWND banner = Control(ui::StatusBanner);
    UpdateWindow(banner);
    EXPECT_EQ(WindowText(banner), verdict.banner);
    EXPECT_EQ(TextBackOf(ui::StatusBanner), verdict.color) << "behind the text";
    EXPECT_EQ(ScreenPixel(banner, 2, 2, verdict.color), verdict.color) << "the painted area";
    EXPECT_EQ(ScreenPixel(banner, 127, 12, verdict.color), verdict.color);
  }
  EXPECT_EQ(TextOf(ui::ScoreText), L"246");

  ui::SetControlEnabled(ui::StartButton, false);
  view.readyAgain();
  EXPECT_TRUE(StartEnabled());
  EXPECT_EQ(Progress(), 500);

  view.fileMessage(engine::CannotCreateFile);
  view.fileMessage(engine::CannotOpenFile);
  EXPECT_EQ(World.boxes, (Boxes{{L"信息", L"可能无法创建文件!"}, {L"信息", L"无法打开文件!"}}));
}

// The test's hand on the window while the main loop runs: on each 20 ms timer tick (dispatched by
// the loop and the run's drains alike) the next step acts once its condition has held for two ticks,
// so that no drain the loop is just finishing drops it. Then, or after 30 s, the window is closed.
// However a run ended, no tested drive stays the current directory.
struct Step {
  bool (*ready)();
  void (*act)();
};
std::vector<Step> Steps;
std::size_t NextStep;
std::int64_t Ticks, TicksReady;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (++Ticks > 1500 || NextStep == Steps.size()) {
    PostMessageW(Main, WM_CLOSE, 0, 0);
  } else if (!Steps[NextStep].ready()) {
    TicksReady = 0;
  } else if (++TicksReady == 2) {
    TicksReady = 0;
    Steps[NextStep++].act();
  }
}

void RunLoopWith(std::vector<Step> steps) {
  Steps = std::move(steps);
  NextStep = 0;
  Ticks = TicksReady = 0;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, Tick);
  const std::wstring startedIn = CurrentDirectory();
  ui::RunMainLoop();
  KillTimer(nullptr, timer);
  EXPECT_EQ(NextStep, Steps.size()) << "stuck before step " << NextStep;
  EXPECT_EQ(CurrentDirectory(), startedIn) << "the tested drive is let go";
}

bool Now() { return true; }
bool Idle() { return StartEnabled(); }
bool RunGoing() { return World.filesCreated > 0 && !StartEnabled(); }
void ClickStart() { PostMessageW(Control(ui::StartButton), BM_CLICK, 0, 0); }
void ClickStore() { PostMessageW(Control(ui::StoreScoreButton), BM_CLICK, 0, 0); }
void ClickStop() { PostMessageW(Control(ui::StopButton), BM_CLICK, 0, 0); }
void CloseBox() { PostMessageW(Main, WM_CLOSE, 0, 0); }

TEST_F(Window, StartThatCannotRunSaysWhyAndLeavesStartEnabled) {
  const struct {
    const char* what;
    std::wstring root;
    bool checked;
    Boxes boxes;
  } cases[] = {
      {"no drive chosen", L"m:\\", false, {{L"未选择驱动器", L"请先选择任何驱动器."}}},
      {"a drive that cannot be entered", L"k:\\", true, {{L"信息", L"无法访问所选驱动器!"}}},
  };
  for (const auto& startCase : cases) {
    SCOPED_TRACE(startCase.what);
    Build({startCase.root});
    ui::SetControlState(ui::DriveOption0, startCase.checked);
    ui::SetStatusText(ui::WrittenField, L" 写入:  99");
    ui::SetControlBackColor(ui::StatusBanner, ui::FailureRed);
    RunLoopWith({{Now, ClickStart}, {[] { return !World.boxes.empty() && StartEnabled(); }, CloseBox}});

    EXPECT_EQ(World.boxes, startCase.boxes);
    EXPECT_TRUE(World.sleeps.empty() && World.requests[Creates] == 0) << "no run began";
    EXPECT_EQ((std::vector<std::int64_t>{ui::SelectedSlot, ui::GetControlState(ui::DriveOption0), TextBackOf(ui::StatusBanner)}),
              (std::vector<std::int64_t>{ui::NoSelection, startCase.checked, 0xEEEEEE}));
    EXPECT_EQ(StatusTexts(), (Texts{L" 写入:  ", L" 验证:  ", L" 读/写数:  "}));
  }
}

// A stop seen right after a cycle's counters leaves its file; the reset removes it and clears the rest.
TEST_F(Window, StoppedRunIsCleanedUpBeforeTheNextWait) {
  World.stopAtReadCloseOf = 60;   // in pass 2: fields refreshed, bar at 490
  ui::SetControlState(ui::DriveOption0 + 1, 1);
  RunLoopWith({{Now, ClickStart}, {[] { return World.filesCreated == 60 && Idle(); }, ClickStore}});

  EXPECT_FALSE(World.exists);
  EXPECT_EQ(World.counts["delete"], 60);
  EXPECT_EQ((std::vector<std::int64_t>{engine::StopFlag, engine::RunState, engine::PassesDone, engine::CyclesInPass,
                                       engine::CharsWritten + engine::CharsVerified + engine::FileOperations,
                                       ui::GetControlState(ui::DriveOption0 + 1), Progress(), TextBackOf(ui::StatusBanner)}),
            (std::vector<std::int64_t>{0, 0, 0, 0, 0, 0, 500, 0xEEEEEE}));
  EXPECT_EQ(StatusTexts(), (Texts{L" 写入:  ", L" 验证:  ", L" 读/写数:  "}));
  EXPECT_EQ((Texts{TextAndPlace(ui::DriveUnderTestText), TextOf(ui::ScoreText), TextOf(ui::StatusBanner),
                   TextOf(ui::StoredScoreText)}),
            (Texts{L"驱动器测试:  @ 190,136 145x20", L"----", L"----", L"----"}));
  EXPECT_EQ(World.deletedIn, L"n:\\") << "the reset removes the left file in the chosen drive's root";
}

// Stop while idle ends the next run at its first poll; the next Start runs normally, and a Start
// right after it completes tests the same drive again. Store keeps the last completed run's score.
TEST_F(Window, StartAfterAStopOrACompletedRunTestsTheSameDriveAgain) {
  for (std::int64_t pass = 0; pass < 50; ++pass) World.passDurations.push_back(222 + pass);
  World.passDurations.back() += 20;                  // the first complete run: 12,345 ms, score 246
  World.passDurations.resize(100, 22);                // the next: 22 ms a pass
  ui::SetControlState(ui::DriveOption0, 1);
  RunLoopWith({{Now, ClickStop},
               {Now, ClickStart},
               {[] { return World.sleeps.size() == 1 && Idle(); }, [] {
                  World.clockReadings = 0;   // the stopped run read the clock once: start afresh
                  ui::SetControlState(ui::DriveOption0, 1);
                  ClickStart();
                }},
               {[] { return World.filesCreated == 2500 && Idle(); }, ClickStart},
               {[] { return World.filesCreated == 5000 && Idle(); }, ClickStore},
               {[] { return TextOf(ui::StoredScoreText) != L"----"; }, CloseBox}});

  EXPECT_EQ(World.sleeps, (std::vector<std::int64_t>{1062, 1062, 1062}));
  EXPECT_EQ(World.filesCreated, 5000);
  EXPECT_EQ(engine::LastScoreText, runtime::Text(L"22"));
  EXPECT_EQ(TextAndPlace(ui::StoredScoreText), L"22 @ 190,320 130x30");
  EXPECT_EQ(TextOf(ui::StatusBanner), L"已成功完成");
  EXPECT_EQ(ui::GetControlState(ui::DriveOption0), 1) << "a completed run keeps its drive chosen";
  EXPECT_EQ(ui::SelectedSlot, ui::NoSelection) << "until the next Start reads the slots again";
  EXPECT_TRUE(World.boxes.empty());
}

// The run's drains drop the close box and Store; the window closes when asked after the run.
TEST_F(Window, CloseAndStoreDuringARunAreDropped) {
  ui::SetControlState(ui::DriveOption0, 1);
  RunLoopWith({{Now, ClickStart},
               {RunGoing, ClickStore},
               {RunGoing, CloseBox},
               {[] { return World.filesCreated == 2500 && Idle(); }, CloseBox}});

  EXPECT_EQ(World.filesCreated, 2500);
  EXPECT_EQ(TextOf(ui::StatusBanner), L"已成功完成");
  EXPECT_EQ(TextOf(ui::StoredScoreText), L"----");
}

// A line read back wrong leaves Start disabled for good; the window still closes.
TEST_F(Window, FailedRunLeavesStartDisabled) {
  World.faults = {{ChangedByte, 39 * 12500 + 12001, 1, 0}};   // file 40's byte 12,000, its lowest bit
  ui::SetControlState(ui::DriveOption0, 1);
  RunLoopWith({{Now, ClickStart}, {[] { return TextOf(ui::StatusBanner) != L"----"; }, CloseBox}});

  EXPECT_EQ(TextOf(ui::StatusBanner), L"磁盘故障 - 发生错误");
  EXPECT_FALSE(StartEnabled());
  EXPECT_EQ(World.filesCreated, 40);
  EXPECT_TRUE(World.exists) << "the failing file stays for the user to see";
  EXPECT_EQ(TextOf(ui::ScoreText), L"----");
}

std::int64_t Waits;        // GetMessageW calls
std::int64_t Dispatched;   // messages that reached the probe window
HWND Probe;

// GetMessageW failing with -1; its message, if dispatched, reaches the probe. The close request ends
// a loop that keeps waiting, so that the test fails instead of hanging.
BOOL WINAPI FailingWait(LPMSG message, HWND, UINT, UINT) {
  ++Waits;
  *message = MSG{Probe, WM_APP, 0, 0, 0, {0, 0}};
  runtime::PostEvent(runtime::CloseRequested, 0, 0, 0);
  return -1;
}

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Dispatched += message == WM_APP ? 1 : 0;
  return DefWindowProcW(window, message, wParam, lParam);
}

// Refuses to create the main window, as a system out of window resources would.
LRESULT CALLBACK VetoMainWindow(int code, WPARAM wParam, LPARAM lParam) {
  wchar_t name[32] = {};
  (void)GetClassNameW(reinterpret_cast<HWND>(wParam), name, 32);
  if (code == HCBT_CREATEWND && std::wstring(name) == L"FerrulonMainWindow") return 1;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(RunMainLoop, WithoutMainWindowSaysSoOnceAndReturnsWithoutWaiting) {
  runtime::PrepareEnvironment();
  InstallFakes();
  ResetWorld();
  HHOOK veto = SetWindowsHookExW(WH_CBT, VetoMainWindow, nullptr, GetCurrentThreadId());
  ui::BuildMainWindow();
  UnhookWindowsHookEx(veto);
  runtime::GetMessageCall = FailingWait;   // a window that exists after all would also end up here
  ui::RunMainLoop();
  runtime::GetMessageCall = GetMessageW;
  RemoveFakes();
  EXPECT_EQ(Waits, 0);
  EXPECT_EQ(World.boxes, (Boxes{{ui::InfoCaption, ui::CannotCreateWindow}}));
}

TEST(WaitEvent, FailingGetMessageIsACloseRequestNeverDispatched) {
  WNDCLASSW probeClass = {0, ProbeProc, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, L"Probe"};
  RegisterClassW(&probeClass);
  Probe = CreateWindowExW(0, L"Probe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  runtime::GetMessageCall = FailingWait;
  EXPECT_EQ(runtime::WaitEvent(), runtime::CloseRequested);
  runtime::GetMessageCall = GetMessageW;
  EXPECT_EQ(Dispatched, 0);
}

// Windows' C runtime may run exit-time destructors while the process ends, after shutdown has
// destroyed the heaps. Run them after the real start-up and shutdown: nothing of ours may be left.
// A fault ends the process with its code (the test entry's exception filter).
TEST(Shutdown, ExitTimeDestructorsAfterShutdownFindNothingOfOurs) {
  EXPECT_EXIT({
    ui::StartProgram();
    ui::EndProgram();
    std::exit(0);
  }, testing::ExitedWithCode(0), "");
}

}  // namespace
