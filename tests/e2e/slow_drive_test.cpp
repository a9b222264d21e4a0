// A slow drive: each open of the test file waits 75 ms before its first transfer, so a pass lasts
// over 7 s. Mid-pass the window must not count as hung, yet a Stop or a click on the close box acts
// only after the pass; then nothing of the program holds the drive.
#include "e2e_fixture.h"

namespace {

// The descriptors that Unix processes hold open on a directory, counted by a Unix shell that Wine
// starts for us. A Windows program's current directory is one in its own process and one in
// Wine's server. -1 when no count came within 10 s.
int DescriptorsOn(const std::string& unixDirectory) {
  // Wine runs a Unix program given to CreateProcessW and hands back no process: the shell writes its
  // count to a file under a temporary name and then renames it, and we wait for the name.
  const std::string answer = "/tmp/ferrulon-descriptors-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(GetTickCount64());
  std::wstring command = Wide("/bin/sh -c \"d=$(realpath '" + unixDirectory + "') && find /proc/[0-9]*/fd -lname $d "
                              "2>/dev/null | wc -l >" + answer + ".part && mv " + answer + ".part " + answer + "\"");
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &started))
    return -1;
  if (started.hProcess != nullptr) CloseHandle(started.hProcess);
  if (started.hThread != nullptr) CloseHandle(started.hThread);
  for (int tries = 0; tries < 100; ++tries, Sleep(100)) {
    FILE* file = _wfopen(FromUnixPath(answer).c_str(), L"rb");
    if (file == nullptr) continue;
    int count = -1;
    if (std::fscanf(file, "%d", &count) != 1) count = -1;
    std::fclose(file);
    (void)DeleteFileW(FromUnixPath(answer).c_str());
    return count;
  }
  return -1;
}

}  // namespace

class SlowDrive : public Ferrulon {
  std::string FaultSettings() const override { return "/n/tfile.frl slow:75"; }
};

TEST_F(SlowDrive, AnswersMidPassWhileStopAndCloseWaitForThePassEnd) {
  if (!UnderWine()) GTEST_SKIP() << "needs the fault library, under Wine only";
  ASSERT_TRUE(StartRun(program_, L'n', why_)) << Seen();
  Sleep(1062 + 6000);   // the settle delay, then six seconds into the first pass
  EXPECT_FALSE(IsHungAppWindow(program_.window)) << "Windows would ghost the window as not responding";
  ClickControl(Control(ui::StopButton));
  ASSERT_TRUE(ClickCloseBox(program_));
  ASSERT_TRUE(WaitFor(program_, 60000, [&] { return ShowsReset(); }, why_)) << Seen();
  EXPECT_TRUE(IsRunning(program_)) << "the close box clicked during a run is dropped";
  EXPECT_EQ(DescriptorsOn(Beside("n")), 0) << "the stopped run's drive is let go";
  CloseExpectingExitCode0();
  const std::string log = RequestLog();
  EXPECT_NE(log.find(" passes 50 "), std::string::npos) << log << ": Stop ends the run after the first pass's 50 files";
}
