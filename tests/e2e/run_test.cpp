// One complete run of the benchmark on a healthy test drive, its requests counted at the system
// calls, and what the window offers and shows.
#include <cwchar>
#include <vector>

#include "e2e_fixture.h"

class CompleteRun : public Ferrulon {
  std::string FaultSettings() const override { return Faulting(UnixDrive(L'm') + "/tfile.frl", "count"); }
};

// With the nine test drives the session lists more than seven drives: the window offers the first
// seven in list order, and no more. The first run of a fresh process refreshes its counters every
// 32nd cycle, so the fields end with the counts after cycle 2,496 of 2,500. Early in the run another
// program (this one) holds the test file for 300 ms, as a virus scanner might: the run goes on.
TEST_F(CompleteRun, SevenDriveSlotsThenGreenWithScoreCountsAndTheRequestPattern) {
  wchar_t roots[512] = {};   // "C:\", ... as the program lists them, which slots show as " c:\"
  CharLowerBuffW(roots, GetLogicalDriveStringsW(511, roots));
  std::vector<std::string> listed, shown;
  for (const wchar_t* root = roots; *root != 0; root += std::wcslen(root) + 1) listed.push_back(U8(L" " + std::wstring(root)));
  ASSERT_GE(listed.size(), 10u) << "c: and the nine test drives are listed";
  listed.resize(ui::DriveSlots);
  for (int i = 0; i <= ui::DriveSlots; ++i) {
    HWND slot = Control(ui::DriveOption0 + i);
    if (slot != nullptr) shown.push_back(U8(TextOf(slot)) + (IsShown(slot) && IsEnabledWindow(slot) ? "" : " (hidden or disabled)"));
  }
  EXPECT_EQ(shown, listed);

  ASSERT_TRUE(StartRun(program_, L'm', why_)) << Seen();
  bool held = false;   // the file caught between two of the program's own opens, and held
  for (const ULONGLONG until = GetTickCount64() + 60000; !held && GetTickCount64() < until;) {
    HANDLE file = CreateFileW(TestFileOn(L'm').c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) held = (Sleep(300), CloseHandle(file) != FALSE);
  }
  EXPECT_TRUE(held) << "the test file was held for 300 ms";
  ASSERT_EQ(U8(WaitForVerdict(program_, 300000, why_)), U8(ui::PassedVerdict)) << Seen();
  ASSERT_TRUE(WaitForVerdictShown(program_, ui::PassedVerdict, why_)) << Seen();
  EXPECT_EQ(UnderWine() ? DescriptorsOn(UnixDrive(L'm')) : 0, 0) << "the tested drive is let go";
  const std::wstring score = Text(ui::ScoreText);
  EXPECT_TRUE(!score.empty() && score[0] != L'0' && score.find_first_not_of(L"0123456789") == std::wstring::npos)
      << "score \"" << U8(score) << "\": whole milliseconds per pass";
  EXPECT_EQ(U8(StatusText(program_, 0) + L"|" + StatusText(program_, 1) + L"|" + StatusText(program_, 2)),
            " 写入:  30700800| 验证:  30700800| 读/写数:  4992");
  EXPECT_FALSE(PathExists(TestFileOn(L'm'))) << "the test file is deleted after every cycle";
  CloseExpectingExitCode0();
  if (!FaultLibraryLoaded()) GTEST_SKIP() << NoFaultLibrary << "; only the request and descriptor counts are unchecked";
  // 2,500 files, each written in 200 requests (100 lines of 123 bytes, each with its CR LF) and
  // read back one byte a request: nothing buffers, joins or splits them on the way to the drive.
  EXPECT_EQ(RequestLog(), "reads 31250000 bytes1 31250000 writes 500000 passes 2500 written 31250000");
}
