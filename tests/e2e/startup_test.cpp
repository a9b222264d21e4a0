// The window as the program shows it after start-up, and what the idle window does with Start
// (no drive chosen), Store score (no run yet) and the close box.
#include "e2e_fixture.h"

#include <commctrl.h>

#include <cwctype>
#include <vector>

#include "ui/ui.h"


namespace {

constexpr LONG TextStyle = 0x50020081;      // child, visible, group, no prefix, centred
constexpr LONG ButtonStyle = 0x50030000;    // child, visible, group, tab stop, push button
constexpr LONG OptionStyle = 0x50010009;    // child, visible, tab stop, automatic option button
constexpr LONG ProgressStyle = 0x50000001;  // child, visible, smooth

struct Expected {
  std::int64_t number;
  const wchar_t* className;
  LONG style;
  Box box;
  const wchar_t* text;
};

// The drive roots as this Wine session reports them, lower case, in the program's order.
std::vector<std::wstring> SessionDriveRoots() {
  wchar_t buffer[512] = {};
  const DWORD length = GetLogicalDriveStringsW(511, buffer);
  std::vector<std::wstring> roots;
  for (DWORD i = 0; i + 3 <= length; i += 4) {
    roots.push_back(std::wstring{static_cast<wchar_t>(std::towlower(buffer[i])), L':', L'\\'});
  }
  return roots;
}

}  // namespace

using StartUp = Ferrulon;

TEST_F(StartUp, WindowShowsEveryControlAsBuilt) {
  HWND main = program_.window;
  const LONG frame = static_cast<LONG>(WS_POPUP | WS_CHILD | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
                                       WS_MAXIMIZEBOX);
  EXPECT_EQ(StyleOf(main) & frame, static_cast<LONG>(WS_CAPTION | WS_SYSMENU))
      << "caption with close box, fixed frame, no minimise or maximise box";
  const RECT outer = ScreenRectOf(main);
  EXPECT_EQ(outer.left, 100);
  EXPECT_EQ(outer.top, 100);
  RECT client = {};
  GetClientRect(main, &client);
  EXPECT_EQ(client.right, 430);
  EXPECT_EQ(client.bottom, 420);

  const Expected fixed[] = {
      {ui::HintText, L"Static", TextStyle, {0, 20, 430, 20}, ui::HintLabel},
      {ui::DriveUnderTestText, L"Static", TextStyle, {180, 136, 145, 20}, ui::DriveUnderTestLabel},
      {ui::StatusBanner, L"Static", TextStyle, {195, 260, 130, 15}, ui::Placeholder},
      {ui::StartButton, L"Button", ButtonStyle, {140, 70, 120, 30}, ui::StartLabel},
      {ui::StopButton, L"Button", ButtonStyle, {280, 70, 120, 30}, ui::StopLabel},
      {ui::ProgressBar, PROGRESS_CLASSW, ProgressStyle, {14, 356, 400, 30}, L""},
      {ui::ScoreText, L"Static", TextStyle, {195, 202, 130, 30}, ui::Placeholder},
      {ui::StoreScoreButton, L"Button", ButtonStyle, {180, 285, 160, 25}, ui::StoreScoreLabel},
      {ui::StoredScoreText, L"Static", TextStyle, {195, 325, 130, 30}, ui::Placeholder},
  };
  for (const Expected& e : fixed) {
    SCOPED_TRACE("control " + std::to_string(e.number));
    HWND control = Control(e.number);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(ClassOf(control), e.className);
    EXPECT_EQ(StyleOf(control), e.style);
    EXPECT_EQ(BoxOf(program_, control), e.box);
    EXPECT_EQ(U8(TextOf(control)), U8(e.text));
  }

  // The two captions have no number of their own.
  const struct { const wchar_t* text; Box box; } captions[] = {
      {ui::ScoreCaption, {190, 180, 145, 20}},
      {ui::VerifyCaption, {200, 230, 130, 20}},
  };
  for (const auto& caption : captions) {
    SCOPED_TRACE(U8(caption.text));
    HWND control = FindChildByText(program_, caption.text);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(ClassOf(control), L"Static");
    EXPECT_EQ(StyleOf(control), TextStyle);
    EXPECT_EQ(BoxOf(program_, control), caption.box);
  }

  // Slots: the first seven drives of the session by letter; the rest hidden and disabled.
  const std::vector<std::wstring> roots = SessionDriveRoots();
  ASSERT_FALSE(roots.empty());
  for (int i = 0; i < ui::DriveSlots; ++i) {
    SCOPED_TRACE("slot " + std::to_string(i));
    HWND slot = Control(ui::DriveOption0 + i);
    ASSERT_NE(slot, nullptr);
    const bool offered = i < static_cast<int>(roots.size());
    EXPECT_EQ(ClassOf(slot), L"Button");
    EXPECT_EQ(StyleOf(slot) & ~(WS_VISIBLE | WS_DISABLED), (OptionStyle | (i == 0 ? WS_GROUP : 0)) & ~WS_VISIBLE)
        << "slot 0 heads the option group";
    EXPECT_EQ(BoxOf(program_, slot), (Box{40, 70 + 40 * i, 80, 20}));
    EXPECT_EQ(U8(TextOf(slot)), U8(L" " + (offered ? roots[i] : std::wstring())));
    EXPECT_EQ(IsShown(slot), offered);
    EXPECT_EQ(IsEnabledWindow(slot), offered);
    EXPECT_EQ(CheckOf(slot), BST_UNCHECKED);
  }
  EXPECT_GE(SlotOf(L'm'), 0) << "the first test drive has a slot";

  // Stacking order is creation order; it is also the option group and the Tab order.
  std::vector<int> order;
  for (HWND child : Children(main)) order.push_back(GetDlgCtrlID(child));
  ASSERT_EQ(order.size(), 19u);
  const int status = GetDlgCtrlID(StatusBarOf(program_));
  const std::vector<int> created = {852, 456, 1333, status, 100, 101, 102, 103, 104, 105,
                                    106, 16, 888, 1, order[14], 222, order[16], 567, 502};
  EXPECT_EQ(order, created);
  EXPECT_EQ(FindChildByText(program_, ui::ScoreCaption), Children(main)[14]);
  EXPECT_EQ(FindChildByText(program_, ui::VerifyCaption), Children(main)[16]);

  EXPECT_TRUE(IsEnabledWindow(Control(ui::StartButton)));
  EXPECT_TRUE(IsEnabledWindow(Control(ui::StopButton)));
  EXPECT_TRUE(IsEnabledWindow(Control(ui::StoreScoreButton)));

  LRESULT low = -1, high = -1;
  ASSERT_TRUE(Ask(Control(ui::ProgressBar), PBM_GETRANGE, TRUE, 0, low));
  ASSERT_TRUE(Ask(Control(ui::ProgressBar), PBM_GETRANGE, FALSE, 0, high));
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, 500);
  EXPECT_EQ(ProgressOf(program_), 500) << "the bar starts full";

  // Status bar along the bottom edge with three fields of 130 pixels and their bare labels.
  HWND bar = StatusBarOf(program_);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(StyleOf(bar) & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
  const Box barBox = BoxOf(program_, bar);
  EXPECT_EQ(barBox.x, 0);
  EXPECT_EQ(barBox.width, 430);
  EXPECT_EQ(barBox.y + barBox.height, 420);
  EXPECT_GE(barBox.height, 18);
  EXPECT_EQ(StatusEdges(program_), (std::vector<int>{130, 260, 390}));
  const wchar_t* labels[] = {ui::WrittenLabel, ui::VerifiedLabel, ui::FileOpsLabel};
  for (int field = 0; field < 3; ++field) {
    StatusField read;
    ASSERT_TRUE(ReadStatusField(program_, field, read)) << "field " << field;
    EXPECT_EQ(U8(read.text), U8(labels[field]));
    EXPECT_TRUE(read.borderless) << "field " << field;
  }

  // The banner's neutral light grey, as painted on the screen.
  EXPECT_TRUE(WaitUntil("the banner painted in 0xEEEEEE", 10000, [&] { return BannerPixelsAre(ui::NeutralGrey); }))
      << "corner pixel " << std::hex << PixelOf(Control(ui::StatusBanner), 1, 1);

  CloseExpectingExitCode0();
}

