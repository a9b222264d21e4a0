// Control services: the main window and its numbered controls, on native user32/comctl32 controls.
#include <vector>

#include <windows.h>

#include <commctrl.h>

#include "runtime/pump.h"
#include "runtime/runtime.h"
#include "ui/ui.h"

namespace ui {

namespace {

constexpr std::int64_t TextKind = 1, ButtonKind = 2, OptionKind = 3, ProgressKind = 4, StatusKind = 5;
constexpr DWORD TextStyle = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_NOPREFIX;                  // 0x50020080
constexpr DWORD ButtonStyle = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON;  // 0x50030000
constexpr DWORD OptionStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON;        // 0x50010009
constexpr DWORD MainStyle = WS_CAPTION | WS_SYSMENU;                                          // 0xC80000
constexpr WORD NextControlCommand = 64001;       // Tab
constexpr WORD PreviousControlCommand = 64002;   // Shift+Tab
constexpr std::int64_t MaxStatusFields = 256;
constexpr std::int64_t StatusMinHeight = 18;

struct Control {
  std::int64_t number;
  HWND handle;
  std::int64_t kind;
  std::int64_t backColor;   // DefaultColor while unset
  WNDPROC previous;         // the native class's procedure, under our subclass
};

struct SharedBrush {
  std::int64_t color;
  HBRUSH brush;
  std::int64_t users;
};

template <class T> using TableList = std::vector<T, runtime::HeapAllocator<T, runtime::TableHeap>>;

auto& Registry = runtime::Lasting<TableList<Control>>();   // one entry per live control
auto& Brushes = runtime::Lasting<TableList<SharedBrush>>();
HWND MainWindow;
HACCEL Accelerators;
HWND FocusBeforeDeactivation;
HWND StatusBar;
int StatusEdges[MaxStatusFields];   // right edges: running sums of the field widths
std::int64_t StatusFields;
std::int64_t LastCreatedKind;       // an option button after another one joins its group
std::int64_t NextFreshNumber = 40000;

Control* Find(std::int64_t number) {
  for (Control& control : Registry)
    if (control.number == number) return &control;
  return nullptr;
}

Control* FindHandle(HWND handle) {
  for (Control& control : Registry)
    if (control.handle == handle) return &control;
  return nullptr;
}

std::int64_t FreshNumber() {
  while (Find(NextFreshNumber) != nullptr) ++NextFreshNumber;
  return NextFreshNumber++;
}

HBRUSH AcquireBrush(std::int64_t color) {
  for (SharedBrush& shared : Brushes)
    if (shared.color == color) {
      ++shared.users;
      return shared.brush;
    }
  HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(color));
  Brushes.push_back(SharedBrush{color, brush, 1});
  return brush;
}

void ReleaseBrush(std::int64_t color) {
  for (auto at = Brushes.begin(); at != Brushes.end(); ++at)
    if (at->color == color) {
      if (--at->users == 0) {
        (void)DeleteObject(at->brush);
        Brushes.erase(at);
      }
      return;
    }
}

HBRUSH BrushOf(std::int64_t color) {
  for (const SharedBrush& shared : Brushes)
    if (shared.color == color) return shared.brush;
  return nullptr;
}

// Every control runs under this procedure; when its window goes, so does everything of it here.
LRESULT CALLBACK ControlProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  Control* control = FindHandle(handle);
  if (control == nullptr) return DefWindowProcW(handle, message, wParam, lParam);
  const WNDPROC previous = control->previous;
  if (message == WM_NCDESTROY) {
    const std::int64_t number = control->number;
    if (control->backColor != DefaultColor) ReleaseBrush(control->backColor);
    Registry.erase(Registry.begin() + (control - Registry.data()));
    runtime::DropControlEvents(number);
  }
  return CallWindowProcW(previous, handle, message, wParam, lParam);
}

// Registers a native control under its number; an existing control of that number is destroyed
// only now that its replacement exists.
std::int64_t Register(std::int64_t number, HWND handle, std::int64_t kind) {
  if (handle == nullptr) return 0;
  if (number == AutoNumber) {
    number = FreshNumber();
  } else if (Control* old = Find(number)) {
    (void)DestroyWindow(old->handle);
  }
  (void)SetWindowLongPtrW(handle, GWLP_ID, static_cast<LONG_PTR>(number));
  const auto previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProc)));
  Registry.push_back(Control{number, handle, kind, DefaultColor, previous});
  (void)SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(runtime::DefaultGuiFont), TRUE);
  LastCreatedKind = kind;
  return number;
}

