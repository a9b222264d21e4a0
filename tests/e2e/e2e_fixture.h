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
  void DismissMessageBox(HWND box);     // clicks its OK button and waits until it is gone
  std::string Describe();   // every control, the status bar and any message box, one per line

  HWND Control(std::int64_t number) const { return driver::Control(program_, number); }
  std::wstring Text(std::int64_t number) const { return driver::TextOf(Control(number)); }
  int SlotOf(wchar_t letter);           // the drive slot labelled " x:\", or -1
  void Select(wchar_t letter);          // clicks that drive's slot and waits until it is checked
  int CheckedSlot();                    // the checked slot, -1 for none, -2 without an answer
  bool BannerPixelsAre(COLORREF color);   // the banner's four inner corners
  void CloseExpectingExitCode0();       // the close box; the process must end with 0
  // A stopped run was cleaned up: waits for the reset, then checks every control it restores and
  // that no test file is left on the drive (letter 0: not looked at).
  void ExpectResetState(wchar_t letter);

  driver::Program program_;
};

// Texts compared as UTF-8 so that failures print them readably.
inline std::string U8(const std::wstring& text) { return driver::Utf8(text); }

// A control's rectangle in the main window's client area as x, y, width, height.
struct Box {
  long x, y, width, height;
  bool operator==(const Box&) const = default;
};
void PrintTo(const Box& box, std::ostream* os);
Box BoxOf(const driver::Program& program, HWND control);

// The test-file path in a test drive's root, reached without the drive letter.
std::wstring TestFileOn(wchar_t letter);
// The size of a file in bytes, -1 when it is not there.
std::int64_t FileSize(const std::wstring& path);

// Runs when a test ends, also after a failure: undoes what the test changed on the test drives.
struct AtTestEnd {
  std::function<void()> run;
  ~AtTestEnd() { run(); }
};

namespace e2e {

// Test drives: the directory behind a mapped letter, as a path the program does not use.
std::wstring DriveDirectory(wchar_t letter);   // empty when no test drives are mapped

// What the program holds, read from outside (process_figures.cpp). Each figure is -1 when it could
// not be read.
struct ProcessFigures {
  std::int64_t handles = -1;          // kernel handles: entries of the system's handle list
  std::int64_t handleCountCall = -1;  // GetProcessHandleCount (Wine 8 answers 0 for every process)
  std::int64_t gdiCall = -1;          // GetGuiResources GDI and USER (Wine 8: not implemented, 0)
  std::int64_t userCall = -1;
  std::int64_t gdiObjects = -1;       // live, non-stock entries of the program's GDI handle table
  std::int64_t windows = -1;          // its windows, top-level and child
  std::int64_t privateBytes = -1;     // PrivateUsage; under Wine 0, so PagefileUsage (resident anonymous)
  std::int64_t workingSet = -1;
  std::int64_t peakWorkingSet = -1;
};
ProcessFigures ReadFigures(const driver::Program& program);
std::string FiguresText(const ProcessFigures& figures);

}  // namespace e2e

using namespace driver;
using namespace e2e;
