// How much of a pass time is the program's own: alternates rounds of (A) the program's write/verify
// cycle exactly as a pass runs it (reversals, comparisons, counters, status refreshes, the file
// operations) and (B) the same platform requests in the tightest loop we can write, on one drive
// in one process, and prints per-cycle medians and their ratio A/B.
// usage: overhead_bench [root-of-drive [rounds [cycles-per-round]]]   e.g. overhead_bench m:\ 30 10
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <windows.h>

#include "engine/engine.h"
#include "runtime/runtime.h"
#include "ui/ui.h"

namespace {

double NowUs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

// (B): create, 200 writes of 123 and 2 bytes, close, open, 12,500 one-byte reads, close, and the
// three delete attempts, with nothing in between.
void DirectCycle(const char* line) {
  static const char terminator[2] = {'\r', '\n'};
  DWORD done = 0;
  HANDLE file = CreateFileW(L"tfile.frl", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  for (int i = 0; i < 100; ++i) {
    WriteFile(file, line, 123, &done, nullptr);
    WriteFile(file, terminator, 2, &done, nullptr);
  }
  CloseHandle(file);
  file = CreateFileW(L"tfile.frl", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  char byte;
  for (int i = 0; i < 12500; ++i) ReadFile(file, &byte, 1, &done, nullptr);
  CloseHandle(file);
  for (int i = 0; i < 3; ++i) {
    SetFileAttributesW(L"tfile.frl", FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(L"tfile.frl");
  }
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* root = argc > 1 ? argv[1] : "m:\\";
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 30;
  const int cycles = argc > 3 ? std::atoi(argv[3]) : 10;
  if (!SetCurrentDirectoryA(root)) {
    std::printf("cannot use %s\n", root);
    return 1;
  }
  // The real window, so that the status refreshes cost what they cost in the program.
  ui::StartProgram();

  char line[124];
  for (int i = 0; i < 123; ++i) line[i] = static_cast<char>(engine::PatternLine[i]);

  std::vector<double> own, direct;
  for (int round = 0; round < rounds; ++round) {
    double start = NowUs();
    for (int c = 0; c < cycles; ++c)
      if (!engine::RunCycle(ui::MainWindowView)) {
        std::printf("the cycle ended the run (a fault on %s?)\n", root);
        return 1;
      }
    own.push_back((NowUs() - start) / cycles);
    engine::CyclesInPass = 0;
    runtime::DrainEvents();   // between passes in the program too: outside the timing
    start = NowUs();
    for (int c = 0; c < cycles; ++c) DirectCycle(line);
    direct.push_back((NowUs() - start) / cycles);
  }
  const double a = Median(own), b = Median(direct);
  std::printf("drive %s: %d rounds of %d cycles each way\n", root, rounds, cycles);
  std::printf("A program cycle  median %.0f us (min %.0f, max %.0f)\n", a, *std::min_element(own.begin(), own.end()),
              *std::max_element(own.begin(), own.end()));
  std::printf("B direct cycle   median %.0f us (min %.0f, max %.0f)\n", b,
              *std::min_element(direct.begin(), direct.end()), *std::max_element(direct.begin(), direct.end()));
  std::printf("A/B %.4f\n", a / b);
  ui::DestroyMainWindow();
  return 0;
}
