// What the event pump shares with the control services: the window whose keyboard accelerators
// it applies, and the message box call that tests may replace.
#pragma once

#include <windows.h>

namespace runtime {

void SetPumpWindow(HWND window, HACCEL accelerators);   // null, null when the window is gone

extern decltype(&MessageBoxW) MessageBoxCall;   // the real MessageBoxW unless a test replaces it

}  // namespace runtime
