// A real main window for each test, opened through the control services and gone afterwards.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include "runtime/runtime.h"
#include "ui/ui.h"

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    runtime::PrepareEnvironment();
    ui::OpenMainWindow(0, 100, 100, 430, 420, L"Ferrulon window test");
    main_ = FindWindowW(L"FerrulonMainWindow", L"Ferrulon window test");
    ASSERT_NE(main_, nullptr);
    runtime::DrainEvents();
  }
  void TearDown() override {
    ui::DestroyMainWindow();
    runtime::DrainEvents();
  }

  HWND Control(std::int64_t number) const { return GetDlgItem(main_, static_cast<int>(number)); }

  // The control's rectangle in client coordinates of the main window.
  RECT ClientRect(HWND control) const {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  std::wstring TextOf(HWND window) const {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
  }

  // Every event the pump hands out until nothing is pending, as (code, control) pairs.
  std::vector<std::pair<std::int64_t, std::int64_t>> PendingEvents() {
    std::vector<std::pair<std::int64_t, std::int64_t>> events;
    for (std::int64_t code; (code = runtime::PollEvent()) != 0;)
      if (code == runtime::ControlActivated || code == runtime::CloseRequested)
        events.emplace_back(code, runtime::CurrentEventControl());
    return events;
  }

  HWND main_ = nullptr;
};
