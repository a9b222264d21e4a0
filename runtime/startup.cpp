// Start-up plumbing: the private heaps, icon, cursor, font, common controls and COM.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "runtime/runtime.h"

namespace runtime {

namespace {
HANDLE Heaps[2];             // indexed by TableHeap, TextHeap
std::int64_t HeapsReleased;  // 1 after DestroyHeaps: later frees are moot

HANDLE HeapOf(std::int64_t heap) {
  if (Heaps[heap] == nullptr) Heaps[heap] = HeapCreate(0, 4096, 0);
  return Heaps[heap];
}
}  // namespace

void* AllocateBlock(std::int64_t heap, std::size_t bytes) {
  return HeapAlloc(HeapOf(heap), HEAP_GENERATE_EXCEPTIONS, bytes != 0 ? bytes : 1);
}

void FreeBlock(std::int64_t heap, void* block) {
  if (block != nullptr && HeapsReleased == 0) (void)HeapFree(HeapOf(heap), 0, block);
}

void CreateHeaps() {
  (void)HeapOf(TableHeap);
  (void)HeapOf(TextHeap);
}

void DestroyHeaps() {
  for (std::int64_t heap : {TextHeap, TableHeap}) {
    if (Heaps[heap] != nullptr) (void)HeapDestroy(Heaps[heap]);
    Heaps[heap] = nullptr;
  }
  HeapsReleased = 1;
}

void* ApplicationIcon = nullptr;
void* ArrowCursor = nullptr;
void* DefaultGuiFont = nullptr;

void PrepareEnvironment() {
  // An empty card reader or optical drive fails its requests with an error, which the program
  // shows, instead of the system's own "no disk" box over a window that waits for it.
  (void)SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  CreateHeaps();
  ApplicationIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  ArrowCursor = LoadCursorW(nullptr, IDC_ARROW);
  DefaultGuiFont = GetStockObject(DEFAULT_GUI_FONT);
  // Tab, hot-key, date, ComboBoxEx and IP-address classes, asked twice as the program always has;
  // plus the status-bar and progress-bar classes that the window uses: on Windows a class that
  // was not asked for may not be registered, and the window would lack both controls.
  INITCOMMONCONTROLSEX classes = {8, 0x0B48 | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
  (void)InitCommonControlsEx(&classes);
  (void)InitCommonControlsEx(&classes);
  (void)CoInitialize(nullptr);  // never uninitialised
}

void ReleaseEnvironment() {
  if (ApplicationIcon != nullptr) (void)DestroyIcon(static_cast<HICON>(ApplicationIcon));
  ApplicationIcon = nullptr;
  DestroyHeaps();
}

}  // namespace runtime
