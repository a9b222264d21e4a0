// Long use of one program: a complete run, a stopped one and a second complete run, each complete
// run followed by Store score. What the program holds, read from outside after the first store and
// again after the second, in the same window state, must stay flat. About three minutes; run under
// the file watch (watch-files.sh), not on its own.
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
  // A complete run on the drive, then Store score, which makes StoredScoreText anew.
  void CompleteRunAndStore() {
    ASSERT_NO_FATAL_FAILURE(Select(SoakLetter));
    ClickControl(Control(ui::StartButton));
    ASSERT_TRUE(WaitUntil("Start disabled by the run", 15000, [&] { return !IsEnabledWindow(Control(ui::StartButton)); }));
    ASSERT_EQ(U8(WaitForVerdict(300000)), U8(ui::PassedVerdict));
    ASSERT_TRUE(WaitUntil("Start enabled and the bar full", 15000, [&] {
      return IsEnabledWindow(Control(ui::StartButton)) && ProgressOf(program_) == 500;
    }));
    const std::wstring score = Text(ui::ScoreText);
    HWND old = Control(ui::StoredScoreText);
    ClickControl(Control(ui::StoreScoreButton));
    ASSERT_TRUE(WaitUntil("the stored score showing " + U8(score), 15000, [&] {
      return Control(ui::StoredScoreText) != old && Text(ui::StoredScoreText) == score;
    }));
  }
};

TEST_F(Soak, RunsStopAndStoresKeepWhatTheProgramHoldsFlat) {
  const ProcessFigures started = ReadFigures(program_);
  ASSERT_NO_FATAL_FAILURE(CompleteRunAndStore());
  const ProcessFigures warm = ReadFigures(program_);

  // A run stopped after its first pass, and the window reset.
  ASSERT_NO_FATAL_FAILURE(Select(SoakLetter));
  ClickControl(Control(ui::StartButton));
  ASSERT_TRUE(WaitUntil("one pass done", 60000, [&] {
    const int position = ProgressOf(program_);
    return position >= 0 && position <= 490;
  }));
  ClickControl(Control(ui::StopButton));
  ASSERT_NO_FATAL_FAILURE(ExpectResetState(SoakLetter));

  ASSERT_NO_FATAL_FAILURE(CompleteRunAndStore());
  const ProcessFigures last = ReadFigures(program_);
  ASSERT_TRUE(warm.handles > 0 && warm.gdiObjects > 0 && warm.windows > 1 && warm.privateBytes > 0)
      << "the figures could be read: handles, GDI objects, windows with their controls, private bytes";
  EXPECT_EQ(last.handles, warm.handles) << "kernel handles";
  EXPECT_EQ(last.gdiObjects, warm.gdiObjects) << "GDI objects";
  EXPECT_EQ(last.windows, warm.windows) << "windows";
  EXPECT_EQ(last.windows, started.windows) << "windows since start-up";
  EXPECT_LE(last.privateBytes - warm.privateBytes, PrivateBytesSlack) << "private bytes";
  EXPECT_FALSE(PathExists(TestFileOn(SoakLetter)));
  CloseExpectingExitCode0();
}
