// Drive discovery: the logical drives, their roots, types and labels.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/runtime.h"

namespace drives {

constexpr std::int64_t DriveRootEntries = 51;  // Windows reports at most 26 drive letters

struct DriveInfo {
  runtime::Text RootPath;     // lower-case letter, colon, backslash
  std::int32_t DriveType;     // GetDriveTypeW: 2 removable, 3 fixed, 4 network, 5 optical, 6 RAM
  runtime::Text VolumeLabel;  // read for fixed drives only; empty otherwise
};

using DriveInfoList = std::vector<DriveInfo, runtime::HeapAllocator<DriveInfo, runtime::TableHeap>>;

extern DriveInfoList& DriveList;                       // in drive-letter order
extern std::int64_t DriveCount;                        // drives found by CountDrives
extern runtime::Text (&DriveRoots)[DriveRootEntries];  // entry i: root of the i-th drive, or empty

std::int64_t CountDrives();
void EnumerateDrives();  // empties DriveList and fills it anew
void FillDriveRoots();   // DriveList's roots into DriveRoots, from entry 0

// Entries at the start of a drive-strings buffer that are complete roots ("c:\" and a zero);
// `written` is the units the platform says it wrote, trusted only as far as `capacity`.
std::int64_t CompleteRoots(const wchar_t* buffer, std::int64_t capacity, std::int64_t written);

}  // namespace drives
