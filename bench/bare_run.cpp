// The bare request loop through a whole run, for the whole-run check (scripts/bench.sh whole): in
// the current directory of the drive given, the old test file removed and the same settle delay
// as the program's, then 50 passes of 50 bare cycles (bench/bare_cycle.h), each pass timed with
// the program's own clock, and their mean taken as the program takes its score. Prints
// "result: bare SCORE MEAN" (the score in whole ms; the mean pass time in us).
// usage: bare_run root-of-drive   e.g. bare_run m:\   (exit code 1 when the drive cannot be used)
#include <windows.h>

#include <cstdio>

#include "bench/bare_cycle.h"
#include "engine/engine.h"
#include "runtime/runtime.h"

int main(int argc, char** argv) {
  if (argc != 2 || !SetCurrentDirectoryA(argv[1])) {
    std::printf("usage: bare_run root-of-drive (one that exists)\n");
    return 1;
  }
  char line[123];
  for (int i = 0; i < 123; ++i) line[i] = static_cast<char>(engine::PatternLine[i]);
  (void)engine::ForceDelete(engine::TestFileName);
  runtime::DelayMs(1062);  // the program's settle delay, which also sets the 1 ms timer resolution
  LARGE_INTEGER frequency, begun, ended;
  QueryPerformanceFrequency(&frequency);
  std::int64_t sum = 0;
  QueryPerformanceCounter(&begun);
  for (std::int64_t pass = 0; pass < engine::PassesPerRun; ++pass) {
    const std::int64_t startMs = runtime::ElapsedMs();
    for (std::int64_t cycle = 0; cycle < engine::CyclesPerPass; ++cycle) bench::BareCycle(bench::PlatformCalls, line);
    sum += runtime::ElapsedMs() - startMs;
  }
  QueryPerformanceCounter(&ended);
  const double meanUs = static_cast<double>(ended.QuadPart - begun.QuadPart) * 1e6 /
                        static_cast<double>(frequency.QuadPart) / static_cast<double>(engine::PassesPerRun);
  std::printf("result: bare %lld %.0f\n", static_cast<long long>(sum / engine::PassesPerRun), meanUs);
  return 0;
}
