// The control services on real windows: classes, styles, numbers, replacement, colours and state.
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "main_window_fixture.h"

using driver::Children;

using ControlServices = MainWindowTest;

TEST_F(ControlServices, MainWindowHasFixedFrameAndExactClientArea) {
  RECT client, outer;
  GetClientRect(Main, &client);
  GetWindowRect(Main, &outer);
  const LONG_PTR frame =
      WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_POPUP | WS_CHILD;
  EXPECT_EQ((std::vector<LONG_PTR>{GetWindowLongPtrW(Main, GWL_STYLE) & frame, IsWindowVisible(Main), client.right,
                                   client.bottom, outer.left, outer.top,
                                   static_cast<LONG_PTR>(GetClassLongPtrW(Main, GCLP_HBRBACKGROUND))}),
            (std::vector<LONG_PTR>{0xC80000, TRUE, 430, 420, 100, 100, COLOR_BTNFACE + 1}));
}

TEST_F(ControlServices, EachKindHasItsNativeClassStyleNumberAndFont) {
  ui::CreateTextControl(852, 0, 20, 430, 20, L"left & right", false);
  ui::CreateTextControl(456, 180, 136, 145, 20, L"centred", true);
  ui::CreateButton(16, 140, 70, 120, 30, L"开始");
  ui::CreateOptionButton(100, 40, 70, 80, 20, L" m:\\");
  ui::CreateOptionButton(101, 40, 110, 80, 20, L" n:\\");
  ui::CreateProgressBar(1, 14, 356, 400, 30, 0, 500, true);
  ui::CreateOptionButton(102, 40, 150, 80, 20, L" o:\\");  // after another kind: a new group
  const std::int64_t fresh = ui::CreateTextControl(ui::AutoNumber, 190, 180, 145, 20, L"a", true);

  // Number, class and style of each, in creation order, which is sibling order.
  const std::vector<std::wstring> expected{
      L"852 Static 50020080", L"456 Static 50020081",          L"16 Button 50030000", L"100 Button 50030009",
      L"101 Button 50010009", L"1 msctls_progress32 50000001", L"102 Button 50030009"};
  std::vector<std::wstring> seen;
  for (HWND c : Children(Main)) {
    wchar_t style[16] = {};
    swprintf(style, 16, L"%lX", static_cast<unsigned long>(GetWindowLongPtrW(c, GWL_STYLE)));
    seen.push_back(std::to_wstring(GetWindowLongPtrW(c, GWLP_ID)) + L" " + driver::ClassOf(c) + L" " + style);
    EXPECT_EQ(GetWindowLongPtrW(c, GWL_EXSTYLE) & ~WS_EX_NOPARENTNOTIFY, 0);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(c, WM_GETFONT, 0, 0)), GetStockObject(DEFAULT_GUI_FONT));
  }
  seen.pop_back();  // the auto-numbered text: a fresh number of its own
  EXPECT_EQ(seen, expected);
  EXPECT_TRUE(fresh > 0 && fresh != 852 && fresh != 456 && WindowText(Control(fresh)) == L"a");
  EXPECT_EQ(WindowText(Control(852)), L"left & right");
  EXPECT_EQ(SendMessageW(Control(1), PBM_GETRANGE, FALSE, 0), 500);
  EXPECT_EQ(TextAndPlace(456), L"centred @ 180,136 145x20");
}

