// The real main window in this process, on the in-memory drive: start-up, the window's view of a
// run, and the main loop's commands. Controls are read through Win32 by their numbers. (Generated
// user input through the main loop: user_session_test.cpp.)
#include "drives/drive_calls.h"
#include "runtime/clock_calls.h"
#include "runtime/pump_calls.h"
#include "ui/main_window_fixture.h"
#include "ui/texts.h"

namespace {

// A drive without a medium (an empty card reader) fails its requests with an error the program
// shows, never with the system's "no disk" box over a window that waits for it: start-up turns the
// box off before it asks for the drives. Then the slots offer the system's drives, in its order.
std::vector<UINT> BoxOffAtQuery;  // at each query of the drive strings
DWORD WINAPI DriveStrings(DWORD length, LPWSTR buffer) {
  BoxOffAtQuery.push_back(GetErrorMode() & SEM_FAILCRITICALERRORS);
  return GetLogicalDriveStringsW(length, buffer);
}

TEST(StartProgram, TurnsTheNoDiskBoxOffThenOffersTheSystemsDrivesInItsOrder) {
  (void)SetErrorMode(0);
  const drives::DriveCallTable real = drives::DriveCalls;
  drives::DriveCalls = {DriveStrings, GetDriveTypeW, GetVolumeInformationW};
  ui::StartProgram();  // two queries to count the drives, two to list them
  drives::DriveCalls = real;
  Main = FindWindowW(L"FerrulonMainWindow", nullptr);
  EXPECT_EQ(BoxOffAtQuery, std::vector<UINT>(4, SEM_FAILCRITICALERRORS));
  // The system's list read from its drive bits, another query than the program's: the first seven.
  Texts listed, shown;
  for (wchar_t letter = L'a'; letter <= L'z'; ++letter)
    if (GetLogicalDrives() >> (letter - L'a') & 1) listed.push_back(L" " + std::wstring(1, letter) + L":\\");
  listed.resize(std::min<std::size_t>(listed.size(), ui::DriveSlots));
  for (std::int64_t i = 0; i < ui::DriveSlots; ++i)
    if (IsWindowVisible(Control(ui::DriveOption0 + i))) shown.push_back(TextOf(ui::DriveOption0 + i));
  EXPECT_EQ(shown, listed);
  ui::DestroyMainWindow();
}

// What only the view decides: how a count reads in its field, and that a verdict's colour is the
// banner's painted background on the screen. (All else it shows, the drive it was handed and the
// file messages included: the generated sessions, whose message box checks each against the create
// or open that failed.)
TEST(Window, ViewShowsCountsAndPaintsTheVerdicts) {
  runtime::PrepareEnvironment();
  Build({L"m:\\"});
  const engine::RunView& view = ui::MainWindowView(L"m:\\");
  for (std::int64_t which : {engine::WrittenCount, engine::VerifiedCount, engine::OperationsCount})
    view.countRefreshed(which, 64 + which);
  EXPECT_EQ(StatusTexts(), (Texts{L" 写入:  64", L" 验证:  65", L" 读/写数:  66"}));
  for (COLORREF color : {255, 65280}) {
    color == 255 ? view.failed() : view.completed(L"246");  // red, then green
    UpdateWindow(Control(ui::StatusBanner));
    EXPECT_EQ(ScreenPixel(Control(ui::StatusBanner), 2, 2, color), color);
    EXPECT_EQ(ScreenPixel(Control(ui::StatusBanner), 127, 12, color), color);
  }
  ui::DestroyMainWindow();
}

std::int64_t Waits;  // GetMessageW calls
std::string Probed;  // what happened, in order: a letter for each message the probe window got, and marks
HWND Probe;

// GetMessageW failing with -1; its message, if dispatched, reaches the probe. The close request ends
// a loop that keeps waiting, so that the test fails instead of hanging.
BOOL WINAPI FailingWait(LPMSG message, HWND, UINT, UINT) {
  ++Waits;
  *message = MSG{Probe, WM_APP, 'f', 0, 0, {0, 0}};
  runtime::PostEvent(runtime::CloseRequested, 0, 0, 0);
  return -1;
}

// Message d is recorded as D when Start is enabled as it arrives.
LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool startEnabled = wParam == 'd' && Enabled(Control(ui::StartButton));
  if (message == WM_APP) Probed += static_cast<char>(startEnabled ? 'D' : wParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeProbe() {
  WNDCLASSW probeClass = {0, ProbeProc, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, L"Probe"};
  RegisterClassW(&probeClass);
  if (Probe == nullptr)
    Probe = CreateWindowExW(0, L"Probe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  return Probe;
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
  runtime::PumpCalls.getMessage = FailingWait;  // a window that exists after all would also end up here
  ui::RunMainLoop();
  runtime::PumpCalls.getMessage = GetMessageW;
  RemoveFakes();
  EXPECT_EQ(Waits, 0);
  EXPECT_EQ(World.boxes,
            (std::vector<std::pair<std::wstring, std::wstring>>{{ui::InfoCaption, ui::CannotCreateWindow}}));
}

TEST(WaitEvent, FailingGetMessageIsACloseRequestNeverDispatched) {
  MakeProbe();
  Probed.clear();
  runtime::PumpCalls.getMessage = FailingWait;
  EXPECT_EQ(runtime::WaitEvent(), runtime::CloseRequested);
  runtime::PumpCalls.getMessage = GetMessageW;
  EXPECT_EQ(Probed, "");
}

// Start first drains what is pending, such as the second click of a quick double click on Start,
// while Start still takes it: the click's event is dropped and never starts a second run. Then it
// disables Start, and drains once more before the run of slot 0 and after the run of slot 1, for
// no other slot. Message d stands for that second click, pending as Start is taken; a is posted as
// Start reads the last slot, b in the run's settle delay (S), after which a Stop clicked beforehand
// ends the run at its first poll, with no drain of its own; W is the main loop's next wait.
LRESULT CALLBACK PostAAtLastSlot(int code, WPARAM wParam, LPARAM lParam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->message == BM_GETCHECK && sent->hwnd == Control(ui::DriveOption0 + 6))
    PostMessageW(Probe, WM_APP, 'a', 0);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
void WINAPI PostBInSettleDelay(DWORD) {
  Probed += 'S';
  PostMessageW(Probe, WM_APP, 'b', 0);
}
BOOL WINAPI StartThenClose(LPMSG message, HWND window, UINT first, UINT last) {
  if (Probed.find('S') == std::string::npos && ++Waits < 9) {
    const auto start = reinterpret_cast<LPARAM>(Control(ui::StartButton));
    PostMessageW(Main, WM_COMMAND, MAKEWPARAM(ui::StartButton, BN_CLICKED), start);
    PostMessageW(Probe, WM_APP, 'd', 0);
  } else if (Probed.find('W') == std::string::npos) {
    Probed += 'W';
    PostMessageW(Main, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
  return GetMessageW(message, window, first, last);
}

TEST(Start, DrainsWhileEnabledThenSlotZeroDrainsBeforeItsRunSlotOneAfterOtherSlotsNever) {
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
    Probed.clear();
    Waits = 0;
    ui::RunMainLoop();
    seen.push_back(Probed);
  }
  runtime::PumpCalls.getMessage = GetMessageW;
  UnhookWindowsHookEx(hook);
  ui::DestroyMainWindow();
  RemoveFakes();
  EXPECT_EQ(seen, (std::vector<std::string>{"DaSWb", "DSabW", "DSWab", "DSWab", "DSWab", "DSWab", "DSWab"}));
}

}  // namespace
