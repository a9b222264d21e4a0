// The program never waits for messages that cannot come: no main window, or a failing GetMessageW.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "runtime/pump.h"
#include "runtime/runtime.h"
#include "ui/texts.h"
#include "ui/ui.h"

namespace {
std::wstring Boxes;        // "caption|text;" for each message box shown
std::int64_t Waits;        // GetMessageW calls
std::int64_t Dispatched;   // messages that reached the probe window
HWND Probe;

int WINAPI RecordBox(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
  Boxes += std::wstring(caption) + L"|" + text + L";";
  return IDOK;
}

// GetMessageW failing with -1. Its message, if dispatched anyway, reaches the probe window; the
// close request lets a loop that keeps waiting end, so that the test fails instead of hanging.
BOOL WINAPI FailingWait(LPMSG message, HWND, UINT, UINT) {
  ++Waits;
  *message = MSG{Probe, WM_APP, 0, 0, 0, {0, 0}};
  runtime::PostEvent(runtime::CloseRequested, 0, 0, 0);
  return -1;
}

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Dispatched += message == WM_APP ? 1 : 0;
  return DefWindowProcW(window, message, wParam, lParam);
}

// Refuses to create the main window, as a system out of window resources would.
LRESULT CALLBACK VetoMainWindow(int code, WPARAM wParam, LPARAM lParam) {
  wchar_t name[32] = {};
  (void)GetClassNameW(reinterpret_cast<HWND>(wParam), name, 32);
  if (code == HCBT_CREATEWND && std::wstring(name) == L"FerrulonMainWindow") return 1;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

TEST(RunMainLoop, WithoutMainWindowSaysSoOnceAndReturnsWithoutWaiting) {
  runtime::PrepareEnvironment();
  HHOOK veto = SetWindowsHookExW(WH_CBT, VetoMainWindow, nullptr, GetCurrentThreadId());
  ui::BuildMainWindow();
  UnhookWindowsHookEx(veto);
  runtime::MessageBoxCall = RecordBox;
  runtime::GetMessageCall = FailingWait;   // a window that exists after all would also end up here
  ui::RunMainLoop();
  EXPECT_EQ(Waits, 0);
  EXPECT_EQ(Boxes, std::wstring(ui::InfoCaption) + L"|" + ui::CannotCreateWindow + L";");
}

TEST(WaitEvent, FailingGetMessageIsACloseRequestNeverDispatched) {
  WNDCLASSW probeClass = {0, ProbeProc, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, L"Probe"};
  RegisterClassW(&probeClass);
  Probe = CreateWindowExW(0, L"Probe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  runtime::GetMessageCall = FailingWait;
  EXPECT_EQ(runtime::WaitEvent(), runtime::CloseRequested);
  runtime::GetMessageCall = GetMessageW;
  EXPECT_EQ(Dispatched, 0);
}
