// The platform calls of drive discovery, replaceable by tests that must answer them.
#pragma once

#include <windows.h>

namespace drives {

struct DriveCalls {
  decltype(&GetLogicalDriveStringsW) logicalDriveStrings;
  decltype(&GetDriveTypeW) driveType;
  decltype(&GetVolumeInformationW) volumeInformation;
};

extern DriveCalls Calls;   // the real calls unless a test replaces them

}  // namespace drives
