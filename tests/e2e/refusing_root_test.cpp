// A drive whose root refuses new files, as an access-control entry set by an administrator or a
// security product makes it: the run shows "可能无法创建文件!", and after OK the window is back at
// rest, nothing is left on the drive and the drive is let go.
#include <stdlib.h>

#include "e2e_fixture.h"

namespace {

bool CanAddFileTo(const std::wstring& root) {
  HANDLE file = CreateFileW((root + L"ferrulon-probe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  return file != INVALID_HANDLE_VALUE && CloseHandle(file);
}

}  // namespace

class RefusingRoot : public Ferrulon {};

// Everyone is denied adding a file (WD) to o:'s root, and the entry removed at the end. Wine keeps
// access lists but does not enforce them: where a probe file can still be made, a directory named
// tfile.frl stands in, and creating the test file fails with the same error 5.
TEST_F(RefusingRoot, ShowsTheCreateMessageThenRestsWithNothingLeft) {
  const std::wstring root = L"o:\\", icacls = L"icacls " + root, everyone = L" *S-1-1-0";
  (void)_wsystem((icacls + L" /deny" + everyone + L":(WD) >NUL").c_str());
  const bool byAccessList = !CanAddFileTo(root),
             byDirectory = !byAccessList && CreateDirectoryW(TestFileOn(L'o').c_str(), nullptr);
  struct Undo {
    std::function<void()> undo;
    ~Undo() { undo(); }
  } undo{[&] {
    (void)_wsystem((icacls + L" /remove:d" + everyone + L" >NUL").c_str());
    if (byDirectory) (void)RemoveDirectoryW(TestFileOn(L'o').c_str());
  }};
  ASSERT_TRUE(byAccessList || byDirectory) << "the root of o: could not be made to refuse new files";
  RecordProperty("refused", byAccessList ? "by its access list" : "by a directory named tfile.frl");

  ASSERT_TRUE(StartRun(program_, L'o', why_)) << Seen();
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor(program_, 30000, why_, [&] { return (box = FindMessageBox(program_)) != nullptr; })) << Seen();
  EXPECT_EQ(Utf8(TextOf(box) + L" / " + MessageBoxText(box)),
            Utf8(ui::InfoCaption + std::wstring(L" / ") + ui::CannotCreateFile));
  ClickControl(GetDlgItem(box, IDOK));
  for (const ULONGLONG until = GetTickCount64() + 10000; IsWindow(box) && GetTickCount64() < until;) Sleep(50);
  ASSERT_TRUE(WaitFor(program_, 30000, why_, [&] { return ShowsReset(); })) << "after OK, at rest: " << Seen();
  const DWORD left = GetFileAttributesW(TestFileOn(L'o').c_str());
  EXPECT_TRUE(left == INVALID_FILE_ATTRIBUTES || (left & FILE_ATTRIBUTE_DIRECTORY)) << "no tfile.frl made";
  EXPECT_EQ(HandlesOnDrive(program_, L'o'), 0) << "the drive is let go";
  CloseExpectingExitCode0();
}
