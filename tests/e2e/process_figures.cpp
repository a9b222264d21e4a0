// What the program holds, read from outside the program; see e2e_fixture.h.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <utility>
#include <vector>

#include "e2e_fixture.h"

namespace e2e {
namespace {

using QuerySystem = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
using QueryProcess = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);

template <typename Call>
Call FromNtdll(const char* name) {
  return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// SystemExtendedHandleInformation (64): one entry per open handle of every process.
struct HandleEntry {
  void* object;
  ULONG_PTR processId, handle;
  ULONG access;
  USHORT backTrace, typeIndex;
  ULONG attributes, reserved;
};

std::int64_t KernelHandles(DWORD processId) {
  const QuerySystem query = FromNtdll<QuerySystem>("NtQuerySystemInformation");
  if (query == nullptr) return -1;
  std::vector<char> buffer(1 << 20);
  ULONG needed = 0;
  LONG status = 0;
  while ((status = query(64, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
         static_cast<LONG>(0xC0000004))   // STATUS_INFO_LENGTH_MISMATCH
    buffer.resize(buffer.size() * 2);
  if (status != 0) return -1;
  const ULONG_PTR count = *reinterpret_cast<const ULONG_PTR*>(buffer.data());
  const HandleEntry* entries = reinterpret_cast<const HandleEntry*>(buffer.data() + 2 * sizeof(ULONG_PTR));
  std::int64_t owned = 0;
  for (ULONG_PTR i = 0; i < count; ++i)
    if (entries[i].processId == processId) ++owned;
  return owned;
}

// The GDI handle table that the process environment block points at (GdiSharedHandleTable, at
// 0xF8 on x64): 65,536 entries of 24 bytes, the object type at byte 14, the stock mark in bit 7 of
// byte 12. Wine gives each process its own table; it is counted where GetGuiResources is missing.
std::int64_t GdiObjects(HANDLE process) {
  const QueryProcess query = FromNtdll<QueryProcess>("NtQueryInformationProcess");
  PROCESS_BASIC_INFORMATION basic = {};
  ULONG size = 0;
  if (query == nullptr || query(process, ProcessBasicInformation, &basic, sizeof basic, &size) != 0) return -1;
  ULONG64 table = 0;
  SIZE_T read = 0;
  if (!ReadProcessMemory(process, static_cast<char*>(static_cast<void*>(basic.PebBaseAddress)) + 0xF8, &table,
                         sizeof table, &read) ||
      table == 0)
    return -1;
  constexpr std::size_t Entries = 0x10000, EntryBytes = 24;
  std::vector<unsigned char> entries(Entries * EntryBytes);
  if (!ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(), entries.size(), &read)) return -1;
  std::int64_t live = 0;
  for (std::size_t i = 0; i < Entries; ++i) {
    const unsigned char* entry = entries.data() + i * EntryBytes;
    if (entry[14] != 0 && (entry[12] & 0x80) == 0) ++live;
  }
  return live;
}

// Counts the windows, at any depth, of the process whose id comes first in the pair.
BOOL CALLBACK CountWindow(HWND window, LPARAM context) {
  auto& count = *reinterpret_cast<std::pair<DWORD, std::int64_t>*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == count.first) count.second += 1;
  return TRUE;
}

}  // namespace

ProcessFigures ReadFigures(const Program& program) {
  ProcessFigures figures;
  figures.handles = KernelHandles(program.processId);
  figures.gdiObjects = GdiObjects(program.process);
  std::pair<DWORD, std::int64_t> windows = {program.processId, 0};
  EnumChildWindows(GetDesktopWindow(), CountWindow, reinterpret_cast<LPARAM>(&windows));
  figures.windows = windows.second;
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(program.process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
    figures.privateBytes = static_cast<std::int64_t>(memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage);
  return figures;
}

}  // namespace e2e
