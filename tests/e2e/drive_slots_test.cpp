// More drives than slots: with the nine test drives the session lists more than seven drives, and
// the window offers the first seven in the order the system lists them, and no more.
#include <cwctype>

#include "e2e_fixture.h"
#include "ui/ui.h"

using DriveSlots = Ferrulon;

TEST_F(DriveSlots, NineTestDrivesFillTheSevenSlotsInListOrder) {
  // The drive roots of this Wine session, which the program shares, lower-cased: "c:\", ...
  wchar_t buffer[512] = {};
  const DWORD length = GetLogicalDriveStringsW(511, buffer);
  std::vector<std::wstring> roots;
  for (DWORD i = 0; i < length; i += static_cast<DWORD>(roots.back().size()) + 1) {
    roots.emplace_back(buffer + i);
    for (wchar_t& c : roots.back()) c = static_cast<wchar_t>(std::towlower(c));
  }
  ASSERT_GE(roots.size(), 10u) << "c: and the nine test drives are listed";

  for (int i = 0; i < ui::DriveSlots; ++i) {
    SCOPED_TRACE("slot " + std::to_string(i + 1));
    HWND slot = Control(ui::DriveOption0 + i);
    EXPECT_EQ(U8(Text(ui::DriveOption0 + i)), U8(L" " + roots[i]));
    EXPECT_TRUE(IsShown(slot) && IsEnabledWindow(slot));
  }
  EXPECT_EQ(Control(ui::DriveOption0 + ui::DriveSlots), nullptr) << "no eighth slot";
  CloseExpectingExitCode0();
}