TEST_F(StartUp, StartWithoutDriveAsksForOneAndStoreKeepsNothing) {
  ClickControl(Control(ui::StartButton));
  HWND box = WaitForMessageBox(15000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(U8(TextOf(box)), U8(ui::NoDriveCaption));
  EXPECT_EQ(U8(MessageBoxText(box)), U8(ui::NoDriveText));
  EXPECT_FALSE(IsEnabledWindow(program_.window)) << "the main window is disabled while the box is open";
  EXPECT_FALSE(IsEnabledWindow(Control(ui::StartButton)));
  int buttons = 0;
  for (HWND child : Children(box)) {
    if (!IsShown(child)) continue;
    if (ClassOf(child) == L"Button") {
      ++buttons;
      EXPECT_EQ(GetDlgCtrlID(child), IDOK);
    }
    // Wine's box keeps its icon control shown even without an icon; then the control holds none.
    LRESULT icon = 0;
    if (ClassOf(child) == L"Static" && (StyleOf(child) & SS_TYPEMASK) == SS_ICON) {
      EXPECT_TRUE(Ask(child, STM_GETICON, 0, 0, icon) && icon == 0) << "no icon";
    }
  }
  EXPECT_EQ(buttons, 1) << "an OK button only";

  ASSERT_NO_FATAL_FAILURE(DismissMessageBox(box));
  ASSERT_TRUE(WaitUntil("Start enabled again", 15000, [&] { return IsEnabledWindow(Control(ui::StartButton)); }));
  EXPECT_TRUE(IsEnabledWindow(program_.window));
  EXPECT_EQ(CheckedSlot(), -1);
  EXPECT_EQ(ProgressOf(program_), 500);
  EXPECT_EQ(U8(Text(ui::StatusBanner)), U8(ui::Placeholder));
  EXPECT_EQ(U8(Text(ui::ScoreText)), U8(ui::Placeholder));
  EXPECT_EQ(U8(Text(ui::DriveUnderTestText)), U8(ui::DriveUnderTestLabel));
  EXPECT_EQ(U8(StatusText(program_, 0)), U8(ui::WrittenLabel));

  // Store score before any completed run changes nothing. Input is handled in order, so once the
  // later click on a slot has taken effect the click on Store has been handled.
  ClickControl(Control(ui::StoreScoreButton));
  ASSERT_NO_FATAL_FAILURE(Select(L'm'));
  EXPECT_EQ(U8(Text(ui::StoredScoreText)), U8(ui::Placeholder));
  EXPECT_EQ(BoxOf(program_, Control(ui::StoredScoreText)), (Box{195, 325, 130, 30}));

  CloseExpectingExitCode0();
}
