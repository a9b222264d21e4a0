// Long use of one program: three complete runs, two stopped runs and two clicks on Store score.
// What the program holds, read from outside after the first complete run and again after the last,
// in the same window state, must stay flat; no test file is left behind and the exit code is 0.
// About four minutes; run under the file watch (watch-files.sh), not on its own.
#include <iostream>

#include "e2e_fixture.h"
#include "ui/ui.h"


namespace {

constexpr wchar_t SoakLetter = L'n';
// Private bytes may settle by a little (heap pages touched late); a leak of one test file's text per
// cycle would add 30 MB per run.
constexpr std::int64_t PrivateBytesSlack = 512 * 1024;

}  // namespace

class Soak : public Ferrulon {
 protected:
  // A complete run on the selected drive; gives its score.
  std::wstring CompleteRun() {
    ClickControl(Control(ui::StartButton));
    if (!WaitUntil("Start disabled by the run", 15000, [&] { return !IsEnabledWindow(Control(ui::StartButton)); }))
      return L"";
    if (!WaitUntil("the green verdict", 300000, [&] { return Text(ui::StatusBanner) == ui::PassedVerdict; })) return L"";
    if (!WaitUntil("Start enabled and the bar full", 15000, [&] {
          return IsEnabledWindow(Control(ui::StartButton)) && ProgressOf(program_) == 500;
        }))
      return L"";
    return Text(ui::ScoreText);
  }
  // A run stopped after its first pass, and the window reset.
  void StoppedRun() {
    ClickControl(Control(ui::StartButton));
    ASSERT_TRUE(WaitUntil("one pass done", 60000, [&] {
      const int position = ProgressOf(program_);
      return position >= 0 && position <= 490;
    }));
    ClickControl(Control(ui::StopButton));
    ASSERT_NO_FATAL_FAILURE(ExpectResetState(SoakLetter));
  }
  // Store score makes StoredScoreText anew, so a second store of the same score is seen too.
  void StoreScore(const std::wstring& score) {
    HWND old = Control(ui::StoredScoreText);
    ClickControl(Control(ui::StoreScoreButton));
    EXPECT_TRUE(WaitUntil("the stored score showing " + U8(score), 15000, [&] {
      return Control(ui::StoredScoreText) != old && Text(ui::StoredScoreText) == score;
    }));
  }
};

TEST_F(Soak, ThreeRunsTwoStopsTwoStoresKeepWhatTheProgramHoldsFlat) {
  ASSERT_FALSE(DriveDirectory(SoakLetter).empty()) << "FERRULON_DRIVE_BASE names the test drives";
  const ProcessFigures started = ReadFigures(program_);
  std::cout << "window shown " << program_.shownAfterMs << " ms after CreateProcessW\n"
            << "after start-up:        " << FiguresText(started) << "\n";
  RecordProperty("window_shown_ms", std::to_string(program_.shownAfterMs));

  ASSERT_NO_FATAL_FAILURE(Select(SoakLetter));
  const std::wstring first = CompleteRun();
  ASSERT_FALSE(first.empty());
  ASSERT_NO_FATAL_FAILURE(StoreScore(first));
  const ProcessFigures warm = ReadFigures(program_);
  std::cout << "after run 1 and Store: " << FiguresText(warm) << "\n";

  ASSERT_NO_FATAL_FAILURE(StoppedRun());   // the completed run left the drive selected
  ASSERT_NO_FATAL_FAILURE(Select(SoakLetter));
  const std::wstring second = CompleteRun();
  ASSERT_FALSE(second.empty());
  ASSERT_NO_FATAL_FAILURE(StoppedRun());
  ASSERT_NO_FATAL_FAILURE(Select(SoakLetter));
  const std::wstring third = CompleteRun();
  ASSERT_FALSE(third.empty());
  ASSERT_NO_FATAL_FAILURE(StoreScore(third));
  const ProcessFigures last = ReadFigures(program_);
  std::cout << "after run 3 and Store: " << FiguresText(last) << "\n"
            << "scores " << U8(first) << ", " << U8(second) << ", " << U8(third) << " ms per pass; peak working set "
            << last.peakWorkingSet / 1024 << " KiB\n";
  RecordProperty("peak_working_set_kib", std::to_string(last.peakWorkingSet / 1024));

  // The same window state both times: green verdict, a score, a stored score, the drive selected.
  ASSERT_GT(warm.handles, 0) << "the system's handle list could not be read";
  EXPECT_EQ(last.handles, warm.handles) << "kernel handles";
  ASSERT_GT(warm.gdiObjects, 0) << "the GDI handle table could not be read";
  EXPECT_EQ(last.gdiObjects, warm.gdiObjects) << "GDI objects";
  EXPECT_EQ(last.gdiCall, warm.gdiCall) << "GetGuiResources GDI";
  EXPECT_EQ(last.windows, warm.windows) << "windows";
  EXPECT_EQ(last.windows, started.windows) << "windows since start-up";
  EXPECT_EQ(last.userCall, warm.userCall) << "GetGuiResources USER";
  ASSERT_GT(warm.privateBytes, 0) << "the memory figures could not be read";
  EXPECT_LE(last.privateBytes - warm.privateBytes, PrivateBytesSlack) << "private bytes";

  EXPECT_FALSE(PathExists(TestFileOn(SoakLetter)));
  CloseExpectingExitCode0();
}
