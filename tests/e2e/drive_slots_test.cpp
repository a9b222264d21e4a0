// More drives than slots: the session has c:, the nine test drives m: to u: and z:, so the window
// offers exactly seven of them, the first seven by letter, and the seventh slot tests the seventh.
#include <cstdio>

#include "e2e_fixture.h"
#include "ui/ui.h"


namespace {

constexpr std::int64_t RequestsPerPass[] = {50 * 12500, 50 * 200};   // reads, writes

std::string CountLog() { return EnvironmentValue(L"FERRULON_DRIVE_BASE") + "/slot-requests.log"; }

// The directory's last change; creating or deleting a file in it moves this on.
ULONGLONG LastWrite(const std::wstring& dir) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(dir.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

}  // namespace

// The requests on the seventh drive's test file are counted by the fault library, preloaded into the
// program's Unix process in its counting mode.
class DriveSlots : public Ferrulon {
 protected:
  void SetUp() override {
    letters_ = Wide(EnvironmentValue(L"FERRULON_TEST_DRIVES"));
    ASSERT_EQ(letters_.size(), 9u) << "nine test drives are mapped";
    (void)DeleteFileW(FromUnixPath(CountLog()).c_str());
    Ferrulon::SetUp();
  }
  std::vector<std::string> FaultSettings() const override {
    const std::string seventh = EnvironmentValue(L"FERRULON_DRIVE_BASE") + "/" + static_cast<char>(letters_[5]);
    return {"FERRULON_FAULT_FILE=" + seventh + "/tfile.frl", "FERRULON_FAULT=count", "FERRULON_FAULT_LOG=" + CountLog()};
  }
  std::wstring letters_;   // the test drives, m to u
};

TEST_F(DriveSlots, NineDrivesFillSevenSlotsByLetterAndTheSeventhIsTested) {
  // c: first, then the test drives by letter; the seventh slot is the sixth test drive.
  const std::wstring offered = L"c" + letters_.substr(0, 6);
  for (int i = 0; i < ui::DriveSlots; ++i) {
    SCOPED_TRACE("slot " + std::to_string(i + 1));
    HWND slot = Control(ui::DriveOption0 + i);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(U8(Text(ui::DriveOption0 + i)), U8(std::wstring(L" ") + offered[i] + L":\\"));
    EXPECT_TRUE(IsShown(slot) && IsEnabledWindow(slot));
  }
  EXPECT_EQ(Control(ui::DriveOption0 + ui::DriveSlots), nullptr) << "no eighth slot";
  const wchar_t seventh = offered[6];

  std::vector<ULONGLONG> before;
  for (wchar_t letter : letters_) before.push_back(LastWrite(DriveDirectory(letter)));
  HWND slot7 = Control(ui::DriveOption0 + 6);
  ClickControl(slot7);
  ASSERT_TRUE(WaitUntil("slot 7 checked", 10000, [&] { return CheckOf(slot7) == BST_CHECKED; }));
  ClickControl(Control(ui::StartButton));
  const std::wstring underTest = std::wstring(ui::DriveUnderTestLabel) + seventh + L":\\";
  ASSERT_TRUE(WaitUntil("the drive under test named", 15000, [&] { return Text(ui::DriveUnderTestText) == underTest; }));
  ASSERT_TRUE(WaitUntil("one pass done", 60000, [&] {
    const int position = ProgressOf(program_);
    return position >= 0 && position <= 490;
  }));
  ClickControl(Control(ui::StopButton));
  ASSERT_NO_FATAL_FAILURE(ExpectResetState(seventh));
  CloseExpectingExitCode0();

  // Only the seventh drive was written, and its test file saw whole passes of cycles.
  for (std::size_t i = 0; i < letters_.size(); ++i) {
    if (letters_[i] == seventh) {
      EXPECT_NE(LastWrite(DriveDirectory(letters_[i])), before[i]) << "the tested drive";
    } else {
      EXPECT_EQ(LastWrite(DriveDirectory(letters_[i])), before[i]) << static_cast<char>(letters_[i]) << ": written";
    }
  }
  FILE* log = _wfopen(FromUnixPath(CountLog()).c_str(), L"r");
  ASSERT_NE(log, nullptr) << "the fault library left no count in " << CountLog();
  long long reads = -1, oneByte = -1, writes = -1, passes = -1;
  const int fields = std::fscanf(log, "reads %lld bytes1 %lld writes %lld passes %lld", &reads, &oneByte, &writes, &passes);
  std::fclose(log);
  ASSERT_EQ(fields, 4);
  ASSERT_GT(passes, 0) << "read-backs of " << static_cast<char>(seventh) << ":'s test file";
  EXPECT_EQ(passes % 50, 0) << "Stop ends the run at a pass boundary";
  EXPECT_EQ(reads, passes / 50 * RequestsPerPass[0]);
  EXPECT_EQ(writes, passes / 50 * RequestsPerPass[1]);
}
