// What the event pump shares with the control services: the window whose keyboard accelerators
// it applies; and the platform calls that tests may replace: the wait for a message, the message box.
#pragma once

#include <windows.h>

namespace runtime {

void SetPumpWindow(HWND window, HACCEL accelerators);   // null, null when the window is gone

extern decltype(&GetMessageW) GetMessageCall;   // the real GetMessageW unless a test replaces it
extern decltype(&MessageBoxW) MessageBoxCall;   // the real MessageBoxW unless a test replaces it

}  // namespace runtime
