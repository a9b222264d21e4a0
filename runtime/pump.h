// What the event pump shares with the control services: the window whose keyboard accelerators
// it applies.
#pragma once

#include <windows.h>

namespace runtime {

void SetPumpWindow(HWND window, HACCEL accelerators);  // null, null when the window is gone

}  // namespace runtime
