// The event pump: program events from window messages, bound click handlers, the message box.
#include <deque>
#include <vector>

#include "runtime/pump.h"
#include "runtime/pump_calls.h"
#include "runtime/runtime.h"

namespace runtime {

std::int64_t PostingSuppression = 0;
PumpCallTable PumpCalls = {GetMessageW, MessageBoxW};

namespace {

struct Event {
  std::int64_t code;
  std::int64_t control;  // for CloseRequested, the window's number
  std::int64_t window;
  std::int64_t type;  // the control's notification code (BN_CLICKED is 0)
};

struct Binding {
  std::int64_t control;
  ClickHandler handler;
};

template <class T>
using TableList = std::vector<T, HeapAllocator<T, TableHeap>>;

auto& Queue = Lasting<std::deque<Event, HeapAllocator<Event, TableHeap>>>();  // oldest first
Event Current;
auto& Bindings = Lasting<TableList<Binding>>();  // newest first
HWND PumpWindow;
HACCEL PumpAccelerators;
std::uint32_t LastLookMs;  // the tick count at the last look of StayResponsive

bool Same(const Event& a, const Event& b) {
  return a.code == b.code && a.control == b.control && a.window == b.window && a.type == b.type;
}

void UpdateKeyboardCues(WORD action) {
  (void)SendMessageW(PumpWindow, WM_UPDATEUISTATE, MAKEWPARAM(action, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}

bool ModifierHeld() { return (GetKeyState(VK_CONTROL) | GetKeyState(VK_SHIFT) | GetKeyState(VK_MENU)) & 0x8000; }

// Takes one queued event, or else one platform message, which it dispatches.
std::int64_t TakeEvent(bool wait) {
  if (!Queue.empty()) {
    Current = Queue.front();
    Queue.pop_front();
    return Current.code;
  }
  MSG message;
  if (wait) {
    // -1: the wait itself failed and would fail again; the message holds nothing to dispatch.
    // Taken as a request to close, so the program ends instead of spinning on the failure.
    if (PumpCalls.getMessage(&message, nullptr, 0, 0) == -1) {
      Current = Event{CloseRequested, 0, 0, 0};  // the program's one window is number 0
      return CloseRequested;
    }
  } else if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) {
    return 0;
  }
  const bool ours = PumpWindow != nullptr && GetActiveWindow() == PumpWindow;
  if (ours && ModifierHeld()) UpdateKeyboardCues(UIS_CLEAR);
  if (ours && PumpAccelerators != nullptr && TranslateAcceleratorW(PumpWindow, PumpAccelerators, &message)) {
    UpdateKeyboardCues(UIS_CLEAR);
  } else {
    (void)TranslateMessage(&message);
    (void)DispatchMessageW(&message);
  }
  // WM_NULL is a message too: a drain must not take it for "nothing pending".
  return message.message != 0 ? message.message : WM_APP;
}

}  // namespace

void SetPumpWindow(HWND window, HACCEL accelerators) {
  PumpWindow = window;
  PumpAccelerators = accelerators;
}

std::int64_t PollEvent() { return TakeEvent(false); }

std::int64_t WaitEvent() { return TakeEvent(true); }

std::int64_t CurrentEventControl() { return Current.control; }

void DrainEvents() {
  while (PollEvent() != 0) {}
}

// Windows counts a window as hung when its thread has asked for no message for 5 s; a look that
// leaves the message where it is keeps clicks, keys and the close box for the next drain. A look
// is a call into the window system; reading the tick count is not, so the time decides.
void StayResponsive() {
  const std::uint32_t now = TickCountMs();
  if (now - LastLookMs < LookIntervalMs) return;  // unsigned: right across the count's wrap too
  LastLookMs = now;
  MSG message;
  (void)PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD);
}

std::int64_t BindClickHandler(std::int64_t control, ClickHandler handler) {
  // A live control is a child of the window whose ID is its number.
  if (PumpWindow == nullptr || handler == nullptr || control < 0 || control > 0x7FFFFFFF ||
      GetDlgItem(PumpWindow, static_cast<int>(control)) == nullptr)
    return 0;
  for (const Binding& binding : Bindings)
    if (binding.control == control && binding.handler == handler) return 0;
  Bindings.insert(Bindings.begin(), Binding{control, handler});
  return 1;
}

void PostEvent(std::int64_t code, std::int64_t control, std::int64_t window, std::int64_t type) {
  if (PostingSuppression > 0) return;
  const Event event{code, control, window, type};
  // Two activations in a row, the first not yet taken, surface as one event.
  if (Queue.empty() || !(code < 65536 && Same(Queue.back(), event))) Queue.push_back(event);
  if (code != ControlActivated) return;
  // Handlers run now, inside the dispatch of the click, not when its event is taken: this is how
  // Stop acts during a run, whose drains drop the event itself.
  const Event previous = Current;
  Current = event;
  for (std::size_t i = 0; i < Bindings.size(); ++i)
    if (Bindings[i].control == control) (void)Bindings[i].handler();
  Current = previous;
}

void DropControlEvents(std::int64_t control) {
  for (auto at = Queue.begin(); at != Queue.end();)
    at = at->code == ControlActivated && at->control == control ? Queue.erase(at) : at + 1;
}

void ForgetWindow(std::int64_t window) {
  for (auto at = Queue.begin(); at != Queue.end();) at = at->window == window ? Queue.erase(at) : at + 1;
  Bindings.clear();  // the program has one window: every binding is one of its controls
}

namespace {
BOOL CALLBACK DisableOtherWindow(HWND window, LPARAM list) {
  auto* disabled = reinterpret_cast<TableList<HWND>*>(list);
  if (window != GetForegroundWindow() && IsWindowVisible(window) && IsWindowEnabled(window)) {
    (void)EnableWindow(window, FALSE);
    disabled->push_back(window);
  }
  return TRUE;
}
}  // namespace

std::int64_t ShowMessage(const wchar_t* caption, const wchar_t* text) {
  HWND foreground = GetForegroundWindow();
  DWORD process = 0;
  (void)GetWindowThreadProcessId(foreground, &process);
  HWND owner = foreground != nullptr && process == GetCurrentProcessId() ? foreground : nullptr;
  // The owner is disabled by the box itself; every other window of ours is disabled here.
  TableList<HWND> disabled;
  (void)EnumThreadWindows(GetCurrentThreadId(), DisableOtherWindow, reinterpret_cast<LPARAM>(&disabled));
  const std::int64_t pressed = PumpCalls.messageBox(owner, text, caption, 0);
  for (HWND window : disabled) (void)EnableWindow(window, TRUE);
  return pressed;
}

}  // namespace runtime
