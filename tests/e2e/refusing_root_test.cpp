// A drive whose root refuses new files, as an access-control entry set by an administrator or a
// security product makes it: the run shows "可能无法创建文件!", and after OK the window is back at
// rest, nothing is left on the drive and the drive is let go.
#include <aclapi.h>

#include "e2e_fixture.h"

namespace {

// While it lives, nobody may add a file to the drive's root: an entry denying FILE_ADD_FILE to
// Everyone heads the root's access list, and the old list is put back at the end. Wine keeps such
// lists but does not enforce them, so there, when a probe file can still be made, a directory named
// tfile.frl takes the place of the entry: creating the test file then fails with the same error 5.
class RefusedRoot {
 public:
  explicit RefusedRoot(wchar_t letter) : root_(letter + std::wstring(L":\\")) {
    PACL old = nullptr, denying = nullptr;
    BYTE everyone[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof everyone;
    EXPLICIT_ACCESSW deny = {};
    deny.grfAccessPermissions = FILE_ADD_FILE;
    deny.grfAccessMode = DENY_ACCESS;
    deny.grfInheritance = NO_INHERITANCE;
    deny.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    deny.Trustee.ptstrName = reinterpret_cast<LPWSTR>(everyone);
    denied_ = GetNamedSecurityInfoW(root_.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &old,
                                    nullptr, &descriptor_) == ERROR_SUCCESS &&
              CreateWellKnownSid(WinWorldSid, nullptr, everyone, &size) &&
              SetEntriesInAclW(1, &deny, old, &denying) == ERROR_SUCCESS &&
              SetNamedSecurityInfoW(root_.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, denying,
                                    nullptr) == ERROR_SUCCESS;
    old_ = old;
    if (denying != nullptr) LocalFree(denying);
    const std::wstring probe = root_ + L"ferrulon-probe";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    refused_ = file == INVALID_HANDLE_VALUE;
    if (!refused_) {
      CloseHandle(file);
      standIn_ = CreateDirectoryW(TestFileOn(root_[0]).c_str(), nullptr) != FALSE;
    }
  }
  ~RefusedRoot() {
    if (denied_) (void)SetNamedSecurityInfoW(root_.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, old_, nullptr);
    if (descriptor_ != nullptr) LocalFree(descriptor_);
    if (standIn_) (void)RemoveDirectoryW(TestFileOn(root_[0]).c_str());
  }
  bool Refuses() const { return refused_ || standIn_; }
  std::string How() const { return refused_ ? "by its access list" : "by a directory named tfile.frl (access lists unenforced)"; }

 private:
  std::wstring root_;
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  PACL old_ = nullptr;   // inside descriptor_
  bool denied_ = false, refused_ = false, standIn_ = false;
};

}  // namespace

class RefusingRoot : public Ferrulon {};

TEST_F(RefusingRoot, ShowsTheCreateMessageThenRestsWithNothingLeft) {
  const RefusedRoot refused(L'o');
  ASSERT_TRUE(refused.Refuses()) << "the root of o: could not be made to refuse new files";
  RecordProperty("refused", refused.How());
  ASSERT_TRUE(StartRun(program_, L'o', why_)) << Seen();
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor(program_, 30000, [&] { return (box = FindMessageBox(program_)) != nullptr; }, why_))
      << "a message, refused " << refused.How() << ": " << Seen();
  EXPECT_EQ(Utf8(TextOf(box) + L" / " + MessageBoxText(box)), Utf8(ui::InfoCaption + std::wstring(L" / ") + ui::CannotCreateFile));
  ClickControl(GetDlgItem(box, IDOK));
  for (const ULONGLONG until = GetTickCount64() + 10000; IsWindow(box) && GetTickCount64() < until;) Sleep(50);
  ASSERT_TRUE(WaitFor(program_, 30000, [&] { return ShowsReset(); }, why_)) << "after OK, at rest: " << Seen();
  EXPECT_FALSE(GetFileAttributesW(TestFileOn(L'o').c_str()) != INVALID_FILE_ATTRIBUTES &&
               !(GetFileAttributesW(TestFileOn(L'o').c_str()) & FILE_ATTRIBUTE_DIRECTORY))
      << "no tfile.frl made";
  EXPECT_EQ(HandlesOnDrive(program_, L'o'), 0) << "the drive is let go";
  CloseExpectingExitCode0();
}
