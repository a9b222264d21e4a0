// The clock: whole milliseconds from the performance counter, and delays.
#include "runtime/clock_calls.h"
#include "runtime/runtime.h"

#include <mmsystem.h>

namespace runtime {

ClockCalls Clock = {QueryPerformanceFrequency, QueryPerformanceCounter, GetTickCount, Sleep,
                    timeBeginPeriod};

std::int64_t TicksPerMs = 0;
std::int64_t CounterBase = 0;
std::int64_t TimerResolutionSet = 0;

void DelayMs(std::int64_t ms) {
  if (TimerResolutionSet == 0) {
    (void)Clock.beginPeriod(1);   // kept until the process ends
    TimerResolutionSet = 1;
  }
  Clock.sleep(ms > 0 ? static_cast<DWORD>(ms) : 0);
}

std::int64_t ElapsedMs() {
  LARGE_INTEGER value;
  if (TicksPerMs == 0 && Clock.queryFrequency(&value)) {
    TicksPerMs = value.QuadPart / 1000;
    (void)Clock.queryCounter(&value);
    CounterBase = value.QuadPart;
  }
  if (TicksPerMs == 0) return static_cast<std::int64_t>(Clock.tickCount());
  (void)Clock.queryCounter(&value);
  return (value.QuadPart - CounterBase) / TicksPerMs;
}

}  // namespace runtime
