// The status bar along the main window's bottom edge: fields of given widths, texts borderless.
#include <windows.h>

#include <commctrl.h>

#include "runtime/runtime.h"
#include "ui/control_services.h"
#include "ui/ui.h"

namespace ui {

namespace {

constexpr std::int64_t MaxStatusFields = 256;
constexpr std::int64_t StatusMinHeight = 18;

HWND StatusBar;
int StatusEdges[MaxStatusFields];  // right edges: running sums of the field widths
std::int64_t StatusFields;

}  // namespace

void LayOutStatusBar() {
  if (StatusBar == nullptr) return;
  (void)SendMessageW(StatusBar, WM_SIZE, 0, 0);
  if (StatusFields > 0)
    (void)SendMessageW(StatusBar, SB_SETPARTS, static_cast<WPARAM>(StatusFields),
                       reinterpret_cast<LPARAM>(StatusEdges));
}

void ForgetStatusBar() {
  StatusBar = nullptr;
  StatusFields = 0;
}

void AttachStatusBar(std::int64_t) {
  if (MainWindow == nullptr || StatusBar != nullptr) return;
  ++runtime::PostingSuppression;
  StatusBar = CreateStatusWindowW(WS_CHILD | WS_VISIBLE, L"", MainWindow, static_cast<UINT>(FreshNumber()));
  if (StatusBar != nullptr) {
    (void)SendMessageW(StatusBar, WM_SETFONT, reinterpret_cast<WPARAM>(runtime::DefaultGuiFont), TRUE);
    (void)SendMessageW(StatusBar, SB_SETMINHEIGHT, StatusMinHeight, 0);
    LayOutStatusBar();
    EndOptionGroup();
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

}  // namespace ui
