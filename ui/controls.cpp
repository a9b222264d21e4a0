// The control registry: numbered native controls, each subclassed, with shared background
// brushes; their creation and replacement, and their texts, colours and states.
#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "runtime/runtime.h"
#include "ui/control_services.h"
#include "ui/ui.h"

namespace ui {

namespace {

constexpr std::int64_t TextKind = 1, ButtonKind = 2, OptionKind = 3, ProgressKind = 4;
constexpr DWORD TextStyle = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_NOPREFIX;                   // 0x50020080
constexpr DWORD ButtonStyle = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON;  // 0x50030000
constexpr DWORD OptionStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON;        // 0x50010009

struct Control {
  std::int64_t number;
  HWND handle;
  std::int64_t kind;
  std::int64_t backColor;  // DefaultColor while unset
  WNDPROC previous;        // the native class's procedure, under our subclass
};

struct SharedBrush {
  std::int64_t color;
  HBRUSH brush;
  std::int64_t users;
};

template <class T>
using TableList = std::vector<T, runtime::HeapAllocator<T, runtime::TableHeap>>;

auto& Registry = runtime::Lasting<TableList<Control>>();  // one entry per live control
auto& Brushes = runtime::Lasting<TableList<SharedBrush>>();
std::int64_t LastCreatedKind;  // an option button after another one joins its group
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
  const auto previous =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProc)));
  Registry.push_back(Control{number, handle, kind, DefaultColor, previous});
  (void)SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(runtime::DefaultGuiFont), TRUE);
  LastCreatedKind = kind;
  return number;
}

HWND CreateNative(const wchar_t* className, const wchar_t* text, DWORD style, std::int64_t x, std::int64_t y,
                  std::int64_t width, std::int64_t height) {
  if (MainWindow == nullptr) return nullptr;
  return CreateWindowExW(0, className, text != nullptr ? text : L"", style, static_cast<int>(x), static_cast<int>(y),
                         static_cast<int>(width), static_cast<int>(height), MainWindow, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

std::int64_t FreshNumber() {
  while (Find(NextFreshNumber) != nullptr) ++NextFreshNumber;
  return NextFreshNumber++;
}

void EndOptionGroup() { LastCreatedKind = 0; }

bool OwnBackground(HWND handle, HDC dc, HBRUSH& brush) {
  const Control* control = FindHandle(handle);
  if (control == nullptr || control->backColor == DefaultColor) return false;
  (void)SetBkColor(dc, static_cast<COLORREF>(control->backColor));
  brush = BrushOf(control->backColor);
  return true;
}

std::int64_t CreateTextControl(std::int64_t number, std::int64_t x, std::int64_t y, std::int64_t width,
                               std::int64_t height, const wchar_t* text, bool centred) {
  const DWORD style = TextStyle | (centred ? SS_CENTER : 0);
  return Register(number, CreateNative(L"Static", text, style, x, y, width, height), TextKind);
}

std::int64_t CreateButton(std::int64_t number, std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
                          const wchar_t* text) {
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
