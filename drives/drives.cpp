// Drive discovery through the logical drive strings.
#include "drives/drives.h"

#include "drives/drive_calls.h"

namespace drives {

DriveCallTable DriveCalls = {GetLogicalDriveStringsW, GetDriveTypeW, GetVolumeInformationW};

DriveInfoList& DriveList = runtime::Lasting<DriveInfoList>();
std::int64_t DriveCount = 0;
runtime::Text (&DriveRoots)[DriveRootEntries] = runtime::Lasting<runtime::Text[DriveRootEntries]>();

namespace {

constexpr std::int64_t EntryUnits = 4;  // letter, colon, backslash, zero
constexpr std::int64_t LabelUnits = 260;

bool IsLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// The drive strings and the number of their complete entries. A drive added between the size
// query and the read makes the read report a larger size and fill nothing: ask again then.
std::int64_t QueryDriveStrings(runtime::Text& buffer) {
  std::int64_t written = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD length = DriveCalls.getLogicalDriveStrings(0, nullptr);
    buffer = runtime::SpaceText(length);
    written = DriveCalls.getLogicalDriveStrings(length, buffer.data());
    if (written < static_cast<std::int64_t>(length)) break;
  }
  return CompleteRoots(buffer.data(), static_cast<std::int64_t>(buffer.size()), written);
}

}  // namespace

std::int64_t CompleteRoots(const wchar_t* buffer, std::int64_t capacity, std::int64_t written) {
  const std::int64_t limit = written < capacity ? written : capacity;
  std::int64_t entries = 0;
  for (const wchar_t* at = buffer; (entries + 1) * EntryUnits <= limit; at += EntryUnits, ++entries) {
    if (!IsLetter(at[0]) || at[1] != L':' || at[2] != L'\\' || at[3] != 0) break;
  }
  return entries;
}

std::int64_t CountDrives() {
  runtime::Text buffer;
  return QueryDriveStrings(buffer);
}

void EnumerateDrives() {
  DriveList.clear();
  runtime::Text buffer;
  const std::int64_t entries = QueryDriveStrings(buffer);
  for (std::int64_t k = 0; k < entries; ++k) {
    DriveInfo drive{runtime::LowerText(runtime::TextFromBuffer(buffer.data() + k * EntryUnits, 3)), 0, {}};
    drive.DriveType = static_cast<std::int32_t>(DriveCalls.getDriveType(drive.RootPath.c_str()));
    if (drive.DriveType == DRIVE_FIXED) {  // other drives are not touched beyond the type query
      runtime::Text label = runtime::SpaceText(LabelUnits);
      if (DriveCalls.getVolumeInformation(drive.RootPath.c_str(), label.data(), LabelUnits, nullptr, nullptr, nullptr,
                                          nullptr, 0))
        drive.VolumeLabel = runtime::TextFromBuffer(label.data(), LabelUnits);
    }
    DriveList.push_back(drive);
  }
}

void FillDriveRoots() {
  std::int64_t j = 0;
  for (const DriveInfo& drive : DriveList) {
    if (j == DriveRootEntries) break;
    DriveRoots[j++] = drive.RootPath;
  }
}

}  // namespace drives
