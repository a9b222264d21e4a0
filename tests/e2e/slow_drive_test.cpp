// A slow drive, made by the fault library: each open of the test file waits 75 ms before its first
// transfer, so a pass lasts over 7 s. Mid-pass the window must not count as hung; after Stop nothing
// of the program holds the drive. (That Stop and the close box act only at the end of a pass: the
// window tests' generated user input.)
#include "e2e_fixture.h"

class SlowDrive : public Ferrulon {
  std::string FaultSettings() const override { return "/n/tfile.frl slow:75"; }
};

TEST_F(SlowDrive, AnswersMidPassAndLetsTheDriveGoAfterStop) {
  if (!UnderWine()) GTEST_SKIP() << "needs the fault library, under Wine only";
  ASSERT_TRUE(StartRun(program_, L'n', why_)) << Seen();
  Sleep(1062 + 6000);  // the settle delay, then six seconds into the first pass
  EXPECT_FALSE(IsHungAppWindow(program_.window)) << "Windows would ghost the window as not responding";
  ClickControl(Control(ui::StopButton));
  ASSERT_TRUE(WaitFor(program_, 60000, why_, [&] { return ShowsReset(); })) << Seen();
  EXPECT_EQ(HandlesOnDrive(program_, L'n'), 0) << "the stopped run's drive is let go";
  CloseExpectingExitCode0();
}