TEST_F(ControlServices, ReplacementLeavesOneFreshControlLastInOrder) {
  ui::CreateTextControl(456, 180, 136, 145, 20, L"驱动器测试: m:\\", true);
  ui::SetControlBackColor(456, ui::FailureRed);
  ui::CreateButton(16, 140, 70, 120, 30, L"开始");
  HWND old = Control(456);
  // A click of the old control still waiting in the queue goes with it.
  SendMessageW(Main, WM_COMMAND, MAKEWPARAM(456, BN_CLICKED), reinterpret_cast<LPARAM>(old));

  EXPECT_EQ(ui::CreateTextControl(456, 190, 136, 145, 20, L"驱动器测试: ", true), 456);
  std::vector<HWND> children = Children(Main);
  EXPECT_EQ(children.size(), 2u);
  EXPECT_FALSE(IsWindow(old));
  HWND fresh = Control(456);
  EXPECT_EQ(children.back(), fresh);
  EXPECT_EQ(TextAndPlace(456), L"驱动器测试:  @ 190,136 145x20");
  EXPECT_TRUE(PendingEvents().empty());  // before the drains of ScreenPixel would drop the click
  UpdateWindow(Main);
  EXPECT_EQ(ScreenPixel(fresh, 1, 1, GetSysColor(COLOR_BTNFACE)), GetSysColor(COLOR_BTNFACE))
      << "default colours again";
}

// One option group: checking one clears the others; hidden or disabled, a slot keeps its state.
// Numbers without a control are ignored, and an absent text is the empty text.
TEST_F(ControlServices, OptionStatesAndNumbersWithoutControls) {
  for (int i = 0; i < 7; ++i) ui::CreateOptionButton(100 + i, 40, 70 + 40 * i, 80, 20, L" x:\\");
  ui::CreateButton(16, 140, 70, 120, 30, L"开始");
  const auto states = [] {
    std::vector<std::int64_t> all;
    for (int i = 0; i < 7; ++i) all.push_back(ui::GetControlState(100 + i));
    return all;
  };
  ui::SetControlState(101, 1);
  ui::SetControlState(103, 1);
  EXPECT_EQ(states(), (std::vector<std::int64_t>{0, 0, 0, 1, 0, 0, 0}));
  ui::SetControlHidden(103, true);
  ui::SetControlEnabled(103, false);
  EXPECT_FALSE(IsWindowVisible(Control(103)) || IsWindowEnabled(Control(103)));
  EXPECT_EQ(ui::GetControlState(103), 1);
  ui::SetControlState(103, 0);
  EXPECT_EQ(states(), std::vector<std::int64_t>(7, 0));
  EXPECT_EQ(ui::GetControlState(16), 0) << "a push button has no state";
  EXPECT_TRUE(PendingEvents().empty()) << "changes made by the program post nothing";

  ui::SetControlText(999, L"x");
  ui::SetControlState(999, 1);
  ui::SetControlEnabled(999, false);
  ui::SetControlHidden(999, true);
  ui::SetControlBackColor(999, ui::FailureRed);
  EXPECT_EQ(ui::GetControlState(999), 0);
  EXPECT_EQ(Children(Main).size(), 8u);
  ui::SetControlText(16, nullptr);
  EXPECT_EQ(WindowText(Control(16)), L"");
}

TEST_F(ControlServices, StatusBarFieldsAreRunningSumsAndTextsBorderless) {
  ui::AttachStatusBar(0);
  for (int i = 0; i < 3; ++i) ui::AddStatusField(130);
  HWND bar = FindWindowExW(Main, nullptr, STATUSCLASSNAMEW, nullptr);
  ASSERT_NE(bar, nullptr);
  int edges[4] = {};
  ASSERT_EQ(SendMessageW(bar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 3);
  EXPECT_EQ(std::vector<int>(edges, edges + 3), (std::vector<int>{130, 260, 390}));
  RECT client;
  GetClientRect(Main, &client);
  const RECT status = ClientRect(bar);
  EXPECT_EQ(status.bottom, client.bottom) << "along the bottom edge";
  EXPECT_GE(status.bottom - status.top, 18);

  ui::SetStatusText(1, L" 验证:  30700800");
  ui::SetStatusText(3, L"no such field");  // ignored
  wchar_t text[64] = {};
  const LRESULT info = SendMessageW(bar, SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(std::wstring(text), L" 验证:  30700800");
  EXPECT_EQ(HIWORD(info) & SBT_NOBORDERS, SBT_NOBORDERS);
  EXPECT_EQ(SendMessageW(bar, SB_GETPARTS, 0, 0), 3);
}
