// How much of a pass time is the program's own. Alternates rounds of (A) the program's write/verify
// cycle exactly as a pass runs it (reversals, comparisons, counters, the look at the window's
// queue, the file operations) and (B) the same platform requests in the tightest loop we can write
// (bench/bare_cycle.h), on one drive in one process, and prints per-cycle medians and their ratio
// A/B. Then, in the same rounds, what each piece of the program's own work costs per cycle:
//  - the look at the window's queue, and a PeekMessage, the call it makes when one is due;
//  - a status-bar refresh (three fields every 32nd cycle), which the run makes inside the pass;
//  - the lines' text work (reversal, UTF-8 forms, the lines read back and their comparison) and
//    the reading loop's own bookkeeping, over an in-memory file that costs next to nothing, less
//    the same requests made to it by the bare loop.
// usage: overhead_bench [root-of-drive [rounds [cycles-per-round]]]   e.g. overhead_bench m:\ 30 10
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "bench/bare_cycle.h"
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

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// ---- An in-memory test file whose requests cost next to nothing ------------------------------
std::string Stored;
std::size_t At;
bool Exists;
HANDLE const MemoryHandle = reinterpret_cast<HANDLE>(0x5EED);

HANDLE WINAPI MemoryCreate(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD, HANDLE) {
  if (disposition == OPEN_EXISTING && !Exists) return SetLastError(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
  if (disposition != OPEN_EXISTING) Stored.clear(), Exists = true;
  At = 0;
  return MemoryHandle;
}
BOOL WINAPI MemoryWrite(HANDLE, LPCVOID data, DWORD n, LPDWORD done, LPOVERLAPPED) {
  Stored.append(static_cast<const char*>(data), n);
  *done = n;
  return TRUE;
}
BOOL WINAPI MemoryRead(HANDLE, LPVOID into, DWORD n, LPDWORD done, LPOVERLAPPED) {
  n = static_cast<DWORD>(std::min<std::size_t>(n, Stored.size() - At));
  std::memcpy(into, Stored.data() + At, n);
  At += n;
  *done = n;
  return TRUE;
}
DWORD WINAPI MemorySeek(HANDLE, LONG distance, PLONG, DWORD) { return static_cast<DWORD>(At += distance); }
BOOL WINAPI MemoryClose(HANDLE) { return TRUE; }
BOOL WINAPI MemoryAttributes(LPCWSTR, DWORD) { return Exists; }
BOOL WINAPI MemoryDelete(LPCWSTR) { return std::exchange(Exists, false); }
const engine::FileCallTable MemoryCalls = {MemoryCreate, MemoryWrite,      MemoryRead,  MemorySeek,
                                           MemoryClose,  MemoryAttributes, MemoryDelete};

// The run without a window: nothing shown, no look at a queue.
const engine::RunView QuietView = {[] {},
                                   [] {},
                                   [](std::int64_t, std::int64_t) {},
                                   [](std::int64_t) {},
                                   [] {},
                                   [](const runtime::Text&) {},
                                   [] {},
                                   [](std::int64_t) {},
                                   [] {},
                                   [] {}};

// Microseconds per call of `work`, made `times` times.
template <class Work>
double PerCall(int times, Work work) {
  const double start = NowUs();
  for (int i = 0; i < times; ++i) work();
  return (NowUs() - start) / times;
}

// What the program writes and reads in one cycle, over the in-memory file: the write side is the
// lines' text work with their 200 writes, the read side the reading loop, the lines' UTF-16 forms
// and their comparison with their 12,500 reads; the bare phases make the same requests.
double ProgramWriteLines() {
  engine::UnbufferedTextFile file{};
  const double start = NowUs();
  (void)engine::CreateForWriting(file, engine::TestFileName);
  for (std::int64_t i = 0; i < engine::LinesPerFile; ++i) engine::WriteLine(file, engine::PatternTable[i]);
  engine::Close(file);
  return NowUs() - start;
}
double ProgramReadLines() {
  engine::UnbufferedTextFile file{};
  std::int64_t equal = 0;
  const double start = NowUs();
  (void)engine::OpenForReading(file, engine::TestFileName);
  for (std::int64_t i = 0; i < engine::LinesPerFile; ++i) {
    engine::ReadLine(file, engine::ReadBackTable[i]);
    equal += runtime::TextEquals(engine::ReadBackTable[i], engine::PatternTable[i]);
  }
  engine::Close(file);
  const double spent = NowUs() - start;
  if (equal != engine::LinesPerFile) std::printf("the in-memory file read back wrong\n");
  return spent;
}

struct Piece {
  std::vector<double> us{};  // one figure a round
  double Us() const { return Median(us); }
};

}  // namespace

