// Real mouse input from this process, as a user's; see driver.h.
#include "driver.h"

namespace driver {

// SendInput under Wine queues the same hardware input as the X mouse would; with no window manager
// it goes to whatever window is under the point, in any process. Absolute coordinates are
// 0..65535 across the primary screen.
// Wine also warps the X pointer when SendInput moves the cursor, and the program's own X11 driver
// turns that warp into a mouse move of its own whenever it next reads its X events, which under
// load can be after our next move: a press sent on its own would then land where the previous
// click was. So the press and the release each carry the position: Wine moves the cursor and
// queues the button message in one step.
void ClickAt(POINT screen) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT inputs[2] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((screen.x * 65535 + (width - 1) / 2) / (width - 1));
    input.mi.dy = static_cast<LONG>((screen.y * 65535 + (height - 1) / 2) / (height - 1));
  }
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN;
  inputs[1].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP;
  (void)SendInput(2, inputs, sizeof(INPUT));
}

// Real input rather than BM_CLICK: it reaches only what a user could click, and BM_CLICK posted to
// a disabled button makes Wine 8 spin at 100 % CPU.
void ClickControl(HWND control) {
  const RECT rect = ScreenRectOf(control);
  ClickAt(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

bool ClickCloseBox(const Program& program) {
  if (program.closeBox.x < 0) return false;
  const RECT outer = ScreenRectOf(program.window);
  ClickAt(POINT{outer.left + program.closeBox.x, outer.top + program.closeBox.y});
  return true;
}

}  // namespace driver
