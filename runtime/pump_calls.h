// The platform calls of the event pump that tests replace, to play the user: the wait for a
// message and the message box. Each field is named as the call it stands for; the record holds
// the real calls unless a test puts its own.
#pragma once

#include <windows.h>

namespace runtime {

struct PumpCallTable {
  decltype(&GetMessageW) getMessage;
  decltype(&MessageBoxW) messageBox;
};

extern PumpCallTable PumpCalls;  // defined in events.cpp

}  // namespace runtime
