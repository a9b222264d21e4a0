// The main window under test and what the window tests read of it; and a fixture that opens a real
// main window through the control services for each test and destroys it afterwards.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "runtime/runtime.h"
#include "tools/driver/driver.h"
#include "ui/ui.h"

inline HWND Main;   // the main window under test
inline HWND Control(std::int64_t number) { return GetDlgItem(Main, static_cast<int>(number)); }
inline std::wstring WindowText(HWND window) { return driver::TextOf(window); }
inline RECT ClientRect(HWND control) {   // in the main window's client coordinates
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, Main, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The colour on the screen at a point of a control. Wine hands painted windows to the display a
// little later, while the thread takes messages: wait for the expected colour, up to two seconds.
inline COLORREF ScreenPixel(HWND control, int x, int y, COLORREF expected) {
  COLORREF color = CLR_INVALID;
  for (int tries = 0; tries < 100 && color != expected; ++tries) {
    if (tries > 0) Sleep(20);
    runtime::DrainEvents();
    color = driver::PixelOf(control, x, y);
  }
  return color;
}

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    runtime::PrepareEnvironment();
    ui::OpenMainWindow(0, 100, 100, 430, 420, L"Ferrulon window test");
    Main = FindWindowW(L"FerrulonMainWindow", L"Ferrulon window test");
    ASSERT_NE(Main, nullptr);
    runtime::DrainEvents();
  }
  void TearDown() override {
    ui::DestroyMainWindow();
    runtime::DrainEvents();
  }

  // Every event the pump hands out until nothing is pending, as (code, control) pairs.
  std::vector<std::pair<std::int64_t, std::int64_t>> PendingEvents() {
    std::vector<std::pair<std::int64_t, std::int64_t>> events;
    for (std::int64_t code; (code = runtime::PollEvent()) != 0;)
      if (code == runtime::ControlActivated || code == runtime::CloseRequested)
        events.emplace_back(code, runtime::CurrentEventControl());
    return events;
  }
};
