// The platform calls of the clock, replaceable by tests that must count or fail them.
#pragma once

#include <windows.h>

namespace runtime {

struct ClockCalls {
  BOOL(WINAPI* queryFrequency)(LARGE_INTEGER*);
  BOOL(WINAPI* queryCounter)(LARGE_INTEGER*);
  DWORD(WINAPI* tickCount)();
  void(WINAPI* sleep)(DWORD);
  UINT(WINAPI* beginPeriod)(UINT);
};

extern ClockCalls Clock;   // the real calls unless a test replaces them

}  // namespace runtime
