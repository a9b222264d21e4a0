// Each test starts its own ferrulon.exe and ends it. At a test's first failure the window is saved
// as e2e-shots/<suite>.<test>.bmp in its working directory (<build>/tests/e2e under CTest).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tools/driver/driver.h"
#include "ui/texts.h"
#include "ui/ui.h"

using namespace driver;

class Ferrulon : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Settings of the fault library (tests/faults/tfile_faults.c) for the program about to start.
  virtual std::string FaultSettings() const { return ""; }

  // For a failure message: why the driver's wait gave up, and what the window showed.
  std::string Seen() const { return why_ + "; the window showed:\n" + Describe(program_); }
  HWND Control(std::int64_t number) const { return driver::Control(program_, number); }
  std::wstring Text(std::int64_t number) const { return TextOf(Control(number)); }
  // Stop, once a pass of the run going on has ended: the window resets (no slot, verdict, score or
  // count) and the test file is gone.
  void StopAfterAPass(const std::wstring& testFile);
  bool ShowsReset() const;   // Start enabled; no slot, drive, score, verdict or count shown
  void CloseExpectingExitCode0();   // through the close box

  Program program_;
  std::string why_;
};

inline std::string U8(const std::wstring& text) { return Utf8(text); }   // readable in failure messages

// Where the test command maps a test drive's letter: <FERRULON_DRIVE_BASE>/<letter>, Unix or Windows path.
std::string UnixDrive(wchar_t letter);
std::wstring TestFileOn(wchar_t letter);   // its tfile.frl, reached through Z: under Wine
inline bool FaultLibraryLoaded() { return EnvironmentValue(L"LD_PRELOAD").find("tfile_faults") != std::string::npos; }
constexpr char NoFaultLibrary[] = "needs the fault library, which ctest preloads under Wine only";
// Fault settings: FAULT on the test file at a Unix path, the counts logged at the program's exit.
std::string Faulting(const std::string& unixTestFile, const std::string& fault);
// The logged counts, "reads N bytes1 N writes N passes N written N"; "" when none came within 5 s.
std::string RequestLog();
