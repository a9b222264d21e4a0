// Runtime services: private heaps, texts, numbers and the clock.
#pragma once

#include <cstddef>
#include <cstdint>
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
void DestroyHeaps();   // texts, then tables; only right before the process ends

template <class T, std::int64_t Heap>
struct HeapAllocator {
  using value_type = T;
  template <class U> struct rebind { using other = HeapAllocator<U, Heap>; };
  HeapAllocator() = default;
  template <class U> HeapAllocator(const HeapAllocator<U, Heap>&) {}
  T* allocate(std::size_t n) { return static_cast<T*>(AllocateBlock(Heap, n * sizeof(T))); }
  void deallocate(T* p, std::size_t) { FreeBlock(Heap, p); }
  template <class U> bool operator==(const HeapAllocator<U, Heap>&) const { return true; }
  template <class U> bool operator!=(const HeapAllocator<U, Heap>&) const { return false; }
};

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

void DelayMs(std::int64_t ms);   // the first call requests the 1 ms resolution for good
std::int64_t ElapsedMs();        // whole ms since the first call; GetTickCount without a counter

}  // namespace runtime
