// Drives that cannot take the test: the test file cannot be created, or the drive's directory is
// gone since start-up. Each is told once, and the window is left ready for another try.
#include "e2e_fixture.h"
#include "ui/ui.h"


namespace {

// Undoes a change to a test drive when the test ends, also after a failure.
struct Restore {
  std::function<void()> undo;
  ~Restore() { undo(); }
};

}  // namespace

using DriveFault = Ferrulon;

TEST_F(DriveFault, UncreatableTestFileIsToldOnceAndRunEnds) {
  const std::wstring blocker = TestFileOn(L'r');
  ASSERT_FALSE(DriveDirectory(L'r').empty()) << "FERRULON_DRIVE_BASE names the test drives";
  // A directory named like the test file makes its creation fail.
  ASSERT_TRUE(CreateDirectoryW(blocker.c_str(), nullptr)) << "error " << GetLastError();
  Restore restore{[&] { (void)RemoveDirectoryW(blocker.c_str()); }};

  ASSERT_NO_FATAL_FAILURE(Select(L'r'));
  ClickControl(Control(ui::StartButton));
  HWND box = WaitForMessageBox(20000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(U8(TextOf(box)), U8(ui::InfoCaption));
  EXPECT_EQ(U8(MessageBoxText(box)), U8(ui::CannotCreateFile));
  ASSERT_NO_FATAL_FAILURE(DismissMessageBox(box));

  // No second message (such as the one for a file that cannot be opened): the run ended.
  ASSERT_NO_FATAL_FAILURE(ExpectResetState(0));
  EXPECT_EQ(FindMessageBox(program_), nullptr);
  EXPECT_NE(U8(Text(ui::StatusBanner)), U8(ui::PassedVerdict));
  EXPECT_EQ(U8(Text(ui::ScoreText)), U8(ui::Placeholder));
  const DWORD attributes = GetFileAttributesW(blocker.c_str());
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));

  CloseExpectingExitCode0();
}

TEST_F(DriveFault, VanishedDriveIsToldAndNoRunStarts) {
  // The drive was there at start-up; its directory goes away now, so the drive cannot be entered.
  const std::wstring drive = DriveDirectory(L'q');
  ASSERT_FALSE(drive.empty()) << "FERRULON_DRIVE_BASE names the test drives";
  ASSERT_TRUE(RemoveDirectoryW(drive.c_str())) << "error " << GetLastError();
  Restore restore{[&] { (void)CreateDirectoryW(drive.c_str(), nullptr); }};

  ASSERT_NO_FATAL_FAILURE(Select(L'q'));
  ClickControl(Control(ui::StartButton));
  HWND box = WaitForMessageBox(20000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(U8(TextOf(box)), U8(ui::InfoCaption));
  EXPECT_EQ(U8(MessageBoxText(box)), U8(ui::CannotAccessDrive));
  ASSERT_NO_FATAL_FAILURE(DismissMessageBox(box));

  ASSERT_TRUE(WaitUntil("Start enabled again", 15000, [&] { return IsEnabledWindow(Control(ui::StartButton)); }));
  // The refused drive stays chosen on screen, so the user sees which one failed and can retry.
  EXPECT_EQ(CheckedSlot(), SlotOf(L'q'));
  EXPECT_EQ(U8(Text(ui::DriveUnderTestText)), U8(ui::DriveUnderTestLabel)) << "no run named the drive";
  EXPECT_EQ(U8(Text(ui::StatusBanner)), U8(ui::Placeholder));
  EXPECT_EQ(U8(Text(ui::ScoreText)), U8(ui::Placeholder));
  EXPECT_EQ(ProgressOf(program_), 500);
  EXPECT_EQ(U8(StatusText(program_, 0)), U8(ui::WrittenLabel));

  // Nothing written anywhere: not in the directory the program started in, not on any test drive.
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((program_.workDir + L"\\*").c_str(), &entry);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  do {
    const std::wstring name = entry.cFileName;
    EXPECT_TRUE(name == L"." || name == L"..") << "found " << U8(name) << " in the starting directory";
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  for (wchar_t letter = L'm'; letter <= L'u'; ++letter) EXPECT_FALSE(PathExists(TestFileOn(letter))) << static_cast<char>(letter);
  EXPECT_FALSE(PathExists(L"C:\\tfile.frl"));

  CloseExpectingExitCode0();
}
