// Long use of one program; under Wine also under the file watch (watch-files.sh). Early in a first, complete run this
// process holds the test file for 300 ms, as a virus scanner might: the run goes on to green, its score and counts, and
// leaves nothing on the drive nor any hold on it. Runs stopped after a pass on m:, on each Windows filesystem mounted
// through FUSE and on m: again leave what the program holds, read from outside, flat from the first stopped run to the
// last.
#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "e2e_fixture.h"

namespace {

// GDI objects by GetGuiResources; it counts nothing under Wine, so there the live, non-stock entries
// of the GDI handle table that the process environment block points at (at 0xF8 on x64), 65,536
// entries of 24 bytes, the object type at byte 14, the stock mark in bit 7 of byte 12.
std::int64_t GdiObjects(HANDLE process) {
  if (const DWORD counted = GetGuiResources(process, GR_GDIOBJECTS)) return counted;
  PROCESS_BASIC_INFORMATION basic = {};
  ULONG64 table = 0;
  std::vector<unsigned char> entries(0x10000 * 24);
  if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
      !ReadProcessMemory(process, reinterpret_cast<char*>(basic.PebBaseAddress) + 0xF8, &table, sizeof table,
                         nullptr) ||
      !ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(), entries.size(), nullptr))
    return -1;
  std::int64_t live = 0;
  for (std::size_t at = 0; at < entries.size(); at += 24)
    live += entries[at + 14] != 0 && (entries[at + 12] & 0x80) == 0;
  return live;
}

// Kernel handles, GDI objects, windows at any depth and private bytes (PagefileUsage under Wine,
// where PrivateUsage is 0); 0 or -1 for one that could not be read.
std::vector<std::int64_t> Held(const Program& program) {
  std::pair<DWORD, std::int64_t> windows = {program.processId, 0};
  EnumChildWindows(
      GetDesktopWindow(),
      [](HWND window, LPARAM context) -> BOOL {
        auto& count = *reinterpret_cast<std::pair<DWORD, std::int64_t>*>(context);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        count.second += owner == count.first;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  std::vector<ULONG_PTR> handles;
  const std::int64_t kernel = HandlesOf(program.processId, handles) ? std::ssize(handles) : -1;
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  (void)GetProcessMemoryInfo(program.process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  return {kernel, GdiObjects(program.process), windows.second,
          static_cast<std::int64_t>(memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage)};
}

}  // namespace

class Soak : public Ferrulon {
  std::string FaultSettings() const override { return "/tfile.frl count"; }  // on every drive
};

TEST_F(Soak, ACompleteRunThenStoppedRunsOnEveryFilesystemKeepWhatTheProgramHoldsFlat) {
  const auto started = Held(program_);
  ASSERT_TRUE(StartRun(program_, L'm', why_)) << Seen();
  bool held = false;  // the file caught between two of the program's own opens, and held
  for (const ULONGLONG until = GetTickCount64() + 30000; !held && GetTickCount64() < until;) {
    HANDLE file = CreateFileW(TestFileOn(L'm').c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) continue;
    Sleep(300);
    held = CloseHandle(file) != FALSE;
  }
  EXPECT_TRUE(held) << "the test file was held for 300 ms";
  EXPECT_GE(HandlesOnDrive(program_, L'm'), 1) << "a run holds its drive: its current directory";

  bool hung = false;  // at any poll of the run: a pass that asked for no message for 5 s
  const std::wstring verdict =
      WaitForVerdict(program_, 900000, why_, [&](int) { hung = hung || IsHungAppWindow(program_.window); });
  ASSERT_EQ(Utf8(verdict), Utf8(ui::PassedVerdict)) << Seen();
  EXPECT_FALSE(hung) << "Windows would have ghosted the window as not responding";
  ASSERT_TRUE(WaitForVerdictShown(program_, verdict, why_)) << "green, Start enabled, the bar full: " << Seen();
  // What the user reads at the end, on Windows too: the score in whole milliseconds.
  const std::wstring score = TextOf(Control(ui::ScoreText));
  EXPECT_TRUE(!score.empty() && score.size() <= 6 && score.find_first_not_of(L"0123456789") == std::wstring::npos)
      << "the score, whole milliseconds: " << Utf8(score);
  EXPECT_FALSE(PathExists(TestFileOn(L'm'))) << "the complete run's tfile.frl is removed";
  EXPECT_EQ(HandlesOnDrive(program_, L'm'), 0) << "the complete run's drive is let go";

  ASSERT_TRUE(StartRun(program_, L'm', why_)) << Seen();
  ASSERT_NO_FATAL_FAILURE(StopAfterAPass(L'm'));
  const auto warm = Held(program_);
  std::istringstream each(EnvironmentValue(L"FERRULON_FS_DRIVES") + " m:");  // "d:ntfs e:exfat f:fat32 m:"
  for (std::string drive; each >> drive;) {
    ASSERT_TRUE(StartRun(program_, drive[0], why_)) << Seen();
    ASSERT_NO_FATAL_FAILURE(StopAfterAPass(drive[0]));
  }
  const auto last = Held(program_);
  ASSERT_TRUE(std::min({warm[0], warm[1], warm[2] - 1, warm[3]}) > 0) << "the figures could be read";
  EXPECT_EQ((std::vector<std::int64_t>{last[0], last[1], last[2], started[2]}),
            (std::vector<std::int64_t>{warm[0], warm[1], warm[2], warm[2]}))
      << "kernel handles, GDI objects and windows after the first stopped run; windows at start-up";
  // Heap pages touched late may add a little; a leak of one test file's text per cycle, over 600 KB a pass.
  EXPECT_LE(last[3] - warm[3], 512 * 1024) << "private bytes";
  CloseExpectingExitCode0();
  if (!UnderWine()) GTEST_SKIP() << "the request counts need the fault library, under Wine only";
  // Every file written in 200 requests (100 lines of 123 bytes, each with its CR LF) and read back
  // one byte a request: nothing buffers, joins or splits them on the way to the drive. The complete
  // run read back 2,500 files, each stopped run whole passes of 50.
  long reads = 0, bytes1 = 0, writes = 0, passes = 0, written = 0;
  ASSERT_EQ(std::sscanf(RequestLog().c_str(), "reads %ld bytes1 %ld writes %ld passes %ld written %ld", &reads, &bytes1,
                        &writes, &passes, &written),
            5);
  EXPECT_TRUE(passes >= 2600 && passes % 50 == 0) << passes << " read-backs";
  EXPECT_EQ((std::vector<long>{reads, bytes1, writes, written}),
            (std::vector<long>{12500 * passes, 12500 * passes, 200 * passes, 12500 * passes}));
}
