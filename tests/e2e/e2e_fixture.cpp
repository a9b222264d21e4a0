// Start, fault settings and clean-up shared by every end-to-end test.
#include "e2e_fixture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Beside the test drives: the fault library's settings and its log of requests.
std::string Beside(const std::string& name) { return EnvironmentValue(L"FERRULON_DRIVE_BASE") + "/" + name; }

// The program of the test in progress, pictured at the test's first failure, while the window
// still shows what went wrong.
const Program* Pictured = nullptr;

class ShotOnFailure : public ::testing::EmptyTestEventListener {
  void OnTestPartResult(const ::testing::TestPartResult& result) override {
    if (!result.failed() || Pictured == nullptr || !IsRunning(*Pictured)) return;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string shot = std::string("e2e-shots\\") + test->test_suite_name() + "." + test->name() + ".bmp";
    std::replace(shot.begin(), shot.end(), '/', '-');   // parameterised tests: Instance/Suite.Test/Case
    (void)CreateDirectoryW(L"e2e-shots", nullptr);
    std::printf("%s%s\n", SaveScreenshot(*Pictured, Wide(shot)) ? "screenshot: " : "no screenshot saved to ", shot.c_str());
    Pictured = nullptr;
  }
};

}  // namespace

void Ferrulon::SetUp() {
  static const bool listening = (::testing::UnitTest::GetInstance()->listeners().Append(new ShotOnFailure), true);
  (void)listening;
  ASSERT_FALSE(EnvironmentValue(L"FERRULON_DRIVE_BASE").empty()) << "FERRULON_DRIVE_BASE names the test drives";
  (void)DeleteFileW(FromUnixPath(Beside("requests.log")).c_str());
  const std::string settings = FaultSettings();
  ASSERT_TRUE(settings.empty() || FaultLibraryLoaded() || !UnderWine())
      << "the fault library is preloaded (run through ctest, which sets LD_PRELOAD)";
  FILE* file = _wfopen(FromUnixPath(Beside("faults.settings")).c_str(), L"wb");
  ASSERT_NE(file, nullptr) << "no fault settings written beside the test drives";
  const bool written = std::fputs(settings.c_str(), file) >= 0;
  ASSERT_TRUE(std::fclose(file) == 0 && written);
  std::wstring failure;
  ASSERT_TRUE(StartProgram(FromUnixPath(FERRULON_EXE), program_, failure)) << Utf8(failure);
  Pictured = &program_;
}

void Ferrulon::TearDown() {
  Pictured = nullptr;
  EndProgram(program_);
  (void)DeleteFileW(FromUnixPath(Beside("faults.settings")).c_str());
}

void Ferrulon::StopAfterAPass(const std::wstring& testFile) {
  ASSERT_TRUE(WaitFor(program_, 60000, [&] { const int bar = ProgressOf(program_); return bar >= 0 && bar <= 490; }, why_))
      << "one pass done: " << Seen();
  ClickControl(Control(ui::StopButton));
  ASSERT_TRUE(WaitFor(program_, 30000, [&] { return ShowsReset(); }, why_)) << Seen();
  EXPECT_FALSE(PathExists(testFile)) << "the stopped run's tfile.frl is removed";
}

bool Ferrulon::ShowsReset() const {
  return IsEnabledWindow(Control(ui::StartButton)) && Text(ui::DriveUnderTestText) == ui::DriveUnderTestLabel &&
         CheckedSlot(program_) == -1 && Text(ui::ScoreText) == ui::Placeholder &&
         Text(ui::StatusBanner) == ui::Placeholder && StatusText(program_, 0) == ui::WrittenLabel;
}

void Ferrulon::CloseExpectingExitCode0() {
  ASSERT_TRUE(ClickCloseBox(program_)) << "no close box found in the caption";
  why_ = "15 s after a click on the close box (259: still running)";
  EXPECT_EQ(WaitForExit(program_, 15000), 0u) << Seen();
}

std::string UnixDrive(wchar_t letter) { return Beside(std::string(1, static_cast<char>(letter))); }
std::wstring TestFileOn(wchar_t letter) { return FromUnixPath(UnixDrive(letter) + "/tfile.frl"); }

std::string Faulting(const std::string& unixTestFile, const std::string& fault) {
  return "FERRULON_FAULT_FILE=" + unixTestFile + "\nFERRULON_FAULT=" + fault + "\nFERRULON_FAULT_LOG=" + Beside("requests.log") + "\n";
}

// The library writes the line as the program's Unix process exits, which under load can come a
// little after Wine reports the exit.
std::string RequestLog() {
  for (int tries = 0; tries < 50; ++tries, Sleep(100)) {
    char line[256] = {};
    FILE* log = _wfopen(FromUnixPath(Beside("requests.log")).c_str(), L"rb");
    const bool whole = log != nullptr && std::fgets(line, sizeof line, log) != nullptr && std::strchr(line, '\n');
    if (log != nullptr) std::fclose(log);
    if (whole) return std::string(line, std::strcspn(line, "\r\n"));
  }
  return "";
}
