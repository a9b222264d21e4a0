// One complete run of the benchmark on a healthy test drive, and the window it leaves.
#include "e2e_fixture.h"
#include "ui/ui.h"

using CompleteRun = Ferrulon;

// The first run of a fresh process: its counters are refreshed every 32nd cycle, so the fields end
// with the counts after cycle 2,496 of 2,500.
TEST_F(CompleteRun, EndsGreenWithScoreAndCountsAndLeavesNoFile) {
  ASSERT_NO_FATAL_FAILURE(Select(L'm'));
  ClickControl(Control(ui::StartButton));
  ASSERT_TRUE(WaitUntil("Start disabled by the run", 15000, [&] { return !IsEnabledWindow(Control(ui::StartButton)); }));
  ASSERT_EQ(U8(WaitForVerdict(300000)), U8(ui::PassedVerdict));
  ASSERT_TRUE(WaitUntil("Start enabled and the bar full", 15000, [&] {
    return IsEnabledWindow(Control(ui::StartButton)) && ProgressOf(program_) == 500;
  }));
  EXPECT_TRUE(WaitUntil("the banner painted green", 10000, [&] { return BannerPixelsAre(ui::SuccessGreen); }))
      << "corner pixel " << std::hex << PixelOf(Control(ui::StatusBanner), 1, 1);
  const std::wstring score = Text(ui::ScoreText);
  EXPECT_TRUE(!score.empty() && score[0] != L'0' && score.find_first_not_of(L"0123456789") == std::wstring::npos)
      << "score \"" << U8(score) << "\": whole milliseconds per pass";
  EXPECT_EQ(U8(StatusText(program_, 0)), " 写入:  30700800");
  EXPECT_EQ(U8(StatusText(program_, 1)), " 验证:  30700800");
  EXPECT_EQ(U8(StatusText(program_, 2)), " 读/写数:  4992");
  EXPECT_FALSE(PathExists(TestFileOn(L'm'))) << "the test file is deleted after every cycle";
  CloseExpectingExitCode0();
}
