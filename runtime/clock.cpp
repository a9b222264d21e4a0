// The clock: whole milliseconds from the performance counter, and delays.
#include "runtime/clock_calls.h"
#include "runtime/runtime.h"

namespace runtime {

ClockCallTable ClockCalls = {QueryPerformanceFrequency, QueryPerformanceCounter, GetTickCount, Sleep, timeBeginPeriod};

std::int64_t TicksPerMs = 0;
std::int64_t CounterBase = 0;
std::int64_t TimerResolutionSet = 0;

void DelayMs(std::int64_t ms) {
  if (TimerResolutionSet == 0) {
    (void)ClockCalls.timeBeginPeriod(1);  // kept until the process ends
    TimerResolutionSet = 1;
  }
  ClockCalls.sleep(ms > 0 ? static_cast<DWORD>(ms) : 0);
}

std::int64_t ElapsedMs() {
  LARGE_INTEGER value;
  if (TicksPerMs == 0 && ClockCalls.queryPerformanceFrequency(&value)) {
    TicksPerMs = value.QuadPart / 1000;
    (void)ClockCalls.queryPerformanceCounter(&value);
    CounterBase = value.QuadPart;
  }
  if (TicksPerMs == 0) return static_cast<std::int64_t>(ClockCalls.getTickCount());
  (void)ClockCalls.queryPerformanceCounter(&value);
  return (value.QuadPart - CounterBase) / TicksPerMs;
}

std::uint32_t TickCountMs() { return ClockCalls.getTickCount(); }

}  // namespace runtime
