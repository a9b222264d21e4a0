// Each test starts its own ferrulon.exe and ends it. At a test's first failure the window is saved
// as <build>/tests/e2e-shots/<suite>.<test>.bmp; failed waits also print what the window showed.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tools/driver/driver.h"
#include "ui/texts.h"

class Ferrulon : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Settings of the fault library for the program about to start (FERRULON_FAULT=count, say): see
  // tests/faults/tfile_faults.c. The test command preloads the library into this test program,
  // and so into the program it starts, which reads these settings when it starts.
  virtual std::vector<std::string> FaultSettings() const { return {}; }

  // Polls until the condition holds. Fails (and says what it saw) when the deadline passes, the
  // program ends, or a message box appears that the condition does not expect.
  bool WaitUntil(const std::string& expected, DWORD timeoutMs, const std::function<bool()>& condition);
  HWND WaitForMessageBox(DWORD timeoutMs);
  std::wstring WaitForVerdict(DWORD timeoutMs);   // the banner's verdict, green or red; "" for none
  void DismissMessageBox(HWND box);   // clicks its OK button and waits until it is gone
  std::string Describe();             // every control, the status bar and any message box

  HWND Control(std::int64_t number) const { return driver::Control(program_, number); }
  std::wstring Text(std::int64_t number) const { return driver::TextOf(Control(number)); }
  int SlotOf(wchar_t letter);           // the drive slot labelled " x:\", or -1
  void Select(wchar_t letter);          // clicks that drive's slot and waits until it is checked
  int CheckedSlot();                    // the checked slot, -1 for none, -2 without an answer
  bool BannerPixelsAre(COLORREF color);   // the banner's four inner corners
  void CloseExpectingExitCode0();       // the close box; the process must end with 0
  // A stopped run was cleaned up: waits for the reset, checks that no run, verdict or score shows
  // and that no test file is left on the drive (letter 0: not looked at).
  void ExpectResetState(wchar_t letter);

  driver::Program program_;
};

// Texts compared as UTF-8 so that failures print them readably.
inline std::string U8(const std::wstring& text) { return driver::Utf8(text); }

// Runs when a test ends, also after a failure: undoes what the test changed on the test drives.
struct AtTestEnd {
  std::function<void()> run;
  ~AtTestEnd() { run(); }
};

namespace e2e {

// The directory behind a test drive's letter, as a path the program does not use; empty when no
// test drives are mapped.
std::wstring DriveDirectory(wchar_t letter);
// The test-file path in a test drive's root, reached without the drive letter.
std::wstring TestFileOn(wchar_t letter);

// What the program holds, read from outside (process_figures.cpp); -1 when it could not be read.
struct ProcessFigures {
  std::int64_t handles = -1;        // kernel handles: entries of the system's handle list
  std::int64_t gdiObjects = -1;     // live, non-stock entries of its GDI handle table
  std::int64_t windows = -1;        // top-level and child
  std::int64_t privateBytes = -1;   // PrivateUsage; under Wine 0, so PagefileUsage
};
ProcessFigures ReadFigures(const driver::Program& program);

}  // namespace e2e

using namespace driver;
using namespace e2e;
