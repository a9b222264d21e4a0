// Each end-to-end test starts its own ferrulon.exe and ends it; a failure says what the window showed.
#pragma once

#include <windows.h>

#include <winternl.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tools/driver/driver.h"
#include "ui/texts.h"
#include "ui/ui.h"
#include <gtest/gtest.h>

using namespace driver;

// Beside the test drives <FERRULON_DRIVE_BASE>/<letter>: the fault library's settings and its log.
inline std::string Beside(const std::string& name) { return EnvironmentValue(L"FERRULON_DRIVE_BASE") + "/" + name; }
inline std::wstring TestFileOn(wchar_t letter) { return letter + std::wstring(L":\\tfile.frl"); }
inline bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
// Wine's ntdll exports its version; Windows' does not.
inline bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// SystemExtendedHandleInformation (64): a count, a reserved word, then every open handle of every process.
struct HandleEntry {
  void* object;
  ULONG_PTR processId, handle;
  ULONG access;
  USHORT backTrace, typeIndex;
  ULONG attributes, reserved;
};

// The handles a process holds, as its own handle values; false when the table could not be read.
inline bool HandlesOf(DWORD processId, std::vector<ULONG_PTR>& held) {
  std::vector<char> buffer(1 << 20);
  NTSTATUS status = 0;
  while ((status = NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(64), buffer.data(),
                                            static_cast<ULONG>(buffer.size()), nullptr)) ==
         static_cast<NTSTATUS>(0xC0000004))
    buffer.resize(buffer.size() * 2);  // STATUS_INFO_LENGTH_MISMATCH
  const auto* entries = reinterpret_cast<const HandleEntry*>(buffer.data() + 2 * sizeof(ULONG_PTR));
  for (ULONG_PTR i = 0, count = status == 0 ? *reinterpret_cast<const ULONG_PTR*>(buffer.data()) : 0; i < count; ++i)
    if (entries[i].processId == processId) held.push_back(entries[i].handle);
  return status == 0;
}

// The final path of a file or directory handle, with a trailing backslash; "" for another kind
// (never a pipe, whose query could block).
inline std::wstring FinalPathOf(HANDLE handle) {
  wchar_t path[1024] = {};
  const DWORD length = GetFileType(handle) == FILE_TYPE_DISK ? GetFinalPathNameByHandleW(handle, path, 1023, 0) : 0;
  return length == 0 || length > 1022 ? L"" : std::wstring(path, length) + (path[length - 1] == L'\\' ? L"" : L"\\");
}

// The program's handles on the drive, its root or anything under it: each handle copied into this
// process, its final path against the root's own (a subst drive and a Wine drive link alike). A
// program whose current directory is the root holds one. -1 when they could not be read.
inline int HandlesOnDrive(const Program& program, wchar_t letter) {
  HANDLE root =
      CreateFileW((letter + std::wstring(L":\\")).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  const std::wstring rootPath = root == INVALID_HANDLE_VALUE ? L"" : FinalPathOf(root);
  if (root != INVALID_HANDLE_VALUE) CloseHandle(root);
  std::vector<ULONG_PTR> handles;
  if (rootPath.empty() || !HandlesOf(program.processId, handles)) return -1;
  int on = 0;
  for (ULONG_PTR value : handles) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(program.process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
      continue;
    const std::wstring path = FinalPathOf(copy);
    on += path.size() >= rootPath.size() &&
          CompareStringOrdinal(path.c_str(), static_cast<int>(rootPath.size()), rootPath.c_str(),
                               static_cast<int>(rootPath.size()), TRUE) == CSTR_EQUAL;
    CloseHandle(copy);
  }
  return on;
}

// The line the fault library logs as the program's Unix process exits, which under load can come a
// little after Wine reports the exit; "" when none came within 5 s.
inline std::string RequestLog() {
  for (int tries = 0; tries < 50; ++tries, Sleep(100)) {
    std::ifstream log(FromUnixPath(Beside("requests.log")).c_str());
    std::string line;
    if (std::getline(log, line) && !log.eof()) return line;  // a whole line
  }
  return "";
}

class Ferrulon : public ::testing::Test {
 protected:
  // Settings of the fault library (tests/faults/tfile_faults.c) for the program about to start: under
  // Wine the library must be there, and on Windows a test that needs it is skipped.
  virtual std::string FaultSettings() const { return ""; }

  void SetUp() override {
    ASSERT_FALSE(EnvironmentValue(L"FERRULON_DRIVE_BASE").empty()) << "FERRULON_DRIVE_BASE names the test drives";
    (void)DeleteFileW(FromUnixPath(Beside("requests.log")).c_str());
    const std::string settings = FaultSettings();
    ASSERT_TRUE(settings.empty() || EnvironmentValue(L"LD_PRELOAD").find("tfile_faults") != std::string::npos ||
                !UnderWine())
        << "the fault library is preloaded (run through ctest, which sets LD_PRELOAD)";
    std::ofstream file(FromUnixPath(Beside("faults.settings")).c_str(), std::ios::binary);
    ASSERT_TRUE(file << settings << std::flush) << "fault settings written beside the test drives";
    std::wstring failure;
    std::string exe = EnvironmentValue(L"FERRULON_EXE");  // another build's, as on the Windows runner
    if (exe.empty()) exe = FERRULON_EXE;
    ASSERT_TRUE(StartFerrulon(FromUnixPath(exe), program_, failure)) << Utf8(failure);
  }

  void TearDown() override {
    EndFerrulon(program_);
    (void)DeleteFileW(FromUnixPath(Beside("faults.settings")).c_str());
  }

  // For a failure message: why the driver's wait gave up, and what the window showed.
  std::string Seen() const { return why_ + "; the window showed:\n" + Describe(program_); }
  HWND Control(std::int64_t number) const { return driver::Control(program_, number); }

  // Once a pass of the run going on has ended, Stop: the window resets and the drive's tfile.frl is gone.
  void StopAfterAPass(wchar_t letter) {
    const auto passDone = [&] {
      const int bar = ProgressOf(program_);
      return bar >= 0 && bar <= 490;
    };
    ASSERT_TRUE(WaitFor(program_, 60000, why_, passDone)) << "one pass done: " << Seen();
    ClickControl(Control(ui::StopButton));
    ASSERT_TRUE(WaitFor(program_, 30000, why_, [&] { return ShowsReset(); })) << Seen();
    EXPECT_FALSE(PathExists(TestFileOn(letter))) << "the stopped run's tfile.frl is removed";
  }

  bool ShowsReset() const {  // Start enabled; no slot, drive, score, verdict or count shown
    return IsEnabledWindow(Control(ui::StartButton)) &&
           TextOf(Control(ui::DriveUnderTestText)) == ui::DriveUnderTestLabel && CheckedSlotOf(program_) == -1 &&
           TextOf(Control(ui::ScoreText)) == ui::Placeholder && TextOf(Control(ui::StatusBanner)) == ui::Placeholder &&
           StatusText(program_, 0) == ui::WrittenLabel;
  }

  void CloseExpectingExitCode0() {  // through the close box
    ASSERT_TRUE(ClickCloseBox(program_)) << "no close box found in the caption";
    why_ = "15 s after a click on the close box (259: still running)";
    EXPECT_EQ(WaitForExit(program_, 15000), 0u) << Seen();
  }

  Program program_;
  std::string why_;
};
