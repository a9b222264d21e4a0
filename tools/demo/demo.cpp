// The headless demonstration: starts ferrulon.exe, runs the benchmark once on one drive as a user
// would (a click on the drive's option button, a click on Start), tells the pass count while the
// run goes on, then prints the verdict and the score and saves a picture of the window.
// usage: ferrulon_demo FERRULON_EXE DRIVE_LETTER SHOT_BMP   (Unix paths are reached through Z:)
// Exit code: 0 completed (green banner), 1 the drive gave back different data (red banner),
// 2 the demonstration could not be completed.
#include <windows.h>

#include <cstdio>
#include <cwctype>
#include <functional>
#include <string>

#include "tools/driver/driver.h"
#include "ui/texts.h"
#include "ui/ui.h"

using namespace driver;

namespace {

constexpr DWORD RunDeadlineMs = 600000;   // a run takes about a minute under Wine
constexpr DWORD ReportEveryMs = 5000;     // how often the pass count is printed
constexpr std::int64_t PassesPerRun = 50;
constexpr std::int64_t BarStepsPerPass = 10;   // the bar counts down from 500 by 10 per pass

// A Unix path as Wine's Z: drive shows it; Windows paths are kept.
std::wstring WindowsPath(const wchar_t* given) {
  std::wstring path = given;
  if (!path.empty() && path[0] == L'/') path.insert(0, L"Z:");
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// Polls every 100 ms until the condition holds; false at the deadline or when the program ended.
bool WaitFor(const Program& program, DWORD timeoutMs, const std::function<bool()>& condition) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (!IsRunning(program) || GetTickCount64() >= deadline) return false;
    Sleep(100);
  }
}

// The drive slot labelled " x:\", or -1.
int SlotOf(const Program& program, wchar_t letter) {
  const std::wstring label = std::wstring(L" ") + letter + L":\\";
  for (int i = 0; i < ui::DriveSlots; ++i)
    if (TextOf(Control(program, ui::DriveOption0 + i)) == label) return i;
  return -1;
}

bool BannerShows(const Program& program, std::int64_t color) {
  return PixelOf(Control(program, ui::StatusBanner), 2, 2) == static_cast<COLORREF>(color);
}

void SaveShot(const Program& program, const std::wstring& shot) {
  Say(SaveScreenshot(program, shot) ? "screenshot saved" : "the screenshot could not be saved to " + Utf8(shot));
}

// Ends the demonstration early: says why, pictures what the window showed, ends the program.
int GiveUp(Program& program, const std::wstring& shot, const std::string& why) {
  Say("demo stopped: " + why);
  if (IsRunning(program) && program.window != nullptr) {
    if (HWND box = FindMessageBox(program)) {
      Say("the program shows a message box \"" + Utf8(TextOf(box)) + "\": " + Utf8(MessageBoxText(box)));
    }
    SaveShot(program, shot);
  }
  EndProgram(program);
  return 2;
}

// Clicks the drive's option button and Start; true once the run has begun.
bool StartRun(Program& program, wchar_t letter, std::string& why) {
  const int slot = SlotOf(program, letter);
  if (slot < 0) {
    why = std::string("no drive slot is labelled \" ") + static_cast<char>(letter) + ":\\\"";
    return false;
  }
  HWND option = Control(program, ui::DriveOption0 + slot);
  ClickControl(option);
  if (!WaitFor(program, 10000, [&] { return CheckOf(option) == BST_CHECKED; })) {
    why = "the drive's option button did not become checked";
    return false;
  }
  HWND start = Control(program, ui::StartButton);
  ClickControl(start);
  if (!WaitFor(program, 15000, [&] { return !IsEnabledWindow(start); })) {
    why = "Start did not begin a run";
    return false;
  }
  return true;
}

