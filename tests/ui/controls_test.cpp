// The control services on real windows: classes, styles, numbers, replacement, colours and state.
#include <string>
#include <vector>

#include "main_window_fixture.h"

#include <commctrl.h>

namespace {
std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  for (HWND c = GetWindow(parent, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
  return children;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

LONG_PTR StyleOf(HWND window) { return GetWindowLongPtrW(window, GWL_STYLE); }

}  // namespace

using ControlServices = MainWindowTest;

TEST_F(ControlServices, MainWindowHasFixedFrameAndExactClientArea) {
  EXPECT_EQ(GetClassLongPtrW(main_, GCL_STYLE), static_cast<ULONG_PTR>(CS_DBLCLKS));
  EXPECT_EQ(GetClassLongPtrW(main_, GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
  const LONG_PTR frame = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_POPUP | WS_CHILD;
  EXPECT_EQ(StyleOf(main_) & frame, 0xC80000);
  EXPECT_TRUE(IsWindowVisible(main_));
  RECT client, outer;
  GetClientRect(main_, &client);
  GetWindowRect(main_, &outer);
  EXPECT_EQ(client.right, 430);
  EXPECT_EQ(client.bottom, 420);
  EXPECT_EQ(outer.left, 100);
  EXPECT_EQ(outer.top, 100);
}

TEST_F(ControlServices, EachKindHasItsNativeClassStyleNumberAndFont) {
  ui::CreateTextControl(852, 0, 20, 430, 20, L"left & right", false);
  ui::CreateTextControl(456, 180, 136, 145, 20, L"centred", true);
  ui::CreateButton(16, 140, 70, 120, 30, L"开始");
  ui::CreateOptionButton(100, 40, 70, 80, 20, L" m:\\");
  ui::CreateOptionButton(101, 40, 110, 80, 20, L" n:\\");
  ui::CreateProgressBar(1, 14, 356, 400, 30, 0, 500, true);
  ui::CreateOptionButton(102, 40, 150, 80, 20, L" o:\\");   // after another kind: a new group

  const struct {
    std::int64_t number;
    const wchar_t* className;
    LONG_PTR style;
  } expected[] = {
      {852, L"Static", 0x50020080},   {456, L"Static", 0x50020081}, {16, L"Button", 0x50030000},
      {100, L"Button", 0x50030009},   {101, L"Button", 0x50010009}, {1, L"msctls_progress32", 0x50000001},
      {102, L"Button", 0x50030009},
  };
  std::vector<HWND> children = Children(main_);
  ASSERT_EQ(children.size(), 7u);
  for (std::size_t i = 0; i < children.size(); ++i) {
    SCOPED_TRACE(expected[i].number);
    HWND c = children[i];   // creation order is sibling order
    EXPECT_EQ(GetWindowLongPtrW(c, GWLP_ID), expected[i].number);
    EXPECT_EQ(ClassOf(c), expected[i].className);
    EXPECT_EQ(StyleOf(c), expected[i].style);
    EXPECT_EQ(GetWindowLongPtrW(c, GWL_EXSTYLE) & ~WS_EX_NOPARENTNOTIFY, 0);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(c, WM_GETFONT, 0, 0)), GetStockObject(DEFAULT_GUI_FONT));
  }
  EXPECT_EQ(TextOf(Control(852)), L"left & right");
  EXPECT_EQ(SendMessageW(Control(1), PBM_GETPOS, 0, 0), 0);
  EXPECT_EQ(SendMessageW(Control(1), PBM_GETRANGE, FALSE, 0), 500);
  RECT r = ClientRect(Control(456));
  EXPECT_EQ(r.left, 180);
  EXPECT_EQ(r.top, 136);
  EXPECT_EQ(r.right - r.left, 145);
  EXPECT_EQ(r.bottom - r.top, 20);
}

TEST_F(ControlServices, AutoNumbersAreFreshAndRecordedAsIds) {
  ui::CreateTextControl(222, 195, 202, 130, 30, L"----", true);
  const std::int64_t a = ui::CreateTextControl(ui::AutoNumber, 190, 180, 145, 20, L"a", true);
  const std::int64_t b = ui::CreateTextControl(ui::AutoNumber, 200, 230, 130, 20, L"b", true);
  EXPECT_GT(a, 0);
  EXPECT_GT(b, 0);
  EXPECT_NE(a, b);
  EXPECT_NE(a, 222);
  EXPECT_EQ(TextOf(Control(a)), L"a");
  EXPECT_EQ(TextOf(Control(b)), L"b");
}

TEST_F(ControlServices, ReplacementLeavesOneFreshControlLastInOrder) {
  ui::CreateTextControl(456, 180, 136, 145, 20, L"驱动器测试: m:\\", true);
  ui::SetControlBackColor(456, ui::FailureRed);
  ui::CreateButton(16, 140, 70, 120, 30, L"开始");
  HWND old = Control(456);
  // A click of the old control still waiting in the queue goes with it.
  SendMessageW(main_, WM_COMMAND, MAKEWPARAM(456, BN_CLICKED), reinterpret_cast<LPARAM>(old));

  EXPECT_EQ(ui::CreateTextControl(456, 190, 136, 145, 20, L"驱动器测试: ", true), 456);
  std::vector<HWND> children = Children(main_);
  int numbered456 = 0;
  for (HWND c : children) numbered456 += GetWindowLongPtrW(c, GWLP_ID) == 456;
  EXPECT_EQ(numbered456, 1);
  EXPECT_FALSE(IsWindow(old));
  HWND fresh = Control(456);
  EXPECT_EQ(children.back(), fresh);
  EXPECT_EQ(ClientRect(fresh).left, 190);
  EXPECT_EQ(TextOf(fresh), L"驱动器测试: ");
  UpdateWindow(main_);
  EXPECT_EQ(ScreenPixel(fresh, 1, 1, GetSysColor(COLOR_BTNFACE)), GetSysColor(COLOR_BTNFACE)) << "default colours again";
  EXPECT_TRUE(PendingEvents().empty());
}

TEST_F(ControlServices, OptionGroupChecksOneAndKeepsStateWhenHiddenOrDisabled) {
  for (int i = 0; i < 7; ++i) ui::CreateOptionButton(100 + i, 40, 70 + 40 * i, 80, 20, L" x:\\");
  ui::CreateButton(16, 140, 70, 120, 30, L"开始");
  ui::SetControlState(101, 1);
  ui::SetControlState(103, 1);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(ui::GetControlState(100 + i), i == 3 ? 1 : 0) << i;
  ui::SetControlHidden(103, true);
  ui::SetControlEnabled(103, false);
  EXPECT_FALSE(IsWindowVisible(Control(103)));
  EXPECT_FALSE(IsWindowEnabled(Control(103)));
  EXPECT_EQ(ui::GetControlState(103), 1);
  ui::SetControlState(103, 0);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(ui::GetControlState(100 + i), 0) << i;
  ui::SetControlState(106, 1);
  EXPECT_EQ(SendMessageW(Control(106), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(ui::GetControlState(16), 0) << "a push button has no state";
  EXPECT_TRUE(PendingEvents().empty()) << "changes made by the program post nothing";
}

TEST_F(ControlServices, NumbersWithoutControlsAreIgnored) {
  ui::CreateButton(16, 140, 70, 120, 30, L"开始");
  ui::SetControlText(999, L"x");
  ui::SetControlState(999, 1);
  ui::SetControlEnabled(999, false);
  ui::SetControlHidden(999, true);
  ui::SetControlBackColor(999, ui::FailureRed);
  EXPECT_EQ(ui::GetControlState(999), 0);
  EXPECT_EQ(Children(main_).size(), 1u);
  ui::SetControlText(16, nullptr);   // an absent text is the empty text
  EXPECT_EQ(TextOf(Control(16)), L"");
}

TEST_F(ControlServices, StatusBarFieldsAreRunningSumsAndTextsBorderless) {
  ui::AttachStatusBar(0);
  for (int i = 0; i < 3; ++i) ui::AddStatusField(130);
  HWND bar = FindWindowExW(main_, nullptr, STATUSCLASSNAMEW, nullptr);
  ASSERT_NE(bar, nullptr);
  int edges[4] = {};
  ASSERT_EQ(SendMessageW(bar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 3);
  EXPECT_EQ(edges[0], 130);
  EXPECT_EQ(edges[1], 260);
  EXPECT_EQ(edges[2], 390);
  RECT client, status;
  GetClientRect(main_, &client);
  status = ClientRect(bar);
  EXPECT_EQ(status.bottom, client.bottom) << "along the bottom edge";
  EXPECT_GE(status.bottom - status.top, 18);

  ui::SetStatusText(1, L" 验证:  30700800");
  wchar_t text[64] = {};
  const LRESULT info = SendMessageW(bar, SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(std::wstring(text), L" 验证:  30700800");
  EXPECT_EQ(HIWORD(info) & SBT_NOBORDERS, SBT_NOBORDERS);
  ui::SetStatusText(3, L"no such field");   // ignored
  EXPECT_EQ(SendMessageW(bar, SB_GETPARTS, 0, 0), 3);
}
