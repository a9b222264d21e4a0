// Runtime services: private heaps, texts, numbers and the clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

namespace runtime {

// ---- Private heaps -------------------------------------------------------------------------
// Tables and lists come from one private heap, texts from another. Each heap is made on first
// use (start-up makes both early) and is destroyed whole at shutdown; nothing is freed piece by
// piece then. Running out of memory ends the process with STATUS_NO_MEMORY.
constexpr std::int64_t TableHeap = 0;
constexpr std::int64_t TextHeap = 1;

void* AllocateBlock(std::int64_t heap, std::size_t bytes);
void FreeBlock(std::int64_t heap, void* block);
void CreateHeaps();
void DestroyHeaps();  // texts, then tables; only right before the process ends

template <class T, std::int64_t Heap>
struct HeapAllocator {
  using value_type = T;
  template <class U>
  struct rebind {
    using other = HeapAllocator<U, Heap>;
  };
  HeapAllocator() = default;
  template <class U>
  HeapAllocator(const HeapAllocator<U, Heap>&) {}
  T* allocate(std::size_t n) { return static_cast<T*>(AllocateBlock(Heap, n * sizeof(T))); }
  void deallocate(T* p, std::size_t) { FreeBlock(Heap, p); }
  template <class U>
  bool operator==(const HeapAllocator<U, Heap>&) const {
    return true;
  }
  template <class U>
  bool operator!=(const HeapAllocator<U, Heap>&) const {
    return false;
  }
};

// A process-wide object made in the table heap and never destroyed. Whatever holds texts or lists
// is made this way, so the C runtime has no destructor of ours to run at exit: on Windows it may
// run them while the process ends, after shutdown has destroyed the heaps they would walk. The Clang
// build refuses any object of the program's that has a destructor to run at exit (app/CMakeLists.txt).
template <class T>
T& Lasting() {
  struct Holder {
    T value;
  };
  return (new (AllocateBlock(TableHeap, sizeof(Holder))) Holder())->value;
}

// ---- Texts and numbers ---------------------------------------------------------------------
// A text is UTF-16 code units; a text never assigned is the empty text.
using Text = std::basic_string<wchar_t, std::char_traits<wchar_t>, HeapAllocator<wchar_t, TextHeap>>;

bool TextEquals(const Text& a, const Text& b);               // exact, case-sensitive
Text DecimalText(std::int64_t n);                            // "-9223372036854775808" at most
Text ReverseText(const Text& s);                             // code units in reverse order
Text SpaceText(std::int64_t n);                              // n spaces; empty for n <= 0
Text LowerText(const Text& s);                               // lower-cased by CharLowerW
Text TextFromBuffer(const wchar_t* buffer, std::int64_t n);  // at most n units, ends at a zero

// ---- Clock ---------------------------------------------------------------------------------
extern std::int64_t TicksPerMs;          // counter ticks per ms; 0 until the counter is read
extern std::int64_t CounterBase;         // counter value at the first reading
extern std::int64_t TimerResolutionSet;  // 1 once the 1 ms timer resolution was requested

void DelayMs(std::int64_t ms);  // the first call requests the 1 ms resolution for good
std::int64_t ElapsedMs();       // whole ms since the first call; GetTickCount without a counter
std::uint32_t TickCountMs();    // the system's millisecond count; wraps after 49.7 days

// ---- Events --------------------------------------------------------------------------------
// One queue of program events on the one thread; a platform message dispatched while the queue
// is empty makes Poll/WaitEvent return that message's number instead.
constexpr std::int64_t ControlActivated = 13100;  // a control reported a click; see CurrentEventControl
constexpr std::int64_t CloseRequested = 13116;    // the close box, Alt+F4 or the system menu's Close

using ClickHandler = std::int64_t (*)();  // its result is ignored

extern std::int64_t PostingSuppression;  // above 0: changes made by the program post nothing

std::int64_t PollEvent();            // never blocks; 0 when nothing is pending
std::int64_t WaitEvent();            // blocks until an event or a message arrives
std::int64_t CurrentEventControl();  // the control number of the event taken last
void DrainEvents();                  // dispatches everything pending and drops every event
// Asks for a message without taking or dispatching one, so the window does not count as hung
// during long work between drains; what other programs send the window is answered meanwhile.
// Cheap enough to call in every step of that work: it asks at most once every LookIntervalMs.
constexpr std::int64_t LookIntervalMs = 100;
void StayResponsive();
std::int64_t BindClickHandler(std::int64_t control, ClickHandler handler);  // 1 bound, 0 not
std::int64_t ShowMessage(const wchar_t* caption, const wchar_t* text);      // modal, OK only

// Used by the window procedure and the control services.
void PostEvent(std::int64_t code, std::int64_t control, std::int64_t window, std::int64_t type);
void DropControlEvents(std::int64_t control);  // a destroyed control's queued activations
void ForgetWindow(std::int64_t window);        // a destroyed window's events and bindings

// ---- Start-up and shutdown ------------------------------------------------------------------
extern void* ApplicationIcon;  // icon resource 1 of the executable
extern void* ArrowCursor;
extern void* DefaultGuiFont;  // the stock DEFAULT_GUI_FONT, never rescaled

void PrepareEnvironment();  // error mode, heaps, icon, cursor, font, common controls, COM
void ReleaseEnvironment();  // the icon, then the heaps whole; the process ends right after

}  // namespace runtime
