// The platform calls of the clock that tests replace, to count or script them. Each field is named
// as the call it stands for; the record holds the real calls unless a test puts its own.
#pragma once

#include <windows.h>

#include <mmsystem.h>

namespace runtime {

struct ClockCallTable {
  decltype(&QueryPerformanceFrequency) queryPerformanceFrequency;
  decltype(&QueryPerformanceCounter) queryPerformanceCounter;
  decltype(&GetTickCount) getTickCount;
  decltype(&Sleep) sleep;
  decltype(&timeBeginPeriod) timeBeginPeriod;
};

extern ClockCallTable ClockCalls;  // defined in clock.cpp

}  // namespace runtime