// Follows the run to its verdict, printing the pass count every few seconds. Gives the verdict
// text, or an empty text with the reason when the run did not reach one.
std::wstring FollowRun(const Program& program, std::string& why) {
  const ULONGLONG begun = GetTickCount64();
  ULONGLONG nextReport = begun + ReportEveryMs;
  std::int64_t passesDone = 0, passesSaid = -1;
  const auto report = [&](ULONGLONG now) {
    passesSaid = passesDone;
    Say("  pass " + std::to_string(passesDone) + " of " + std::to_string(PassesPerRun) + " done, " +
        std::to_string((now - begun) / 1000) + " s");
  };
  for (;;) {
    // Both readings are answered between passes; the bar is read before the banner so that a
    // position read after the verdict is never taken for one of the run.
    const int position = ProgressOf(program);
    const std::wstring banner = TextOf(Control(program, ui::StatusBanner));
    const ULONGLONG now = GetTickCount64();
    if (banner == ui::PassedVerdict) {
      passesDone = PassesPerRun;
      if (passesSaid != PassesPerRun) report(now);
      return banner;
    }
    if (banner == ui::FailedVerdict) return banner;
    if (position >= 0 && position <= 500) passesDone = (500 - position) / BarStepsPerPass;
    if (now >= nextReport) {
      report(now);
      nextReport = now + ReportEveryMs;
    }
    if (!IsRunning(program)) {
      why = "ferrulon.exe ended during the run";
      return L"";
    }
    if (FindMessageBox(program) != nullptr) {
      why = "a message box appeared during the run";
      return L"";
    }
    if (now - begun > RunDeadlineMs) {
      why = "no verdict within " + std::to_string(RunDeadlineMs / 60000) + " minutes";
      return L"";
    }
    Sleep(200);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4 || argv[2][0] == L'\0') {
    Say("usage: ferrulon_demo FERRULON_EXE DRIVE_LETTER SHOT_BMP");
    return 2;
  }
  const std::wstring exe = WindowsPath(argv[1]);
  const wchar_t letter = static_cast<wchar_t>(std::towlower(argv[2][0]));
  const std::wstring shot = WindowsPath(argv[3]);

  Program program;
  std::wstring failure;
  if (!StartProgram(exe, program, failure)) {
    Say("demo stopped: " + Utf8(failure));
    EndProgram(program);
    return 2;
  }
  Say("window open; choosing drive " + std::string(1, static_cast<char>(letter)) + ": and clicking Start");
  std::string why;
  if (!StartRun(program, letter, why)) return GiveUp(program, shot, why);
  Say("run started: " + std::to_string(PassesPerRun) + " passes of 50 write/verify cycles");

  const std::wstring verdict = FollowRun(program, why);
  if (verdict.empty()) return GiveUp(program, shot, why);
  const bool passed = verdict == ui::PassedVerdict;

  // A completed run re-enables Start, fills the bar again and paints the banner green; a failed
  // one paints it red and leaves Start disabled.
  if (passed) {
    (void)WaitFor(program, 15000, [&] {
      return IsEnabledWindow(Control(program, ui::StartButton)) && ProgressOf(program) == 500 &&
             BannerShows(program, ui::SuccessGreen);
    });
  } else {
    (void)WaitFor(program, 15000, [&] { return BannerShows(program, ui::FailureRed); });
  }
  Sleep(500);   // the last repaints of the window
  const std::wstring score = TextOf(Control(program, ui::ScoreText));
  SaveShot(program, shot);
  Say("verdict: " + Utf8(verdict) + (passed ? " (completed successfully)" : " (disk fault: data read back differed)"));
  if (passed) Say("score: " + Utf8(score) + " ms per pass (mean of 50 passes, lower is better)");

  if (!ClickCloseBox(program) || WaitForExit(program, 15000) == static_cast<DWORD>(STILL_ACTIVE)) {
    Say("the window did not close through its close box; ending ferrulon.exe");
  }
  EndProgram(program);
  return passed ? 0 : 1;
}
