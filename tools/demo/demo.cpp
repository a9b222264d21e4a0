// The headless demonstration: starts ferrulon.exe, runs the benchmark once on one drive as a user
// would (a click on the drive's option button, a click on Start), tells the pass count while the
// run goes on, then prints the verdict and the score and saves a picture of the window.
// usage: ferrulon_demo FERRULON_EXE DRIVE_LETTER SHOT_BMP   (Unix paths are reached through Z:)
// Exit code: 0 completed (green banner), 1 the drive gave back different data (red banner),
// 2 the demonstration could not be completed. The last line says the same for scripts, in one fixed
// form: "result: green SCORE" (ms per pass), "result: red" or "result: none".
#include <windows.h>

#include <cstdio>
#include <cwctype>
#include <string>

#include "tools/driver/driver.h"
#include "ui/texts.h"
#include "ui/ui.h"

using namespace driver;

namespace {

constexpr DWORD RunDeadlineMs = 600000;  // a run takes about a minute under Wine
constexpr DWORD ReportEveryMs = 5000;    // how often the pass count is printed
constexpr int PassesPerRun = 50;
constexpr int BarStepsPerPass = 10;  // the bar counts down from ui::ProgressAtRest by 10 per pass

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void SaveShot(const Program& program, const std::wstring& shot) {
  Say(SaveScreenshot(program, shot) ? "screenshot saved" : "the screenshot could not be saved to " + Utf8(shot));
}

// Ends the demonstration early: says why and what the window showed, pictures it, ends the program.
int GiveUp(Program& program, const std::wstring& shot, const std::string& why) {
  Say("demo stopped: " + why);
  if (IsRunning(program) && program.window != nullptr) {
    std::printf("the window showed:\n%s", Describe(program).c_str());
    SaveShot(program, shot);
  }
  EndFerrulon(program);
  Say("result: none");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4 || argv[2][0] == L'\0') {
    Say("usage: ferrulon_demo FERRULON_EXE DRIVE_LETTER SHOT_BMP");
    return 2;
  }
  const std::wstring exe = FromUnixPath(Utf8(argv[1])), shot = FromUnixPath(Utf8(argv[3]));
  const wchar_t letter = static_cast<wchar_t>(std::towlower(argv[2][0]));

  Program program;
  std::wstring failure;
  if (!StartFerrulon(exe, program, failure)) return GiveUp(program, shot, Utf8(failure));
  Say("window open; choosing drive " + std::string(1, static_cast<char>(letter)) + ": and clicking Start");
  std::string why;
  if (!StartRun(program, letter, why)) return GiveUp(program, shot, why);
  Say("run started: " + std::to_string(PassesPerRun) + " passes of 50 write/verify cycles");

  const ULONGLONG begun = GetTickCount64();
  ULONGLONG nextReport = begun + ReportEveryMs;
  int passesSaid = -1;
  const auto report = [&](int passes) {
    passesSaid = passes;
    Say("  pass " + std::to_string(passes) + " of " + std::to_string(PassesPerRun) + " done, " +
        std::to_string((GetTickCount64() - begun) / 1000) + " s");
  };
  const std::wstring verdict = WaitForVerdict(program, RunDeadlineMs, why, [&](int position) {
    if (position < 0 || position > ui::ProgressAtRest || GetTickCount64() < nextReport) return;
    nextReport = GetTickCount64() + ReportEveryMs;
    report(static_cast<int>((ui::ProgressAtRest - position) / BarStepsPerPass));
  });
  if (verdict.empty()) return GiveUp(program, shot, "no verdict: " + why);
  const bool passed = verdict == ui::PassedVerdict;
  if (passed && passesSaid != PassesPerRun) report(PassesPerRun);

  (void)WaitForVerdictShown(program, verdict, why);
  Sleep(500);  // the last repaints of the window
  const std::wstring score = TextOf(Control(program, ui::ScoreText));
  SaveShot(program, shot);
  Say("verdict: " + Utf8(verdict) + (passed ? " (completed successfully)" : " (disk fault: data read back differed)"));
  if (passed) Say("score: " + Utf8(score) + " ms per pass (mean of 50 passes, lower is better)");

  if (!ClickCloseBox(program) || WaitForExit(program, 15000) == static_cast<DWORD>(STILL_ACTIVE)) {
    Say("the window did not close through its close box; ending ferrulon.exe");
  }
  EndFerrulon(program);
  const bool scored = !score.empty() && score.find_first_not_of(L"0123456789") == std::wstring::npos;
  Say(!passed ? "result: red" : scored ? "result: green " + Utf8(score) : "result: none");
  return passed ? (scored ? 0 : 2) : 1;
}