HWND CreateNative(const wchar_t* className, const wchar_t* text, DWORD style, std::int64_t x, std::int64_t y,
                  std::int64_t width, std::int64_t height) {
  if (MainWindow == nullptr) return nullptr;
  return CreateWindowExW(0, className, text != nullptr ? text : L"", style, static_cast<int>(x),
                         static_cast<int>(y), static_cast<int>(width), static_cast<int>(height), MainWindow,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

void LayOutStatusBar() {
  if (StatusBar == nullptr) return;
  (void)SendMessageW(StatusBar, WM_SIZE, 0, 0);
  if (StatusFields > 0)
    (void)SendMessageW(StatusBar, SB_SETPARTS, static_cast<WPARAM>(StatusFields), reinterpret_cast<LPARAM>(StatusEdges));
}

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
  const Control* control = FindHandle(reinterpret_cast<HWND>(lParam));
  if (control == nullptr || control->backColor == DefaultColor)
    return DefWindowProcW(window, WM_CTLCOLORSTATIC, wParam, lParam);
  (void)SetBkColor(reinterpret_cast<HDC>(wParam), static_cast<COLORREF>(control->backColor));
  return reinterpret_cast<LRESULT>(BrushOf(control->backColor));
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
    case WM_COMMAND:
      return OnCommand(wParam, lParam);
    case WM_CLOSE:   // the program decides; the close box never destroys the window
      runtime::PostEvent(runtime::CloseRequested, MainWindowNumber, MainWindowNumber, 0);
      return 0;
    case WM_CTLCOLORSTATIC:
      return OnColorStatic(window, wParam, lParam);
    case WM_ACTIVATE:
      if (OnActivate(window, wParam)) return 0;
      break;
    case WM_SIZE:
      LayOutStatusBar();
      break;
    case WM_NCDESTROY:
      runtime::ForgetWindow(MainWindowNumber);
      runtime::SetPumpWindow(nullptr, nullptr);
      MainWindow = nullptr;
      StatusBar = nullptr;
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void OpenMainWindow(std::int64_t, std::int64_t x, std::int64_t y, std::int64_t clientWidth,
                    std::int64_t clientHeight, const wchar_t* title) {
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
  (void)RegisterClassExW(&windowClass);   // already registered when a window is opened again

  RECT outer = {0, 0, static_cast<LONG>(clientWidth), static_cast<LONG>(clientHeight)};
  (void)AdjustWindowRectEx(&outer, MainStyle, FALSE, 0);
  MainWindow = CreateWindowExW(0, windowClass.lpszClassName, title != nullptr ? title : L"", MainStyle,
                               static_cast<int>(x), static_cast<int>(y), outer.right - outer.left,
                               outer.bottom - outer.top, nullptr, nullptr, instance, nullptr);
  if (MainWindow == nullptr) return;
  (void)ShowWindow(MainWindow, SW_SHOWNORMAL);
  ACCEL keys[2] = {{FVIRTKEY | FNOINVERT, VK_TAB, NextControlCommand},
                   {FVIRTKEY | FSHIFT | FNOINVERT, VK_TAB, PreviousControlCommand}};
  Accelerators = CreateAcceleratorTableW(keys, 2);
  runtime::SetPumpWindow(MainWindow, Accelerators);
  LastCreatedKind = 0;
}

void DestroyMainWindow() {
  if (MainWindow != nullptr) (void)DestroyWindow(MainWindow);
  if (Accelerators != nullptr) (void)DestroyAcceleratorTable(Accelerators);
  Accelerators = nullptr;
  StatusFields = 0;
}

bool HasMainWindow() { return MainWindow != nullptr; }

std::int64_t CreateTextControl(std::int64_t number, std::int64_t x, std::int64_t y, std::int64_t width,
                               std::int64_t height, const wchar_t* text, bool centred) {
  const DWORD style = TextStyle | (centred ? SS_CENTER : 0);
  return Register(number, CreateNative(L"Static", text, style, x, y, width, height), TextKind);
}

std::int64_t CreateButton(std::int64_t number, std::int64_t x, std::int64_t y, std::int64_t width,
                          std::int64_t height, const wchar_t* text) {
  return Register(number, CreateNative(L"Button", text, ButtonStyle, x, y, width, height), ButtonKind);
}

std::int64_t CreateOptionButton(std::int64_t number, std::int64_t x, std::int64_t y, std::int64_t width,
                                std::int64_t height, const wchar_t* text) {
  const DWORD style = OptionStyle | (LastCreatedKind == OptionKind ? 0 : WS_GROUP);
  return Register(number, CreateNative(L"Button", text, style, x, y, width, height), OptionKind);
}

std::int64_t CreateProgressBar(std::int64_t number, std::int64_t x, std::int64_t y, std::int64_t width,
                               std::int64_t height, std::int64_t minimum, std::int64_t maximum, bool smooth) {
  const DWORD style = WS_CHILD | WS_VISIBLE | (smooth ? PBS_SMOOTH : 0);
  HWND bar = CreateNative(PROGRESS_CLASSW, nullptr, style, x, y, width, height);
  const std::int64_t result = Register(number, bar, ProgressKind);
  if (result == 0) return 0;
  (void)SendMessageW(bar, PBM_SETRANGE32, static_cast<WPARAM>(minimum), static_cast<LPARAM>(maximum));
  (void)SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(minimum), 0);
  return result;
}

void AttachStatusBar(std::int64_t) {
  if (MainWindow == nullptr || StatusBar != nullptr) return;
  ++runtime::PostingSuppression;
  StatusBar = CreateStatusWindowW(WS_CHILD | WS_VISIBLE, L"", MainWindow, static_cast<UINT>(FreshNumber()));
  if (StatusBar != nullptr) {
    (void)SendMessageW(StatusBar, WM_SETFONT, reinterpret_cast<WPARAM>(runtime::DefaultGuiFont), TRUE);
    (void)SendMessageW(StatusBar, SB_SETMINHEIGHT, StatusMinHeight, 0);
    LayOutStatusBar();
    LastCreatedKind = StatusKind;
  }
  --runtime::PostingSuppression;
}

void AddStatusField(std::int64_t width) {
  if (StatusBar == nullptr || StatusFields == MaxStatusFields) return;
  const int left = StatusFields > 0 ? StatusEdges[StatusFields - 1] : 0;
  StatusEdges[StatusFields++] = left + static_cast<int>(width);
  LayOutStatusBar();
}

void SetStatusText(std::int64_t field, const wchar_t* text) {
  if (StatusBar == nullptr || field < 0 || field >= StatusFields) return;
  (void)SendMessageW(StatusBar, SB_SETTEXTW, static_cast<WPARAM>(field) | SBT_NOBORDERS,
                     reinterpret_cast<LPARAM>(text != nullptr ? text : L""));
  RECT area;
  if (SendMessageW(StatusBar, SB_GETRECT, static_cast<WPARAM>(field), reinterpret_cast<LPARAM>(&area)))
    (void)InvalidateRect(StatusBar, &area, TRUE);
}

void SetControlText(std::int64_t number, const wchar_t* text) {
  Control* control = Find(number);
  if (control == nullptr) return;
  ++runtime::PostingSuppression;
  (void)SetWindowTextW(control->handle, text != nullptr ? text : L"");
  --runtime::PostingSuppression;
}

void SetControlBackColor(std::int64_t number, std::int64_t color) {
  Control* control = Find(number);
  if (control == nullptr || control->kind != TextKind) return;
  if (control->backColor != DefaultColor) ReleaseBrush(control->backColor);
  control->backColor = color;
  if (color != DefaultColor) (void)AcquireBrush(color);
  (void)RedrawWindow(control->handle, nullptr, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_FRAME);
}

void SetControlState(std::int64_t number, std::int64_t value) {
  Control* control = Find(number);
  if (control == nullptr) return;
  ++runtime::PostingSuppression;
  HWND handle = control->handle;
  if (control->kind == OptionKind && value != 0) {
    // Uncheck the whole group, from its head (the one carrying WS_GROUP) on, then check this one.
    HWND head = handle;
    while (!(GetWindowLongPtrW(head, GWL_STYLE) & WS_GROUP) && GetWindow(head, GW_HWNDPREV) != nullptr)
      head = GetWindow(head, GW_HWNDPREV);
    for (HWND at = head; at != nullptr && (GetWindowLongPtrW(at, GWL_STYLE) & BS_AUTORADIOBUTTON) == BS_AUTORADIOBUTTON;
         at = GetWindow(at, GW_HWNDNEXT))
      (void)SendMessageW(at, BM_SETCHECK, BST_UNCHECKED, 0);
    (void)SendMessageW(handle, BM_SETCHECK, BST_CHECKED, 0);
  } else if (control->kind == OptionKind) {
    (void)SendMessageW(handle, BM_SETCHECK, BST_UNCHECKED, 0);
  } else if (control->kind == ProgressKind) {
    // Moving past the value and back makes the bar show it at once instead of gliding there.
    const auto low = static_cast<LPARAM>(SendMessageW(handle, PBM_GETRANGE, TRUE, 0));
    const auto high = static_cast<LPARAM>(SendMessageW(handle, PBM_GETRANGE, FALSE, 0));
    (void)SendMessageW(handle, PBM_SETRANGE32, static_cast<WPARAM>(low), high + 1);
    (void)SendMessageW(handle, PBM_SETPOS, static_cast<WPARAM>(value + 1), 0);
    (void)SendMessageW(handle, PBM_SETRANGE32, static_cast<WPARAM>(low), high);
    (void)SendMessageW(handle, PBM_SETPOS, static_cast<WPARAM>(value), 0);
  }
  --runtime::PostingSuppression;
}

std::int64_t GetControlState(std::int64_t number) {
  const Control* control = Find(number);
  if (control == nullptr) return 0;
  if (control->kind == OptionKind) return SendMessageW(control->handle, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
  if (control->kind == ProgressKind) return static_cast<std::int64_t>(SendMessageW(control->handle, PBM_GETPOS, 0, 0));
  return 0;
}

void SetControlEnabled(std::int64_t number, bool enabled) {
  if (const Control* control = Find(number)) (void)EnableWindow(control->handle, enabled ? TRUE : FALSE);
}

void SetControlHidden(std::int64_t number, bool hidden) {
  if (const Control* control = Find(number)) (void)ShowWindow(control->handle, hidden ? SW_HIDE : SW_SHOW);
}

}  // namespace ui
