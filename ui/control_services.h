// What the files of the control services share among themselves, and nobody else sees: the main
// window, the registry's answers to the window procedure, and the status bar's layout.
#pragma once

#include <windows.h>

#include <cstdint>

namespace ui {

extern HWND MainWindow;  // the parent of every control; null before it opens and once it is gone

// The registry (controls.cpp).
std::int64_t FreshNumber();  // unequal to every number in use
void EndOptionGroup();       // the next option button starts a group of its own
// For a text control with a background colour of its own: that colour as the DC's background,
// and the control's brush to paint with. False for any other window.
bool OwnBackground(HWND control, HDC dc, HBRUSH& brush);

// The status bar (status_bar.cpp).
void LayOutStatusBar();  // along the bottom edge, fields at their running sums
void ForgetStatusBar();  // the window is going, and the bar with it

}  // namespace ui
