// The main window: its class, its procedure (a dispatch of the few messages the program handles
// itself) and its keyboard handling.
#include <windows.h>

#include "runtime/pump.h"
#include "runtime/runtime.h"
#include "ui/control_services.h"
#include "ui/ui.h"

namespace ui {

HWND MainWindow;

namespace {

constexpr DWORD MainStyle = WS_CAPTION | WS_SYSMENU;  // 0xC80000
constexpr WORD NextControlCommand = 64001;            // Tab
constexpr WORD PreviousControlCommand = 64002;        // Shift+Tab

HACCEL Accelerators;
HWND FocusBeforeDeactivation;

bool IsTabStop(HWND child) {
  return IsWindowVisible(child) && IsWindowEnabled(child) && (GetWindowLongPtrW(child, GWL_STYLE) & WS_TABSTOP);
}

// Tab and Shift+Tab: the next or previous enabled, visible tab stop in creation order, wrapping.
void MoveFocus(bool forward) {
  HWND focus = GetFocus();
  HWND first = nullptr, last = nullptr, after = nullptr, before = nullptr;
  bool passed = false;
  for (HWND child = GetWindow(MainWindow, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (child == focus) {
      passed = true;
      continue;
    }
    if (!IsTabStop(child)) continue;
    if (first == nullptr) first = child;
    last = child;
    if (passed && after == nullptr) after = child;
    if (!passed) before = child;
  }
  HWND target = forward ? (after != nullptr ? after : first) : (passed && before != nullptr ? before : last);
  if (target != nullptr) (void)SetFocus(target);
}

LRESULT OnCommand(WPARAM wParam, LPARAM lParam) {
  if (lParam != 0) {
    const auto number = static_cast<std::int64_t>(GetWindowLongPtrW(reinterpret_cast<HWND>(lParam), GWLP_ID));
    runtime::PostEvent(runtime::ControlActivated, number, MainWindowNumber, HIWORD(wParam));
  } else if (LOWORD(wParam) == NextControlCommand || LOWORD(wParam) == PreviousControlCommand) {
    MoveFocus(LOWORD(wParam) == NextControlCommand);
  }
  return 0;
}

LRESULT OnColorStatic(HWND window, WPARAM wParam, LPARAM lParam) {
  HBRUSH brush = nullptr;
  if (!OwnBackground(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam), brush))
    return DefWindowProcW(window, WM_CTLCOLORSTATIC, wParam, lParam);
  return reinterpret_cast<LRESULT>(brush);
}

// Deactivation remembers the focused control and hides keyboard cues; activation restores focus.
bool OnActivate(HWND window, WPARAM wParam) {
  if (LOWORD(wParam) == WA_INACTIVE) {
    HWND focus = GetFocus();
    FocusBeforeDeactivation = focus != nullptr && IsChild(window, focus) ? focus : nullptr;
    (void)SendMessageW(window, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    return false;
  }
  if (FocusBeforeDeactivation == nullptr || !IsWindow(FocusBeforeDeactivation)) return false;
  (void)SetFocus(FocusBeforeDeactivation);
  return true;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: return OnCommand(wParam, lParam);
    case WM_CLOSE:  // the program decides; the close box never destroys the window
      runtime::PostEvent(runtime::CloseRequested, MainWindowNumber, MainWindowNumber, 0);
      return 0;
    case WM_CTLCOLORSTATIC: return OnColorStatic(window, wParam, lParam);
    case WM_ACTIVATE:
      if (OnActivate(window, wParam)) return 0;
      break;
    case WM_SIZE: LayOutStatusBar(); break;
    case WM_NCDESTROY:
      runtime::ForgetWindow(MainWindowNumber);
      runtime::SetPumpWindow(nullptr, nullptr);
      MainWindow = nullptr;
      ForgetStatusBar();
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void OpenMainWindow(std::int64_t, std::int64_t x, std::int64_t y, std::int64_t clientWidth, std::int64_t clientHeight,
                    const wchar_t* title) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = static_cast<HICON>(runtime::ApplicationIcon);
  windowClass.hCursor = static_cast<HCURSOR>(runtime::ArrowCursor);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = L"FerrulonMainWindow";
  (void)RegisterClassExW(&windowClass);  // already registered when a window is opened again

  RECT outer = {0, 0, static_cast<LONG>(clientWidth), static_cast<LONG>(clientHeight)};
  (void)AdjustWindowRectEx(&outer, MainStyle, FALSE, 0);
  MainWindow = CreateWindowExW(0, windowClass.lpszClassName, title != nullptr ? title : L"", MainStyle,
                               static_cast<int>(x), static_cast<int>(y), outer.right - outer.left,
                               outer.bottom - outer.top, nullptr, nullptr, instance, nullptr);
  if (MainWindow == nullptr) return;
  (void)ShowWindow(MainWindow, SW_SHOWNORMAL);
  // Tab through two accelerators, on purpose, not through the dialog manager: the window is no
  // dialog, and IsDialogMessage in the pump would also take Enter and Esc as commands 1 and 2 (1
  // is the progress bar's number), move among the drive slots with the arrow keys and let Tab stop
  // only at the checked slot. Here Tab and Shift+Tab do one thing, each slot a stop of its own.
  ACCEL keys[2] = {{FVIRTKEY | FNOINVERT, VK_TAB, NextControlCommand},
                   {FVIRTKEY | FSHIFT | FNOINVERT, VK_TAB, PreviousControlCommand}};
  Accelerators = CreateAcceleratorTableW(keys, 2);
  runtime::SetPumpWindow(MainWindow, Accelerators);
  EndOptionGroup();
}

void DestroyMainWindow() {
  if (MainWindow != nullptr) (void)DestroyWindow(MainWindow);
  if (Accelerators != nullptr) (void)DestroyAcceleratorTable(Accelerators);
  Accelerators = nullptr;
}

bool HasMainWindow() { return MainWindow != nullptr; }

}  // namespace ui
