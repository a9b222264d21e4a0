// Generated user input through the main loop of the real main window, on the in-memory drive. A
// session is a seed: from it are drawn up to nine drives for the slots (perhaps a letter without a
// drive), maybe a faulty drive, and forty actions of a user: clicks on Start, Stop, Store score and
// the drive slots, Tab, Space, Enter and the close box, at rest, during runs and while a message box
// shows. As with the system's own input, a click reaches only a visible, enabled control of an
// enabled window, a key only the control with the focus. Runs are moved on to their last pass or two
// during their settle delay. Whenever the main loop is about to wait, the last run must have ended
// as the drive and the clicks call for, and the window must show that ending and the clicks since;
// then the next action comes. The last one is the close box at rest, which must end the loop, and
// nothing else may. FERRULON_SESSIONS=SEED replays one session; FIRST:COUNT runs any campaign.
#include <algorithm>
#include <array>
#include <random>

#include "runtime/pump_calls.h"
#include "ui/main_window_fixture.h"

namespace {

enum Ending { None, Completed, Reset, Failed };

struct Session {
  std::mt19937_64 random;
  std::vector<std::wstring> roots{};        // slot i shows roots[i]
  std::wstring startedIn{}, unreachable{};  // the directory at the start; the root of a letter without a drive
  std::int64_t actionsLeft = 40, waits = 0, settles = 0;  // the main loop's waits; settle delays, one a run
  std::int64_t slot = -1;                                 // the option checked last, or -1
  Ending ending = None;                                   // of the last run
  bool grey = true, bare = true;         // due: the banner "----" on grey; the status fields only their labels
  bool stopPending = false;              // Stop clicked at rest: the next run ends at its first poll
  bool started = false, closed = false;  // a run begun, not yet checked; the close box clicked at rest
  std::wstring score{}, stored{};        // of the last completed run; the stored-score text and place due
  std::wstring refusal{};                // the box of a Start without a drive to enter, or empty
  std::int64_t runSlot = -1, filesAtStart = 0, phasesAtStart = 0;  // the last run's slot; files, read phases before it
  std::int64_t stopAtFile = -1, boxes = 0;  // the file of the run at which Stop was first clicked; its message boxes
  std::string actions{};                    // for the report of a failing session
} User;

// What a click on a control does, once the program has taken it.
void Clicked(std::int64_t number, bool atRest) {
  User.actions.append(" ").append(std::to_string(number)).append(atRest ? "" : "*");
  if (number >= ui::DriveOption0 && number < ui::DriveOption0 + ui::DriveSlots) User.slot = number - ui::DriveOption0;
  if (number == ui::StopButton && atRest) User.stopPending = true;
  if (number == ui::StopButton && !atRest && User.stopAtFile < 0)
    User.stopAtFile = World.filesCreated - User.filesAtStart;
  if (number == ui::StoreScoreButton && atRest && !User.score.empty()) User.stored = User.score + L" @ 190,320 130x30";
  if (number != ui::StartButton) return;
  const bool unreachable = User.slot >= 0 && User.roots[User.slot] == User.unreachable;
  User.refusal = User.slot < 0 ? L"未选择驱动器|请先选择任何驱动器." : unreachable ? L"信息|无法访问所选驱动器!" : L"";
  User.grey = User.bare = true;
  User.started = User.refusal.empty();
  User.stopAtFile = -1;
  User.boxes = 0;
  if (User.started) User.runSlot = User.slot;
  if (User.started) World.root = User.roots[User.slot];
  User.filesAtStart = World.filesCreated;
  User.phasesAtStart = static_cast<std::int64_t>(World.linesBack.size());
  World.passesLeft = User.random() % 4 == 0 ? 2 : 1;
  World.cyclesLeft = 1 + static_cast<std::int64_t>(User.random() % 3);
}

bool Reachable(HWND control) {
  return control != nullptr && IsWindowVisible(control) && Enabled(control) && Enabled(Main);
}

// One of the actions the user can take now.
void Act(bool atRest) {
  std::vector<std::int64_t> targets;  // control numbers; 0: a key; -1: the close box
  const std::int64_t controls[] = {
      ui::StartButton, ui::StopButton, ui::StoreScoreButton, 100, 101, 102, 103, 104, 105, 106};
  for (std::int64_t number : controls)
    if (Reachable(Control(number))) targets.push_back(number);
  HWND focus = GetFocus() != nullptr ? GetFocus() : GetActiveWindow();
  if (focus != nullptr && Enabled(GetAncestor(focus, GA_ROOT)) && Enabled(focus)) targets.insert(targets.end(), 3, 0);
  if (!atRest && Enabled(Main)) targets.push_back(-1);
  const std::int64_t target = targets.empty() ? -2 : targets[User.random() % targets.size()];
  if (target > 0) {
    Clicked(target, atRest);
    PostMessageW(Control(target), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    PostMessageW(Control(target), WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  } else if (target == 0) {
    const WPARAM key = std::array<WPARAM, 3>{VK_TAB, VK_SPACE, VK_RETURN}[User.random() % 3];
    if (key == VK_SPACE && GetParent(focus) == Main) Clicked(GetDlgCtrlID(focus), atRest);  // presses the button
    User.actions += key == VK_TAB ? " Tab" : key == VK_SPACE ? " Space" : " Enter";
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
  } else if (target == -1) {
    User.actions += " close*";
    PostMessageW(Main, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
}

// During a run, after every read phase: Start is disabled, and now and then the user clicks about.
void DuringRun() {
  if (Enabled(Control(ui::StartButton))) Violate("Start enabled during a run");
  if (User.random() % 8 == 0) Act(false);
}

// The message box, as the system's: its owner disabled while it shows. It must be the one the
// situation calls for, over a disabled window; the user clicks about, then presses OK.
int WINAPI BoxAsUser(HWND owner, LPCWSTR text, LPCWSTR caption, UINT) {
  const bool enabled = owner != nullptr && !EnableWindow(owner, FALSE);
  const std::wstring seen = std::wstring(caption) + L"|" + text;
  const wchar_t* fileMessage = World.lastFailed == 1 ? L"信息|可能无法创建文件!" : L"信息|无法打开文件!";
  if (seen != (User.started ? fileMessage : User.refusal) || Enabled(Main))
    Violate("the message box " + driver::Utf8(seen));
  User.boxes += 1;
  for (std::uint64_t n = User.random() % 3; n > 0; --n) Act(false);
  if (enabled) EnableWindow(owner, TRUE);
  return IDOK;
}

// How the run begun by the last Start ended, by the window, against what the drive and the user did.
void CheckRun() {
  const std::int64_t settles = std::count(World.sleeps.begin(), World.sleeps.end(), 1062);
  if (settles != User.settles + User.started) Violate(User.started ? "no run after Start" : "a run without Start");
  User.settles = settles;
  if (!User.started) return;
  const std::wstring verdict = TextOf(ui::StatusBanner);
  const Ending seen = verdict == L"磁盘故障 - 发生错误" ? Failed : verdict == L"已成功完成" ? Completed : Reset;
  const bool differed = std::any_of(World.linesBack.begin() + User.phasesAtStart, World.linesBack.end(),
                                    [](std::int64_t lines) { return lines < 100; });
  const Ending due = differed ? Failed : User.boxes > 0 || User.stopPending || User.stopAtFile >= 0 ? Reset : Completed;
  const std::int64_t files = World.filesCreated - User.filesAtStart, first = World.cyclesLeft;
  const std::int64_t all = first + engine::CyclesPerPass * (World.passesLeft - 1);
  if (seen != due || (differed && World.linesBack.back() == 100)) Violate("the run ended " + driver::Utf8(verdict));
  if (due == Completed && files != all) Violate("a completed run without every cycle");
  if (due == Reset && User.boxes == 0 && files != (User.stopPending ? 0 : User.stopAtFile <= first ? first : all))
    Violate("Stop acted elsewhere than at the end of its pass");
  User.ending = seen;
  User.started = false;
  User.grey = User.bare = seen == Reset;
  if (seen == Completed) User.score = TextOf(ui::ScoreText);
  if (seen == Reset) User.slot = -1;
  User.stopPending = seen == Failed && User.stopAtFile >= 0;  // a Stop taken by the drain after the verdict
}

// The window and the run's state at rest, field by field: as shown, and as the last run's ending and
// the clicks since call for.
struct Field {
  const char* name;
  std::wstring shown, due;
};
std::vector<Field> AtRest() {
  wchar_t color[16] = {};
  HWND banner = Control(ui::StatusBanner);
  HDC dc = GetDC(banner);  // the background the banner asks its parent for before it paints its text
  SetBkColor(dc, RGB(1, 2, 3));
  SendMessageW(Main, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(banner));
  swprintf(color, 16, L"%lX", GetBkColor(dc));
  ReleaseDC(banner, dc);
  std::wstring slots, dueSlots;  // "x" for a checked option, "-" for the others
  for (std::int64_t i = 0; i < ui::DriveSlots; ++i) {
    slots += ui::GetControlState(ui::DriveOption0 + i) == 1 ? L"x" : L"-";
    dueSlots += i == User.slot ? L"x" : L"-";
  }
  const Texts labels = {L" 写入:  ", L" 验证:  ", L" 读/写数:  "};
  const bool failed = User.ending == Failed, passed = engine::PassesDone > engine::PassesPerRun - World.passesLeft;
  const std::wstring root = User.ending == None ? L"" : User.roots[User.runSlot];
  const std::wstring drive = User.ending == Reset ? L" @ 190" : root + L" @ 180";
  const std::wstring verdict = User.grey ? L"----" : failed ? L"磁盘故障 - 发生错误" : L"已成功完成";
  const std::wstring verdictColor = User.grey ? L"EEEEEE" : failed ? L"FF" : L"FF00";
  const std::int64_t progress = failed && passed ? 500 - 10 * engine::PassesDone : 500;
  return {
      {"banner", TextOf(ui::StatusBanner), verdict},
      {"banner colour", color, verdictColor},
      {"score", TextAndPlace(ui::ScoreText), (User.ending == Completed ? User.score : L"----") + L" @ 195,202 130x30"},
      {"drive under test", TextAndPlace(ui::DriveUnderTestText), L"驱动器测试: " + drive + L",136 145x20"},
      {"stored score", TextAndPlace(ui::StoredScoreText), User.stored},
      {"current directory", CurrentDirectory(), User.startedIn},
      {"checked slots", slots, dueSlots},
      {"Start enabled", std::to_wstring(Enabled(Control(ui::StartButton))), std::to_wstring(!failed)},
      {"progress", std::to_wstring(ui::GetControlState(ui::ProgressBar)), std::to_wstring(progress)},
      {"stop flag", std::to_wstring(engine::StopFlag), std::to_wstring(User.stopPending ? engine::StopRequested : 0)},
      {"run state", std::to_wstring(engine::RunState), L"0"},
      {"test file left", std::to_wstring(World.exists), std::to_wstring(failed)},
      {"status fields as due", std::to_wstring(!User.bare || StatusTexts() == labels), L"1"}};
}

// The main loop's wait: when nothing is pending the program is at rest; checked, the next action.
BOOL WINAPI WaitAsUser(LPMSG message, HWND window, UINT first, UINT last) {
  MSG pending;
  if (!PeekMessageW(&pending, nullptr, 0, 0, PM_NOREMOVE)) {
    if (User.closed || !IsWindow(Main) || ++User.waits > 2000) {
      Violate(User.closed ? "the close box did not end the loop" : IsWindow(Main) ? "no end" : "the window is gone");
      return -1;
    }
    CheckRun();
    for (const Field& field : AtRest())
      if (field.shown != field.due)
        Violate("at rest, " + std::string(field.name) + ": shown " + driver::Utf8(field.shown) + ", due " +
                driver::Utf8(field.due));
    if (--User.actionsLeft > 0) {
      Act(true);
    } else {
      User.closed = true;
      User.actions += " close";
      PostMessageW(Main, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    PostMessageW(nullptr, WM_NULL, 0, 0);  // something to take, should the action have reached nothing
  }
  return GetMessageW(message, window, first, last);
}

// A session that found a fault, kept whatever the range: a click made during a pass that a file
// message ended took effect once the run was over (the close box closed the window).
constexpr std::uint64_t ClickAfterFileMessage = 2;

TEST(MainLoop, GeneratedUserInputAlwaysLeavesTheWindowAsTheRunAndTheClicksCallFor) {
  runtime::PrepareEnvironment();
  InstallFakes();
  std::wstring unreachable = L"a:\\";
  while (GetDriveTypeW(unreachable.c_str()) != DRIVE_NO_ROOT_DIR && unreachable[0] < L'z') unreachable[0] += 1;
  runtime::PumpCalls.messageBox = BoxAsUser;
  runtime::PumpCalls.getMessage = WaitAsUser;
  std::int64_t failures = 0;
  std::vector<std::uint64_t> seeds = {ClickAfterFileMessage};
  for (std::uint64_t seed : Seeds("FERRULON_SESSIONS", 1, 12)) seeds.push_back(seed);
  for (std::uint64_t seed : seeds) {
    CurrentCase = "FERRULON_SESSIONS=" + std::to_string(seed);
    User = Session{.random = std::mt19937_64(seed), .startedIn = CurrentDirectory(), .unreachable = unreachable};
    for (const char letter : driver::EnvironmentValue(L"FERRULON_TEST_DRIVES") + "?")  // nine test drives and no drive
      User.roots.push_back(letter == '?' ? unreachable : std::wstring{static_cast<wchar_t>(letter), L':', L'\\'});
    std::shuffle(User.roots.begin(), User.roots.end(), User.random);
    User.roots.resize(User.random() % 10);
    Build(User.roots);
    User.stored = L"---- @ 195,325 130x30";  // as built; after Store score 5 px up and to the left
    World.logging = false;
    World.budget = 20000000;
    World.atReadClose = DuringRun;
    const std::int64_t fault = static_cast<std::int64_t>(seed % 8),
                       from = 1 + static_cast<std::int64_t>(User.random() % 400000);
    const Fault faults[] = {{ChangedByte, from, 1, User.random()},
                            {CreateFails, from % 60, Always, ERROR_WRITE_PROTECT},
                            {OpenFails, from % 60, Always, ERROR_NOT_READY},
                            {CreateFails, from % 60, 3, ERROR_SHARING_VIOLATION}};
    if (fault < 4) World.faults = {faults[fault]};
    for (std::size_t slot = 0; slot < ui::DriveSlots; ++slot) {  // the first seven drives; no other slot shows
      HWND option = Control(ui::DriveOption0 + static_cast<std::int64_t>(slot));
      const bool drive = slot < User.roots.size();
      if (WindowText(option) != L" " + (drive ? User.roots[slot] : L"") || IsWindowVisible(option) != drive ||
          Enabled(option) != drive || drives::DriveRoots[slot].c_str() != (drive ? User.roots[slot] : L"无驱动器"))
        Violate("slot " + std::to_string(slot) + " does not show its drive");
    }
    ui::RunMainLoop();
    if (!User.closed) Violate("the loop ended without the close box at rest");
    if (World.allRequests > World.budget) Violate("more than 20000000 requests: a hang");
    if (!World.violation.empty() && ++failures <= 10)
      ADD_FAILURE() << World.violation << "\n  the user:" << User.actions << "\n  alone: " << CurrentCase;
  }
  CurrentCase.clear();
  runtime::PumpCalls.getMessage = GetMessageW;
  ui::DestroyMainWindow();
  RemoveFakes();
  EXPECT_EQ(failures, 0);
}

}  // namespace
