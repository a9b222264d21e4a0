// One complete run of the benchmark on a healthy test drive, watched from start to end.
#include <iostream>
#include <vector>

#include "e2e_fixture.h"
#include "ui/ui.h"


namespace {

bool IsDecimal(const std::wstring& text) {
  if (text.empty()) return false;
  for (wchar_t c : text)
    if (c < L'0' || c > L'9') return false;
  return true;
}

}  // namespace

using CompleteRun = Ferrulon;

// The first run of a fresh process: its counters are refreshed every 32nd cycle, so the fields end
// with the counts after cycle 2,496 of 2,500.
TEST_F(CompleteRun, CountsDownThenShowsVerdictScoreAndCounts) {
  ASSERT_FALSE(DriveDirectory(L'm').empty()) << "FERRULON_DRIVE_BASE names the test drives";
  ASSERT_FALSE(PathExists(TestFileOn(L'm')));
  ASSERT_NO_FATAL_FAILURE(Select(L'm'));
  const int slot = SlotOf(L'm');
  ClickControl(Control(ui::StartButton));
  ASSERT_TRUE(WaitUntil("Start disabled by the run", 15000, [&] { return !IsEnabledWindow(Control(ui::StartButton)); }));

  // During the run: the drive under test named at x 180, placeholders, the bar counting down.
  // The run makes DriveUnderTestText anew, so it is read until the new one answers.
  const std::wstring underTest = std::wstring(ui::DriveUnderTestLabel) + L"m:\\";
  ASSERT_TRUE(WaitUntil("the drive under test named", 15000, [&] { return Text(ui::DriveUnderTestText) == underTest; }));
  EXPECT_EQ(BoxOf(program_, Control(ui::DriveUnderTestText)), (Box{180, 136, 145, 20}));
  EXPECT_EQ(U8(Text(ui::ScoreText)), U8(ui::Placeholder));
  std::vector<int> positions;
  bool ended = false;
  const ULONGLONG deadline = GetTickCount64() + 300000;
  while (!ended && GetTickCount64() < deadline && IsRunning(program_) && FindMessageBox(program_) == nullptr) {
    // Each reading is answered in one of the run's drains. The bar is read before the banner: a
    // position answered before the verdict was shown is one from the run, not the bar at rest.
    const int position = ProgressOf(program_);
    const std::wstring banner = Text(ui::StatusBanner);
    if (banner == ui::PassedVerdict) {
      ended = true;
    } else if (banner != NoAnswer) {
      ASSERT_EQ(U8(banner), U8(ui::Placeholder)) << "banner during the run";
      if (position >= 0) positions.push_back(position);
    }
  }
  ASSERT_TRUE(ended) << "no green verdict within 300 s; the window showed:\n" << Describe();

  bool between = false;
  for (std::size_t i = 0; i < positions.size(); ++i) {
    EXPECT_TRUE(positions[i] >= 0 && positions[i] <= 500 && positions[i] % 10 == 0) << "position " << positions[i];
    if (i > 0) {
      EXPECT_LE(positions[i], positions[i - 1]) << "the bar only counts down during a run";
    }
    between = between || (positions[i] > 0 && positions[i] < 500);
  }
  EXPECT_TRUE(between) << "the bar showed a pass count during the run (" << positions.size() << " readings)";

  // The end: Start enabled, bar full again, verdict on green, the score, the last refreshed counts.
  ASSERT_TRUE(WaitUntil("Start enabled and the bar full after the run", 15000, [&] {
    return IsEnabledWindow(Control(ui::StartButton)) && ProgressOf(program_) == 500;
  }));
  EXPECT_EQ(U8(Text(ui::StatusBanner)), U8(ui::PassedVerdict));
  EXPECT_TRUE(WaitUntil("the banner painted in pure green (65280)", 10000, [&] { return BannerPixelsAre(ui::SuccessGreen); }))
      << "corner pixel " << std::hex << PixelOf(Control(ui::StatusBanner), 1, 1);
  const std::wstring score = Text(ui::ScoreText);
  EXPECT_TRUE(IsDecimal(score)) << "score text \"" << U8(score) << "\"";
  std::cout << "score of the complete run: " << U8(score) << " ms per pass\n";
  RecordProperty("score", U8(score));
  EXPECT_EQ(U8(StatusText(program_, 0)), " 写入:  30700800");
  EXPECT_EQ(U8(StatusText(program_, 1)), " 验证:  30700800");
  EXPECT_EQ(U8(StatusText(program_, 2)), " 读/写数:  4992");
  for (int field = 0; field < 3; ++field) {
    StatusField read;
    EXPECT_TRUE(ReadStatusField(program_, field, read) && read.borderless) << "field " << field << " borderless";
  }
  EXPECT_EQ(U8(Text(ui::DriveUnderTestText)), U8(underTest));
  EXPECT_EQ(CheckedSlot(), slot) << "the tested drive stays selected";
  EXPECT_FALSE(PathExists(TestFileOn(L'm'))) << "the test file is deleted after every cycle";
  EXPECT_FALSE(PathExists(program_.workDir + L"\\tfile.frl"));
  EXPECT_EQ(U8(Text(ui::StoredScoreText)), U8(ui::Placeholder)) << "nothing is stored without a click";

  // Store score copies the score into a new StoredScoreText at 190, 320.
  ClickControl(Control(ui::StoreScoreButton));
  EXPECT_TRUE(WaitUntil("the stored score showing " + U8(score), 15000, [&] { return Text(ui::StoredScoreText) == score; }));
  EXPECT_EQ(BoxOf(program_, Control(ui::StoredScoreText)), (Box{190, 320, 130, 30}));

  CloseExpectingExitCode0();
}
