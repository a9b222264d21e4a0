// Start, observation and clean-up shared by every end-to-end test.
#include "e2e_fixture.h"

#include <cstdio>

#include "ui/ui.h"

namespace {

// <build>/tests/e2e-shots, next to the folder of this test program.
std::wstring ShotDirectory() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring dir = self;
  for (int up = 0; up < 2; ++up) dir = dir.substr(0, dir.find_last_of(L'\\'));
  dir += L"\\e2e-shots";
  (void)CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

// The fault library's settings file: its own path with .so replaced by .settings.
std::wstring FaultSettingsFile() {
  std::string path = FERRULON_FAULTS;
  path.replace(path.rfind(".so"), 3, ".settings");
  return FromUnixPath(path);
}

std::string Quoted(const std::wstring& text) { return std::string(1, '"') + Utf8(text) + '"'; }

// The program of the test in progress, pictured at the test's first failure, while the window
// still shows what went wrong.
const Program* Pictured = nullptr;
bool PictureTaken = false;

class ShotOnFailure : public ::testing::EmptyTestEventListener {
  void OnTestPartResult(const ::testing::TestPartResult& result) override {
    if (!result.failed() || PictureTaken || Pictured == nullptr || !IsRunning(*Pictured)) return;
    PictureTaken = true;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name() + ".bmp";
    for (char& c : name)
      if (c == '/') c = '-';   // parameterised tests are named Instance/Suite.Test/Case
    const std::wstring shot = ShotDirectory() + L"\\" + Wide(name);
    std::printf("%s%s\n", SaveScreenshot(*Pictured, shot) ? "screenshot: " : "no screenshot saved to ", Utf8(shot).c_str());
  }
};

}  // namespace

std::wstring e2e::DriveDirectory(wchar_t letter) {
  // The test command maps each letter to <FERRULON_DRIVE_BASE>/<letter>, which Wine shows under Z:.
  const std::string base = EnvironmentValue(L"FERRULON_DRIVE_BASE");
  return base.empty() ? L"" : FromUnixPath(base) + L"\\" + letter;
}

std::wstring e2e::TestFileOn(wchar_t letter) { return DriveDirectory(letter) + L"\\tfile.frl"; }

void Ferrulon::SetUp() {
  static const bool listening = (::testing::UnitTest::GetInstance()->listeners().Append(new ShotOnFailure), true);
  (void)listening;
  PictureTaken = false;
  ASSERT_FALSE(DriveDirectory(L'm').empty()) << "FERRULON_DRIVE_BASE names the test drives";
  (void)DeleteFileW(FaultSettingsFile().c_str());
  const std::vector<std::string> settings = FaultSettings();
  if (!settings.empty()) {
    ASSERT_NE(EnvironmentValue(L"LD_PRELOAD").find("tfile_faults"), std::string::npos)
        << "the fault library is preloaded (run through ctest, which sets LD_PRELOAD)";
    FILE* file = _wfopen(FaultSettingsFile().c_str(), L"wb");
    ASSERT_NE(file, nullptr) << "the fault settings could not be written to " << Utf8(FaultSettingsFile());
    for (const std::string& setting : settings) std::fprintf(file, "%s\n", setting.c_str());
    ASSERT_EQ(std::fclose(file), 0);
  }
  std::wstring failure;
  ASSERT_TRUE(StartProgram(FromUnixPath(FERRULON_EXE), program_, failure)) << Utf8(failure);
  Pictured = &program_;
}

void Ferrulon::TearDown() {
  Pictured = nullptr;
  EndProgram(program_);
  (void)DeleteFileW(FaultSettingsFile().c_str());
}

bool Ferrulon::WaitUntil(const std::string& expected, DWORD timeoutMs, const std::function<bool()>& condition) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  std::string trouble = "it did not happen within " + std::to_string(timeoutMs / 1000) + " s";
  while (!condition()) {
    if (!IsRunning(program_)) {
      trouble = "the program ended with exit code " + std::to_string(WaitForExit(program_, 0));
    } else if (FindMessageBox(program_) != nullptr) {
      trouble = "a message box appeared instead";
    } else if (GetTickCount64() < deadline) {
      Sleep(100);
      continue;
    }
    ADD_FAILURE() << "expected: " << expected << "\nbut " << trouble << "; the window showed:\n" << Describe();
    return false;
  }
  return true;
}

HWND Ferrulon::WaitForMessageBox(DWORD timeoutMs) {
  HWND box = nullptr;
  return WaitUntil("a message box", timeoutMs, [&] { return (box = FindMessageBox(program_)) != nullptr; }) ? box : nullptr;
}

