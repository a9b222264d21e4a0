// Long use of one program: a complete run, then three runs stopped after a pass, each followed by
// Store score. What the program holds, read from outside after the first stopped run and again after
// the third, in the same window state, must stay flat. About a minute and a half; run under the file
// watch (watch-files.sh), not on its own.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <vector>

#include "e2e_fixture.h"

namespace {

constexpr wchar_t SoakLetter = L'n';
// Private bytes may settle by a little (heap pages touched late); a leak of one test file's text per
// cycle would add over 600 KB per pass.
constexpr std::int64_t PrivateBytesSlack = 512 * 1024;

template <typename Call>
Call FromNtdll(const char* name) {
  return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// SystemExtendedHandleInformation (64): a count, a reserved word, then every open handle of every process.
struct HandleEntry { void* object; ULONG_PTR processId, handle; ULONG access; USHORT backTrace, typeIndex; ULONG attributes, reserved; };

std::int64_t KernelHandles(DWORD processId) {
  const auto query = FromNtdll<LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*)>("NtQuerySystemInformation");
  std::vector<char> buffer(1 << 20);
  LONG status = 0;
  while ((status = query(64, buffer.data(), static_cast<ULONG>(buffer.size()), nullptr)) == static_cast<LONG>(0xC0000004))
    buffer.resize(buffer.size() * 2);   // STATUS_INFO_LENGTH_MISMATCH
  const auto* entries = reinterpret_cast<const HandleEntry*>(buffer.data() + 2 * sizeof(ULONG_PTR));
  return status != 0 ? -1 : std::count_if(entries, entries + *reinterpret_cast<const ULONG_PTR*>(buffer.data()),
                                          [&](const HandleEntry& entry) { return entry.processId == processId; });
}

// Live, non-stock entries of the GDI handle table the process environment block points at
// (GdiSharedHandleTable, at 0xF8 on x64): 65,536 entries of 24 bytes, the object type at byte 14,
// the stock mark in bit 7 of byte 12. GetGuiResources counts nothing under Wine.
std::int64_t GdiObjects(HANDLE process) {
  PROCESS_BASIC_INFORMATION basic = {};
  ULONG64 table = 0;
  std::vector<unsigned char> entries(0x10000 * 24);
  if (FromNtdll<decltype(&NtQueryInformationProcess)>("NtQueryInformationProcess")(process, ProcessBasicInformation, &basic,
                                                                                    sizeof basic, nullptr) != 0 ||
      !ReadProcessMemory(process, static_cast<char*>(static_cast<void*>(basic.PebBaseAddress)) + 0xF8, &table,
                         sizeof table, nullptr) ||
      !ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(), entries.size(), nullptr))
    return -1;
  std::int64_t live = 0;
  for (std::size_t at = 0; at < entries.size(); at += 24) live += entries[at + 14] != 0 && (entries[at + 12] & 0x80) == 0;
  return live;
}

// Kernel handles, GDI objects, windows at any depth and private bytes (PagefileUsage under Wine,
// where PrivateUsage is 0); 0 or -1 for one that could not be read.
std::vector<std::int64_t> Figures(const Program& program) {
  std::pair<DWORD, std::int64_t> windows = {program.processId, 0};
  EnumChildWindows(GetDesktopWindow(), [](HWND window, LPARAM context) -> BOOL {
    auto& count = *reinterpret_cast<std::pair<DWORD, std::int64_t>*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    count.second += owner == count.first;
    return TRUE;
  }, reinterpret_cast<LPARAM>(&windows));
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  (void)GetProcessMemoryInfo(program.process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  return {KernelHandles(program.processId), GdiObjects(program.process), windows.second,
          static_cast<std::int64_t>(memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage)};
}

}  // namespace

using Soak = Ferrulon;

TEST_F(Soak, RunsStopsAndStoresKeepWhatTheProgramHoldsFlat) {
  // Store score makes StoredScoreText anew, showing the complete run's score.
  std::wstring score;
  const auto store = [&] {
    HWND old = Control(ui::StoredScoreText);
    ClickControl(Control(ui::StoreScoreButton));
    ASSERT_TRUE(WaitFor(program_, 15000, [&] {
      return Control(ui::StoredScoreText) != old && Text(ui::StoredScoreText) == score;
    }, why_)) << Seen();
  };
  const auto stopAndStore = [&] {
    ASSERT_NO_FATAL_FAILURE(RunOnePassAndStop(SoakLetter, TestFileOn(SoakLetter)));
    ASSERT_NO_FATAL_FAILURE(store());
  };
  const std::vector<std::int64_t> started = Figures(program_);
  ASSERT_TRUE(StartRun(program_, SoakLetter, why_)) << Seen();
  ASSERT_EQ(U8(WaitForVerdict(program_, 300000, why_)), U8(ui::PassedVerdict)) << Seen();
  ASSERT_TRUE(WaitForVerdictShown(program_, ui::PassedVerdict, why_)) << Seen();
  score = Text(ui::ScoreText);
  ASSERT_NO_FATAL_FAILURE(stopAndStore());
  const std::vector<std::int64_t> warm = Figures(program_);
  ASSERT_NO_FATAL_FAILURE(stopAndStore());
  ASSERT_NO_FATAL_FAILURE(stopAndStore());
  const std::vector<std::int64_t> last = Figures(program_);
  ASSERT_TRUE(std::min({warm[0], warm[1], warm[2] - 1, warm[3]}) > 0) << "the figures could be read";
  EXPECT_EQ((std::vector<std::int64_t>{last[0], last[1], last[2], started[2]}),
            (std::vector<std::int64_t>{warm[0], warm[1], warm[2], warm[2]}))
      << "kernel handles, GDI objects and windows after the first stopped run; windows at start-up";
  EXPECT_LE(last[3] - warm[3], PrivateBytesSlack) << "private bytes";
  CloseExpectingExitCode0();
}
