// The main window under test and what the window tests read of it; the window as the program
// builds it; and a fixture that opens a bare main window for each test and destroys it afterwards.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

#include "core/fake_world.h"
#include "drives/drives.h"
#include "runtime/runtime.h"
#include "tools/driver/driver.h"
#include "ui/ui.h"
#include <gtest/gtest.h>

inline HWND Main;  // the main window under test
inline HWND Control(std::int64_t number) { return GetDlgItem(Main, static_cast<int>(number)); }
inline std::wstring WindowText(HWND window) { return driver::TextOf(window); }
inline RECT ClientRect(HWND control) {  // in the main window's client coordinates
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, Main, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

inline std::wstring TextOf(std::int64_t number) { return WindowText(Control(number)); }
inline bool Enabled(HWND window) { return IsWindowEnabled(window) != FALSE; }

// "text @ x,y wxh" in the main window's client coordinates.
inline std::wstring TextAndPlace(std::int64_t number) {
  const RECT r = ClientRect(Control(number));
  return TextOf(number) + L" @ " + std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L" " +
         std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top);
}

using Texts = std::vector<std::wstring>;
inline Texts StatusTexts() {
  HWND bar = FindWindowExW(Main, nullptr, STATUSCLASSNAMEW, nullptr);
  Texts texts;
  for (wchar_t text[128]; texts.size() < 3; texts.push_back(text))
    SendMessageW(bar, SB_GETTEXTW, texts.size(), reinterpret_cast<LPARAM>(text));
  return texts;
}

inline std::wstring CurrentDirectory() {
  wchar_t directory[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, directory);
  return directory;
}

// The window as the program builds it, for the drives given, on the in-memory drive.
inline void Build(const Texts& roots) {
  ui::DestroyMainWindow();
  runtime::DrainEvents();
  ResetWorld();
  FreshRunState();
  for (runtime::Text& root : drives::DriveRoots) root.clear();
  for (std::size_t i = 0; i < roots.size(); ++i) drives::DriveRoots[i] = roots[i].c_str();
  drives::DriveCount = static_cast<std::int64_t>(roots.size());
  ui::BuildMainWindow();
  Main = FindWindowW(L"FerrulonMainWindow", nullptr);
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