std::wstring Ferrulon::WaitForVerdict(DWORD timeoutMs) {
  std::wstring banner;
  return WaitUntil("a verdict in the banner", timeoutMs, [&] {
    banner = Text(ui::StatusBanner);
    return banner == ui::PassedVerdict || banner == ui::FailedVerdict;
  }) ? banner : L"";
}

void Ferrulon::DismissMessageBox(HWND box) {
  ClickOk(box);
  const ULONGLONG deadline = GetTickCount64() + 15000;
  while (IsWindow(box) && IsWindowVisible(box) && GetTickCount64() < deadline) Sleep(50);
  ASSERT_FALSE(IsWindow(box) && IsWindowVisible(box)) << "the message box is still open 15 s after a click on OK";
}

std::string Ferrulon::Describe() {
  if (!IsRunning(program_)) return "(the program has ended)\n";
  std::string out;
  if (HWND box = FindMessageBox(program_)) out += "message box " + Quoted(TextOf(box)) + ": " + Quoted(MessageBoxText(box)) + "\n";
  // Texts as the window server keeps them, so that a busy program does not slow this down.
  for (HWND child : Children(program_.window)) {
    out += "  " + std::to_string(GetDlgCtrlID(child)) + (IsShown(child) ? "" : " hidden") +
           (IsEnabledWindow(child) ? " " : " disabled ") + Quoted(KeptTextOf(child)) + "\n";
  }
  out += "  checked slot " + std::to_string(CheckedSlot()) + ", bar at " + std::to_string(ProgressOf(program_)) + "\n";
  for (int field = 0; field < 3; ++field) out += "  status field " + Quoted(StatusText(program_, field)) + "\n";
  return out;
}

int Ferrulon::SlotOf(wchar_t letter) {
  const std::wstring label = std::wstring(L" ") + letter + L":\\";
  for (int i = 0; i < ui::DriveSlots; ++i)
    if (Text(ui::DriveOption0 + i) == label) return i;
  return -1;
}

void Ferrulon::Select(wchar_t letter) {
  const int slot = SlotOf(letter);
  ASSERT_GE(slot, 0) << "no drive slot is labelled \" " << static_cast<char>(letter) << ":\\\"";
  HWND option = Control(ui::DriveOption0 + slot);
  ClickControl(option);
  ASSERT_TRUE(WaitUntil("slot " + std::to_string(slot) + " checked", 10000, [&] { return CheckOf(option) == BST_CHECKED; }));
}

int Ferrulon::CheckedSlot() {
  int checked = -1;
  for (int i = 0; i < ui::DriveSlots; ++i) {
    const int check = CheckOf(Control(ui::DriveOption0 + i));
    if (check < 0) return -2;
    if (check == BST_CHECKED) checked = i;
  }
  return checked;
}

bool Ferrulon::BannerPixelsAre(COLORREF color) {
  HWND banner = Control(ui::StatusBanner);
  RECT r = {};
  GetClientRect(banner, &r);
  return PixelOf(banner, 1, 1) == color && PixelOf(banner, r.right - 2, 1) == color &&
         PixelOf(banner, 1, r.bottom - 2) == color && PixelOf(banner, r.right - 2, r.bottom - 2) == color;
}

void Ferrulon::CloseExpectingExitCode0() {
  ASSERT_TRUE(ClickCloseBox(program_)) << "no close box found in the caption";
  const DWORD code = WaitForExit(program_, 15000);
  ASSERT_NE(code, static_cast<DWORD>(STILL_ACTIVE)) << "the program still runs 15 s after a click on its close box\n"
                                                    << Describe();
  EXPECT_EQ(code, 0u);
}

void Ferrulon::ExpectResetState(wchar_t letter) {
  ASSERT_TRUE(WaitUntil("the reset window: Start enabled, no drive under test", 30000, [&] {
    return IsEnabledWindow(Control(ui::StartButton)) && Text(ui::DriveUnderTestText) == ui::DriveUnderTestLabel;
  }));
  EXPECT_EQ(CheckedSlot(), -1) << "no drive slot selected";
  EXPECT_EQ(U8(Text(ui::ScoreText)), U8(ui::Placeholder));
  EXPECT_EQ(U8(Text(ui::StatusBanner)), U8(ui::Placeholder));
  EXPECT_EQ(U8(StatusText(program_, 0)), U8(ui::WrittenLabel));
  EXPECT_FALSE(letter != 0 && PathExists(TestFileOn(letter))) << "tfile.frl left on " << static_cast<char>(letter) << ":";
}
