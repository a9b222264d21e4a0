// The event pump on real windows: activations, handlers, closing, keyboard focus, message boxes.
#include <thread>

#include "main_window_fixture.h"

namespace {
std::vector<std::pair<char, std::int64_t>> HandlerCalls;  // which handler ran, seeing which control
template <char Name>
std::int64_t Handler() {
  HandlerCalls.emplace_back(Name, runtime::CurrentEventControl());
  return 0;
}
constexpr auto HandlerA = Handler<'a'>, HandlerB = Handler<'b'>;

// Sends a key through the pump as a keyboard would, with Shift held or not.
void PressTab(bool shift) {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(keys);
  HWND target = GetFocus() != nullptr ? GetFocus() : GetActiveWindow();
  PostMessageW(target, WM_KEYDOWN, VK_TAB, 1);
  runtime::DrainEvents();
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
}

// Keyboard-cue requests the main window receives. Wine 8 keeps no UI state (WM_QUERYUISTATE
// always answers 0), so the tests watch the WM_UPDATEUISTATE messages themselves.
std::vector<WORD> CueActions;
HWND CueWindow;
LRESULT CALLBACK WatchCues(int code, WPARAM wParam, LPARAM lParam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->hwnd == CueWindow && sent->message == WM_UPDATEUISTATE)
    CueActions.push_back(LOWORD(sent->wParam));
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct CueWatch {
  explicit CueWatch(HWND window) : hook(SetWindowsHookExW(WH_CALLWNDPROC, WatchCues, nullptr, GetCurrentThreadId())) {
    CueWindow = window;
    CueActions.clear();
  }
  ~CueWatch() { UnhookWindowsHookEx(hook); }
  HHOOK hook;
};
}  // namespace

using EventPump = MainWindowTest;

TEST_F(EventPump, ActivationsMergeWhileBoundHandlersRunForEach) {
  ui::CreateButton(888, 280, 70, 120, 30, L"停止");
  ui::CreateButton(567, 180, 285, 160, 25, L"存储您当前的分数");
  HandlerCalls.clear();
  EXPECT_EQ(runtime::BindClickHandler(888, HandlerA), 1);
  EXPECT_EQ(runtime::BindClickHandler(888, HandlerB), 1);
  EXPECT_EQ(runtime::BindClickHandler(888, HandlerA), 0) << "bound once only";
  EXPECT_EQ(runtime::BindClickHandler(4242, HandlerA), 0) << "no such control";

  SendMessageW(Control(567), BM_CLICK, 0, 0);  // taken first, so it is current while 888's handlers run
  SendMessageW(Control(888), BM_CLICK, 0, 0);  // behind another control's click: an event of its own
  ASSERT_EQ(runtime::PollEvent(), runtime::ControlActivated);
  SendMessageW(Control(888), BM_CLICK, 0, 0);  // merges with the one waiting
  SendMessageW(Main, WM_CLOSE, 0, 0);
  EXPECT_EQ(runtime::CurrentEventControl(), 567) << "restored after the handlers";
  EXPECT_EQ(HandlerCalls, (std::vector<std::pair<char, std::int64_t>>{{'b', 888}, {'a', 888}, {'b', 888}, {'a', 888}}))
      << "newest first, once per activation";
  EXPECT_EQ(PendingEvents(), (std::vector<std::pair<std::int64_t, std::int64_t>>{{runtime::ControlActivated, 888},
                                                                                 {runtime::CloseRequested, 0}}));
}