int main(int argc, char** argv) {
  const char* root = argc > 1 ? argv[1] : "m:\\";
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 30;
  const int cycles = argc > 3 ? std::atoi(argv[3]) : 10;
  if (!SetCurrentDirectoryA(root)) {
    std::printf("cannot use %s\n", root);
    return 1;
  }
  // The real window, so that the look at its queue and the status refreshes cost what they cost in
  // the program.
  ui::StartProgram();
  const engine::RunView& view = ui::MainWindowView(L"");  // the cycles never show the drive

  char line[124];
  for (int i = 0; i < 123; ++i) line[i] = static_cast<char>(engine::PatternLine[i]);

  std::vector<double> own, direct;
  Piece peek{}, look{}, refresh{}, memoryOwn{}, writeLines{}, readLines{}, rest{};
  bool ended = false;
  const auto programCycles = [&] {
    const double start = NowUs();
    for (int c = 0; c < cycles && !ended; ++c) ended = !engine::RunCycle(view);
    own.push_back((NowUs() - start) / cycles);
    engine::CyclesInPass = 0;
    runtime::DrainEvents();
  };
  const auto bareCycles = [&] {
    const double start = NowUs();
    for (int c = 0; c < cycles; ++c) bench::BareCycle(bench::PlatformCalls, line);
    direct.push_back((NowUs() - start) / cycles);
  };
  for (int round = 0; round < rounds; ++round) {
    // A first in one round, B first in the next: neither always follows the pieces below.
    if (round % 2 == 0)
      programCycles(), bareCycles();
    else
      bareCycles(), programCycles();
    if (ended) {
      std::printf("the cycle ended the run (a fault on %s?)\n", root);
      return 1;
    }

    peek.us.push_back(PerCall(200, [] {
      MSG message;
      (void)PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD);
    }));
    look.us.push_back(PerCall(200, runtime::StayResponsive));
    std::int64_t n = 0;
    refresh.us.push_back(PerCall(30, [&n, &view] {
      n += 1;
      view.countRefreshed(n % 3, 12300 * n);
    }));
    runtime::DrainEvents();

    const engine::FileCallTable platform = std::exchange(engine::FileCalls, MemoryCalls);
    const double programCycle = PerCall(cycles, [] { (void)engine::RunCycle(QuietView); });
    // The bare loop reaches the in-memory file through the same table as the program, so that
    // neither makes a call the other does not.
    const double bareCycle = PerCall(cycles, [&line] { bench::BareCycle(engine::FileCalls, line); });
    bench::BareWritePhase(engine::FileCalls, line);
    double bareWrite = 0, bareRead = 0, programWrite = 0, programRead = 0;
    for (int c = 0; c < cycles; ++c) {
      programWrite += ProgramWriteLines();
      programRead += ProgramReadLines();
      bareWrite += PerCall(1, [&line] { bench::BareWritePhase(engine::FileCalls, line); });
      bareRead += PerCall(1, [] { bench::BareReadPhase(engine::FileCalls); });
    }
    engine::FileCalls = platform;
    engine::CyclesInPass = 0;
    memoryOwn.us.push_back(programCycle - bareCycle);
    writeLines.us.push_back((programWrite - bareWrite) / cycles);
    readLines.us.push_back((programRead - bareRead) / cycles);
    rest.us.push_back(memoryOwn.us.back() - writeLines.us.back() - readLines.us.back());
  }
  const double a = Median(own), b = Median(direct);
  std::printf("drive %s: %d rounds of %d cycles each way\n", root, rounds, cycles);
  std::printf("A program cycle  median %.0f us (min %.0f, max %.0f)\n", a, *std::min_element(own.begin(), own.end()),
              *std::max_element(own.begin(), own.end()));
  std::printf("B direct cycle   median %.0f us (min %.0f, max %.0f)\n", b,
              *std::min_element(direct.begin(), direct.end()), *std::max_element(direct.begin(), direct.end()));
  // Each round's A against the B of the same round: paired, so that what else the machine does at
  // that moment weighs on both; on a shared machine this median moves less than the one above.
  std::vector<double> paired;
  for (std::size_t i = 0; i < own.size(); ++i) paired.push_back(own[i] / direct[i]);
  // Other work on the machine only ever adds time: the quickest rounds come closest to a quiet one.
  const double quickest = *std::min_element(own.begin(), own.end()) / *std::min_element(direct.begin(), direct.end());
  std::printf("A/B %.4f (ratio of the medians); %.4f (median of the rounds' ratios); %.4f (of the quickest)\n", a / b,
              Median(paired), quickest);
  // In a pass the look reads the tick count each cycle and calls PeekMessage once in LookIntervalMs.
  const double lookPerCycle = look.Us() + peek.Us() * b / (runtime::LookIntervalMs * 1000.0);
  std::printf("the program's own work per cycle, medians of %d rounds (us):\n", rounds);
  std::printf("  in the pass: the look at the window's queue (every %lld ms)     %8.2f\n",
              static_cast<long long>(runtime::LookIntervalMs), lookPerCycle);
  std::printf("  in the pass: own work beside the window (in-memory file)   %8.2f\n", memoryOwn.Us());
  std::printf("    lines written: their UTF-8 form                          %8.2f\n", writeLines.Us());
  std::printf("    lines read: the reading loop, UTF-16 forms, comparisons  %8.2f\n", readLines.Us());
  std::printf("    the rest: reversals, counters, delete loops               %8.2f\n", rest.Us());
  std::printf("  in the pass: status refreshes, 3 in 32 cycles              %8.2f   (%.0f us each)\n",
              refresh.Us() * 3 / 32, refresh.Us());
  std::printf("  for comparison, a PeekMessage in every cycle               %8.2f\n", peek.Us());
  ui::DestroyMainWindow();
  return 0;
}
