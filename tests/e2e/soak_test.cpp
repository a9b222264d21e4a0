// Long use of one program: what the window offers, then runs stopped after a pass: on a tmpfs test
// drive while another program holds the test file for a moment, on each Windows filesystem the test
// command could mount through FUSE (d: NTFS, e: exFAT, f: FAT32, as FERRULON_FS_DRIVES lists them),
// and on tmpfs again. What the program holds, read from outside after the first stopped run and
// after the last, in the same window state, must stay flat, and every file must reach its drive in
// the requests the program made. Run under the file watch (watch-files.sh), not on its own.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "e2e_fixture.h"

namespace {

constexpr wchar_t SoakLetter = L'm';
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

class Soak : public Ferrulon {
  std::string FaultSettings() const override { return Faulting("*/tfile.frl", "count"); }   // on every drive
};

// With the nine test drives the session lists more than seven drives: the window offers the first
// seven in list order, and no more. Early in the first run another program (this one) holds the
// test file for 300 ms, as a virus scanner might: the run goes on.
TEST_F(Soak, SevenSlotsThenStoppedRunsOnEveryFilesystemKeepWhatTheProgramHoldsFlat) {
  wchar_t roots[512] = {};   // "C:\", ... as the program lists them, which slots show as " c:\"
  CharLowerBuffW(roots, GetLogicalDriveStringsW(511, roots));
  std::vector<std::string> listed, shown;
  for (const wchar_t* root = roots; *root != 0; root += std::wcslen(root) + 1) listed.push_back(U8(L" " + std::wstring(root)));
  ASSERT_GE(listed.size(), 10u) << "c: and the nine test drives are listed";
  listed.resize(ui::DriveSlots);
  for (int i = 0; i <= ui::DriveSlots; ++i) {
    HWND slot = Control(ui::DriveOption0 + i);
    if (slot != nullptr) shown.push_back(U8(TextOf(slot)) + (IsShown(slot) && IsEnabledWindow(slot) ? "" : " (hidden or disabled)"));
  }
  EXPECT_EQ(shown, listed);

  const std::vector<std::int64_t> started = Figures(program_);
  ASSERT_TRUE(StartRun(program_, SoakLetter, why_)) << Seen();
  bool held = false;   // the file caught between two of the program's own opens, and held
  for (const ULONGLONG until = GetTickCount64() + 30000; !held && GetTickCount64() < until;) {
    HANDLE file = CreateFileW(TestFileOn(SoakLetter).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) held = (Sleep(300), CloseHandle(file) != FALSE);
  }
  EXPECT_TRUE(held) << "the test file was held for 300 ms";
  ASSERT_NO_FATAL_FAILURE(StopAfterAPass(TestFileOn(SoakLetter)));
  const std::vector<std::int64_t> warm = Figures(program_);
  std::string drives = EnvironmentValue(L"FERRULON_FS_DRIVES") + " ";   // "d:ntfs e:exfat f:fat32 "
  std::printf("on tmpfs and the Windows filesystems mounted: %s\n", drives.c_str());
  for (drives += std::string(1, static_cast<char>(SoakLetter)) + ": "; !drives.empty(); drives.erase(0, drives.find(' ') + 1)) {
    const std::string kind = drives.substr(2, drives.find(' ') - 2);
    ASSERT_TRUE(StartRun(program_, static_cast<wchar_t>(drives[0]), why_)) << Seen();
    ASSERT_NO_FATAL_FAILURE(StopAfterAPass(kind.empty() ? TestFileOn(SoakLetter)
                                                        : FromUnixPath(EnvironmentValue(L"FERRULON_FS_BASE") + "/" + kind + "/tfile.frl")));
  }
  const std::vector<std::int64_t> last = Figures(program_);
  ASSERT_TRUE(std::min({warm[0], warm[1], warm[2] - 1, warm[3]}) > 0) << "the figures could be read";
  EXPECT_EQ((std::vector<std::int64_t>{last[0], last[1], last[2], started[2]}),
            (std::vector<std::int64_t>{warm[0], warm[1], warm[2], warm[2]}))
      << "kernel handles, GDI objects and windows after the first stopped run; windows at start-up";
  EXPECT_LE(last[3] - warm[3], PrivateBytesSlack) << "private bytes";
  CloseExpectingExitCode0();
  if (!FaultLibraryLoaded()) GTEST_SKIP() << NoFaultLibrary << "; only the request counts are unchecked";
  // Every file written in 200 requests (100 lines of 123 bytes, each with its CR LF) and read back
  // one byte a request: nothing buffers, joins or splits them on the way to the drive. Each stopped
  // run read back whole passes of 50 files.
  long reads = 0, bytes1 = 0, writes = 0, passes = 0, written = 0;
  ASSERT_EQ(std::sscanf(RequestLog().c_str(), "reads %ld bytes1 %ld writes %ld passes %ld written %ld", &reads, &bytes1,
                        &writes, &passes, &written), 5);
  EXPECT_TRUE(passes >= 100 && passes % 50 == 0) << passes << " read-backs";
  EXPECT_EQ((std::vector<long>{reads, bytes1, writes, written}),
            (std::vector<long>{12500 * passes, 12500 * passes, 200 * passes, 12500 * passes}));
}