// A click surfaces from the program's queue as one activation of its control, and polling never
// blocks; changes the program makes itself post nothing. (Waiting for events, drains dropping them,
// the close box only asking, and no event taken during a pass: the main loop's generated input in
// user_session_test.)
TEST_F(EventPump, ClicksSurfaceAsActivationsProgramChangesPostNothing) {
  ui::CreateButton(16, 140, 70, 120, 30, L"开始");
  PostMessageW(Control(16), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  PostMessageW(Control(16), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(PendingEvents(), (std::vector<std::pair<std::int64_t, std::int64_t>>{{runtime::ControlActivated, 16}}));
  ++runtime::PostingSuppression;
  SendMessageW(Control(16), BM_CLICK, 0, 0);
  --runtime::PostingSuppression;
  ui::SetControlText(16, L"x");
  ui::AttachStatusBar(0);
  EXPECT_TRUE(PendingEvents().empty());
}

// Tab moves over the enabled, visible stops in creation order, both ways round, and shows the focus
// rectangle; deactivation hides the cues, and the focus comes back to where it was.
TEST_F(EventPump, TabMovesOverEnabledVisibleStopsAndTheFocusReturnsAfterDeactivation) {
  ASSERT_EQ(GetActiveWindow(), Main);
  ui::CreateButton(16, 140, 70, 120, 30, L"开始");
  for (int i = 0; i < 4; ++i) ui::CreateOptionButton(100 + i, 40, 70 + 40 * i, 80, 20, L" x:\\");
  ui::CreateTextControl(222, 195, 202, 130, 30, L"----", true);
  ui::CreateButton(888, 280, 70, 120, 30, L"停止");
  ui::SetControlHidden(101, true);
  ui::SetControlEnabled(102, false);
  SetFocus(nullptr);
  CueWatch cues(Main);

  std::vector<std::int64_t> focused;
  for (bool shift : {false, false, false, false, false, true, true, true}) {
    PressTab(shift);
    focused.push_back(GetDlgCtrlID(GetFocus()));
  }
  EXPECT_EQ(focused, (std::vector<std::int64_t>{16, 100, 103, 888, 16, 888, 103, 100}));
  ASSERT_FALSE(CueActions.empty());
  EXPECT_EQ(CueActions.front(), UIS_CLEAR) << "Tab shows the focus rectangle";

  CueActions.clear();
  HWND other = CreateWindowExW(0, L"Static", L"other", WS_POPUP | WS_VISIBLE, 600, 100, 100, 50, nullptr, nullptr,
                               nullptr, nullptr);
  SetActiveWindow(other);
  runtime::DrainEvents();
  EXPECT_NE(GetActiveWindow(), Main);
  EXPECT_EQ(CueActions, std::vector<WORD>{UIS_SET}) << "cues hidden on deactivation";
  SetActiveWindow(Main);
  runtime::DrainEvents();
  EXPECT_EQ(GetFocus(), Control(100));
  DestroyWindow(other);
}

// Dismissed from a second thread: the box is ours, owned by the main window, OK only; while it is
// open every window of ours is disabled, and afterwards enabled again.
TEST_F(EventPump, MessageBoxDisablesOurWindowsUntilDismissed) {
  HWND other = CreateWindowExW(0, L"Static", L"other", WS_POPUP | WS_VISIBLE, 600, 100, 100, 50, nullptr, nullptr,
                               nullptr, nullptr);
  SetForegroundWindow(Main);
  std::wstring seen;  // caption, owner, and whether the main and the other window were enabled
  std::thread dismisser([&] {
    for (int tries = 0; tries < 500 && seen.empty(); ++tries) {
      Sleep(10);
      for (HWND box = nullptr; (box = FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(box, &owner);
        if (owner != GetCurrentProcessId() || !IsWindowVisible(box)) continue;
        seen = WindowText(box) + (GetWindow(box, GW_OWNER) == Main ? L" main" : L" other") +
               (IsWindowEnabled(Main) ? L" enabled" : L" disabled") +
               (IsWindowEnabled(other) ? L" enabled" : L" disabled");
        SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        break;
      }
    }
  });
  EXPECT_EQ(runtime::ShowMessage(L"信息", L"可能无法创建文件!"), IDOK);
  dismisser.join();
  EXPECT_EQ(seen, L"信息 main disabled disabled");
  EXPECT_TRUE(IsWindowEnabled(Main) && IsWindowEnabled(other)) << "after it";
  DestroyWindow(other);
}
