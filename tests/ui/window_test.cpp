// The real main window in this process, on the in-memory drive: the window's view of a run, and
// generated user input through the main loop. Controls are read through Win32 by their numbers.
#include "ui/main_window_fixture.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <random>

#include "core/fake_world.h"
#include "drives/drives.h"
#include "runtime/clock_calls.h"
#include "runtime/pump_calls.h"
#include "ui/texts.h"

namespace {

using Texts = std::vector<std::wstring>;

std::wstring TextOf(std::int64_t number) { return WindowText(Control(number)); }
bool Enabled(HWND window) { return IsWindowEnabled(window) != FALSE; }

// "text @ x,y wxh" in the main window's client coordinates.
std::wstring TextAndPlace(std::int64_t number) {
  const RECT r = ClientRect(Control(number));
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
const Texts BareLabels = {L" 写入:  ", L" 验证:  ", L" 读/写数:  "};

std::wstring CurrentDirectory() {
  wchar_t directory[MAX_PATH] = {};
  return GetCurrentDirectoryW(MAX_PATH, directory), directory;
}

// The window as the program builds it, for the drives given, on the in-memory drive.
void Build(const std::vector<std::wstring>& roots) {
  ui::DestroyMainWindow();
  runtime::DrainEvents();
  ResetWorld();
  FreshRunState();
  for (runtime::Text& root : drives::DriveRoots) root.clear();
  for (std::size_t i = 0; i < roots.size(); ++i) drives::DriveRoots[i] = roots[i].c_str();
  drives::DriveCount = static_cast<std::int64_t>(roots.size());
  ui::BuildMainWindow();
  Main = FindWindowW(L"FerrulonMainWindow", nullptr);
}

// What only the view decides: the drive it was handed, how a count reads in its field, and that a
// verdict's colour is the banner's painted background on the screen. (All else it shows, the file
// messages included: the generated sessions, whose message box checks each against the create or
// open that failed.)
TEST(Window, ViewShowsTheDriveAndCountsAndPaintsTheVerdicts) {
  runtime::PrepareEnvironment();
  Build({L"m:\\"});
  const engine::RunView& view = ui::MainWindowView(L"q:\\");
  view.driveUnderTest();
  EXPECT_EQ(TextAndPlace(ui::DriveUnderTestText), L"驱动器测试: q:\\ @ 180,136 145x20");
  for (std::int64_t which : {engine::WrittenCount, engine::VerifiedCount, engine::OperationsCount})
    view.countRefreshed(which, 64 + which);
  EXPECT_EQ(StatusTexts(), (Texts{L" 写入:  64", L" 验证:  65", L" 读/写数:  66"}));
  for (COLORREF color : {255, 65280}) {
    if (color == 255) view.failed();
    else view.completed(L"246");
    UpdateWindow(Control(ui::StatusBanner));
    EXPECT_EQ(ScreenPixel(Control(ui::StatusBanner), 2, 2, color), color);
    EXPECT_EQ(ScreenPixel(Control(ui::StatusBanner), 127, 12, color), color);
  }
  ui::DestroyMainWindow();
}

// Generated user input through the main loop. A session is a seed: from it are drawn up to nine
// drives for the slots (perhaps a letter without a drive), maybe a faulty drive, and forty actions
// of a user: clicks on Start, Stop, Store score and the drive slots, Tab, Space, Enter and the close
// box, at rest, during runs and while a message box shows. As with the system's own input, a click
// reaches only a visible, enabled control of an enabled window, a key only the control with the
// focus. Runs are moved on to their last pass or two during their settle delay. Whenever the main
// loop is about to wait, the last run must have ended as the drive and the clicks call for, and the
// window must show that ending and the clicks since; then the next action comes. The last one is
// the close box at rest, which must end the loop, and nothing else may.
// FERRULON_SESSIONS=SEED replays one session; FIRST:COUNT runs any campaign.
enum Ending { None, Completed, Reset, Failed };

struct Session {
  std::mt19937_64 random;
  std::vector<std::wstring> roots{};
  std::wstring startedIn{}, unreachable{};   // unreachable: the root of a letter without a drive
  std::int64_t actionsLeft = 40, waits = 0, settles = 0, slot = -1;   // slot: the option checked last
  Ending ending = None;                                                // of the last run
  bool grey = true, bare = true, stopPending = false, started = false, closed = false;
  std::wstring score{}, stored{}, refusal{};   // refusal: the box of a Start without a drive to enter
  std::int64_t runSlot = -1, filesAtStart = 0, phasesAtStart = 0, stopAtFile = -1, boxes = 0;
  std::string actions{};                       // for the report of a failing session
} S;

bool Reachable(HWND control) { return control != nullptr && IsWindowVisible(control) && Enabled(control) && Enabled(Main); }

// What a click on a control does, once the program has taken it.
void Clicked(std::int64_t number, bool atRest) {
  S.actions.append(" ").append(std::to_string(number)).append(atRest ? "" : "*");
  if (number >= ui::DriveOption0 && number < ui::DriveOption0 + ui::DriveSlots) S.slot = number - ui::DriveOption0;
  if (number == ui::StopButton && atRest) S.stopPending = true;
  if (number == ui::StopButton && !atRest && S.stopAtFile < 0) S.stopAtFile = World.filesCreated - S.filesAtStart;
  if (number == ui::StoreScoreButton && atRest && !S.score.empty()) S.stored = S.score + L" @ 190,320 130x30";
  if (number != ui::StartButton) return;
  S.refusal = S.slot < 0 ? L"未选择驱动器|请先选择任何驱动器." : S.roots[S.slot] == S.unreachable ? L"信息|无法访问所选驱动器!" : L"";
  S.grey = S.bare = true, S.started = S.refusal.empty(), S.stopAtFile = -1, S.boxes = 0;
  if (S.started) S.runSlot = S.slot, World.root = S.roots[S.slot];
  S.filesAtStart = World.filesCreated, S.phasesAtStart = static_cast<std::int64_t>(World.linesBack.size());
  World.passesLeft = S.random() % 4 == 0 ? 2 : 1, World.cyclesLeft = 1 + static_cast<std::int64_t>(S.random() % 3);
}

// One of the actions the user can take now.
void Act(bool atRest) {
  std::vector<std::int64_t> targets;   // control numbers; 0: a key; -1: the close box
  const std::int64_t controls[] = {ui::StartButton, ui::StopButton, ui::StoreScoreButton, 100, 101, 102, 103, 104, 105, 106};
  for (std::int64_t number : controls)
    if (Reachable(Control(number))) targets.push_back(number);
  HWND focus = GetFocus() != nullptr ? GetFocus() : GetActiveWindow();
  if (focus != nullptr && Enabled(GetAncestor(focus, GA_ROOT)) && Enabled(focus)) targets.insert(targets.end(), 3, 0);
  if (!atRest && Enabled(Main)) targets.push_back(-1);
  const std::int64_t target = targets.empty() ? -2 : targets[S.random() % targets.size()];
  if (target > 0) {
    Clicked(target, atRest);
    PostMessageW(Control(target), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    PostMessageW(Control(target), WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  } else if (target == 0) {
    const WPARAM key = std::array<WPARAM, 3>{VK_TAB, VK_SPACE, VK_RETURN}[S.random() % 3];
    if (key == VK_SPACE && GetParent(focus) == Main) Clicked(GetDlgCtrlID(focus), atRest);   // presses the button
    S.actions += key == VK_TAB ? " Tab" : key == VK_SPACE ? " Space" : " Enter";
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
  } else if (target == -1) {
    S.actions += " close*";
    PostMessageW(Main, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
}

// During a run, after every read phase: Start is disabled, and now and then the user clicks about.
void DuringRun() {
  if (Enabled(Control(ui::StartButton))) Violate("Start enabled during a run");
  if (S.random() % 8 == 0) Act(false);
}

// The message box, as the system's: its owner disabled while it shows. It must be the one the
// situation calls for, over a disabled window; the user clicks about, then presses OK.
int WINAPI BoxAsUser(HWND owner, LPCWSTR text, LPCWSTR caption, UINT) {
  const bool enabled = owner != nullptr && !EnableWindow(owner, FALSE);
  const std::wstring seen = std::wstring(caption) + L"|" + text;
  const wchar_t* fileMessage = World.lastFailed == 1 ? L"信息|可能无法创建文件!" : L"信息|无法打开文件!";
  if (seen != (S.started ? fileMessage : S.refusal) || Enabled(Main)) Violate("the message box " + driver::Utf8(seen));
  S.boxes += 1;
  for (std::uint64_t n = S.random() % 3; n > 0; --n) Act(false);
  if (enabled) EnableWindow(owner, TRUE);
  return IDOK;
}

// How the run begun by the last Start ended, by the window, against what the drive and the user did.
void CheckRun() {
  const std::int64_t settles = std::count(World.sleeps.begin(), World.sleeps.end(), 1062);
  if (settles != S.settles + S.started) Violate(S.started ? "no run after Start" : "a run without Start");
  S.settles = settles;
  if (!S.started) return;
  const std::wstring verdict = TextOf(ui::StatusBanner);
  const Ending seen = verdict == L"磁盘故障 - 发生错误" ? Failed : verdict == L"已成功完成" ? Completed : Reset;
  const bool differed = std::any_of(World.linesBack.begin() + S.phasesAtStart, World.linesBack.end(),
                                    [](std::int64_t lines) { return lines < 100; });
  const Ending due = differed ? Failed : S.boxes > 0 || S.stopPending || S.stopAtFile >= 0 ? Reset : Completed;
  const std::int64_t files = World.filesCreated - S.filesAtStart, first = World.cyclesLeft;
  const std::int64_t all = first + engine::CyclesPerPass * (World.passesLeft - 1);
  if (seen != due || (differed && World.linesBack.back() == 100)) Violate("the run ended " + driver::Utf8(verdict));
  if (due == Completed && files != all) Violate("a completed run without every cycle");
  if (due == Reset && S.boxes == 0 && files != (S.stopPending ? 0 : S.stopAtFile <= first ? first : all))
    Violate("Stop acted elsewhere than at the end of its pass");
  S.ending = seen, S.started = false, S.grey = S.bare = seen == Reset;
  if (seen == Completed) S.score = TextOf(ui::ScoreText);
  if (seen == Reset) S.slot = -1, S.stopPending = false;
  if (seen == Failed && S.stopAtFile >= 0) S.stopPending = true;   // the click taken by the drain after the verdict
}

// The window and the run's state at rest, in one line: as shown, ...
std::wstring Shown() {
  wchar_t color[16] = {};
  swprintf(color, 16, L" %lX", TextBackOf(ui::StatusBanner));
  std::wstring line = TextOf(ui::StatusBanner) + color + L" | " + TextAndPlace(ui::ScoreText) + L" | " +
                      TextAndPlace(ui::DriveUnderTestText) + L" | " + TextAndPlace(ui::StoredScoreText) + L" | " + CurrentDirectory() + L" | ";
  for (std::int64_t i = 0; i < ui::DriveSlots; ++i) line += ui::GetControlState(ui::DriveOption0 + i) == 1 ? L"x" : L"-";
  for (std::int64_t n : {std::int64_t{Enabled(Control(ui::StartButton))}, ui::GetControlState(ui::ProgressBar), engine::StopFlag,
                         engine::RunState, std::int64_t{World.exists}, std::int64_t{!S.bare || StatusTexts() == BareLabels}})
    line += L" " + std::to_wstring(n);
  return line;
}

// ... and as the last run's ending and the clicks since call for.
std::wstring Due() {
  const bool failed = S.ending == Failed, passed = engine::PassesDone > engine::PassesPerRun - World.passesLeft;
  std::wstring line = S.grey ? L"---- EEEEEE" : failed ? L"磁盘故障 - 发生错误 FF" : L"已成功完成 FF00";
  line += L" | " + (S.ending == Completed ? S.score : L"----") + L" @ 195,202 130x30 | 驱动器测试: ";
  line += S.ending == Reset ? L" @ 190" : (S.ending == None ? L"" : S.roots[S.runSlot]) + L" @ 180";
  line += L",136 145x20 | " + S.stored + L" | " + S.startedIn + L" | ";
  for (std::int64_t i = 0; i < ui::DriveSlots; ++i) line += i == S.slot ? L"x" : L"-";
  for (std::int64_t n : {std::int64_t{!failed}, failed && passed ? 500 - 10 * engine::PassesDone : 500,
                         S.stopPending ? engine::StopRequested : 0, std::int64_t{0}, std::int64_t{failed}, std::int64_t{1}})
    line += L" " + std::to_wstring(n);
  return line;
}

// The main loop's wait: when nothing is pending the program is at rest; checked, the next action.
BOOL WINAPI WaitAsUser(LPMSG message, HWND window, UINT first, UINT last) {
  MSG pending;
  if (!PeekMessageW(&pending, nullptr, 0, 0, PM_NOREMOVE)) {
    if (S.closed || !IsWindow(Main) || ++S.waits > 2000)
      return Violate(S.closed ? "the close box did not end the loop" : IsWindow(Main) ? "no end" : "the window is gone"), -1;
    CheckRun();
    if (Shown() != Due()) Violate("at rest the window shows\n    " + driver::Utf8(Shown()) + "\n  not\n    " + driver::Utf8(Due()));
    if (--S.actionsLeft > 0) Act(true);
    else S.closed = true, S.actions += " close", PostMessageW(Main, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageW(nullptr, WM_NULL, 0, 0);   // something to take, should the action have reached nothing
  }
  return GetMessageW(message, window, first, last);
}

TEST(MainLoop, GeneratedUserInputAlwaysLeavesTheWindowAsTheRunAndTheClicksCallFor) {
  runtime::PrepareEnvironment();
  InstallFakes();
  std::wstring unreachable = L"a:\\";
  while (GetDriveTypeW(unreachable.c_str()) != DRIVE_NO_ROOT_DIR && unreachable[0] < L'z') unreachable[0] += 1;
  runtime::PumpCalls.messageBox = BoxAsUser;
  runtime::PumpCalls.getMessage = WaitAsUser;
  std::int64_t failures = 0;
  // Sessions that found faults, kept whatever the range: a click made during a pass that a file
  // message ended took effect once the run was over (the close box closed the window).
  std::vector<std::uint64_t> seeds = {2};
  for (std::uint64_t seed : Seeds("FERRULON_SESSIONS", 1, 12)) seeds.push_back(seed);
  for (std::uint64_t seed : seeds) {
    CurrentCase = "FERRULON_SESSIONS=" + std::to_string(seed);
    S = Session{.random = std::mt19937_64(seed), .startedIn = CurrentDirectory(), .unreachable = unreachable};
    for (const char letter : driver::EnvironmentValue(L"FERRULON_TEST_DRIVES") + "?")   // nine test drives and no drive
      S.roots.push_back(letter == '?' ? unreachable : std::wstring{static_cast<wchar_t>(letter), L':', L'\\'});
    std::shuffle(S.roots.begin(), S.roots.end(), S.random);
    S.roots.resize(S.random() % 10);
    Build(S.roots);
    S.stored = TextAndPlace(ui::StoredScoreText);
    World.logging = false, World.budget = 20000000, World.atReadClose = DuringRun;
    const std::int64_t fault = static_cast<std::int64_t>(seed % 8), from = 1 + static_cast<std::int64_t>(S.random() % 400000);
    const Fault faults[] = {{ChangedByte, from, 1, S.random()}, {CreateFails, from % 60, Always, ERROR_WRITE_PROTECT},
                            {OpenFails, from % 60, Always, ERROR_NOT_READY}, {CreateFails, from % 60, 3, ERROR_SHARING_VIOLATION}};
    if (fault < 4) World.faults = {faults[fault]};
    for (std::size_t slot = 0; slot < ui::DriveSlots; ++slot) {   // the first seven drives; no other slot shows
      HWND option = Control(ui::DriveOption0 + static_cast<std::int64_t>(slot));
      const bool drive = slot < S.roots.size();
      if (WindowText(option) != L" " + (drive ? S.roots[slot] : L"") || IsWindowVisible(option) != drive || Enabled(option) != drive ||
          drives::DriveRoots[slot].c_str() != (drive ? S.roots[slot] : L"无驱动器"))
        Violate("slot " + std::to_string(slot) + " does not show its drive");
    }
    ui::RunMainLoop();
    if (!S.closed) Violate("the loop ended without the close box at rest");
    if (World.allRequests > World.budget) Violate("more than 20000000 requests: a hang");
    if (!World.violation.empty() && ++failures <= 10)
      ADD_FAILURE() << World.violation << "\n  the user:" << S.actions << "\n  alone: " << CurrentCase;
  }
  CurrentCase.clear();
  runtime::PumpCalls.getMessage = GetMessageW;
  ui::DestroyMainWindow();
  RemoveFakes();
  EXPECT_EQ(failures, 0);
}

std::int64_t Waits;   // GetMessageW calls
std::string Probed;   // what happened, in order: a letter for each message the probe window got, and marks
HWND Probe;

// GetMessageW failing with -1; its message, if dispatched, reaches the probe. The close request ends
// a loop that keeps waiting, so that the test fails instead of hanging.
BOOL WINAPI FailingWait(LPMSG message, HWND, UINT, UINT) {
  ++Waits;
  *message = MSG{Probe, WM_APP, 'f', 0, 0, {0, 0}};
  runtime::PostEvent(runtime::CloseRequested, 0, 0, 0);
  return -1;
}

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) Probed += static_cast<char>(wParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeProbe() {
  WNDCLASSW probeClass = {0, ProbeProc, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, L"Probe"};
  RegisterClassW(&probeClass);
  return Probe = Probe != nullptr ? Probe : CreateWindowExW(0, L"Probe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

// Start drains once more before the run of slot 0 and after the run of slot 1, for no other slot.
// Message a is posted as Start reads the last slot, b in the run's settle delay (S), after which a
// Stop clicked beforehand ends the run at its first poll, with no drain of its own; W is the main
// loop's next wait.
LRESULT CALLBACK PostAAtLastSlot(int code, WPARAM wParam, LPARAM lParam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->message == BM_GETCHECK && sent->hwnd == Control(ui::DriveOption0 + 6)) PostMessageW(Probe, WM_APP, 'a', 0);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
void WINAPI PostBInSettleDelay(DWORD) { Probed += 'S', PostMessageW(Probe, WM_APP, 'b', 0); }
BOOL WINAPI StartThenClose(LPMSG message, HWND window, UINT first, UINT last) {
  if (Probed.find('S') == std::string::npos && ++Waits < 9)
    PostMessageW(Main, WM_COMMAND, MAKEWPARAM(ui::StartButton, BN_CLICKED), reinterpret_cast<LPARAM>(Control(ui::StartButton)));
  else if (Probed.find('W') == std::string::npos)
    Probed += 'W', PostMessageW(Main, WM_SYSCOMMAND, SC_CLOSE, 0);
  return GetMessageW(message, window, first, last);
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
  runtime::PumpCalls.getMessage = FailingWait;   // a window that exists after all would also end up here
  ui::RunMainLoop();
  runtime::PumpCalls.getMessage = GetMessageW;
  RemoveFakes();
  EXPECT_EQ(Waits, 0);
  EXPECT_EQ(World.boxes, (std::vector<std::pair<std::wstring, std::wstring>>{{ui::InfoCaption, ui::CannotCreateWindow}}));
}

TEST(WaitEvent, FailingGetMessageIsACloseRequestNeverDispatched) {
  MakeProbe();
  Probed.clear();
  runtime::PumpCalls.getMessage = FailingWait;
  EXPECT_EQ(runtime::WaitEvent(), runtime::CloseRequested);
  runtime::PumpCalls.getMessage = GetMessageW;
  EXPECT_EQ(Probed, "");
}

TEST(Start, SlotZeroDrainsBeforeItsRunSlotOneAfterOtherSlotsNever) {
  runtime::PrepareEnvironment();
  InstallFakes();
  MakeProbe();
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, PostAAtLastSlot, nullptr, GetCurrentThreadId());
  runtime::ClockCalls.sleep = PostBInSettleDelay;
  runtime::PumpCalls.getMessage = StartThenClose;
  std::vector<std::string> seen;
  for (std::int64_t slot = 0; slot < ui::DriveSlots; ++slot) {
    Build(Texts(ui::DriveSlots, CurrentDirectory()));
    ui::SetControlState(ui::DriveOption0 + slot, 1);
    engine::StopFlag = engine::StopRequested;
    Probed.clear(), Waits = 0;
    ui::RunMainLoop();
    seen.push_back(Probed);
  }
  runtime::PumpCalls.getMessage = GetMessageW;
  UnhookWindowsHookEx(hook);
  ui::DestroyMainWindow();
  RemoveFakes();
  EXPECT_EQ(seen, (std::vector<std::string>{"aSWb", "SabW", "SWab", "SWab", "SWab", "SWab", "SWab"}));
}

}  // namespace
