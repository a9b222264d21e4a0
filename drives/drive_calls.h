// The platform calls of drive discovery that tests replace, to answer them. Each field is named as
// the call it stands for; the record holds the real calls unless a test puts its own.
#pragma once

#include <windows.h>

namespace drives {

struct DriveCallTable {
  decltype(&GetLogicalDriveStringsW) getLogicalDriveStrings;
  decltype(&GetDriveTypeW) getDriveType;
  decltype(&GetVolumeInformationW) getVolumeInformation;
};

extern DriveCallTable DriveCalls;  // defined in drives.cpp

}  // namespace drives
