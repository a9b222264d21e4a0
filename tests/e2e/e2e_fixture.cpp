// Start, observation and clean-up shared by every end-to-end test.
#include "e2e_fixture.h"

#include <cstdio>
#include <iostream>
#include <sstream>

#include "ui/ui.h"


namespace {

// FERRULON_EXE is the build's path of ferrulon.exe; a Unix path is reached through Wine's Z:.
std::wstring ProgramPath() {
  const std::string built = FERRULON_EXE;
  std::wstring path = built.starts_with('/') ? L"Z:" : L"";
  path.append(built.begin(), built.end());
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

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

std::string Quoted(const std::wstring& text) { return std::string(1, '"') + Utf8(text) + '"'; }

// The fault library's settings file: its own path with .so replaced by .settings.
std::wstring FaultSettingsFile() {
  std::string path = FERRULON_FAULTS;
  path.replace(path.rfind(".so"), 3, ".settings");
  return FromUnixPath(path);
}

}  // namespace

void PrintTo(const Box& box, std::ostream* os) {
  *os << "{x " << box.x << ", y " << box.y << ", " << box.width << " wide, " << box.height << " high}";
}

Box BoxOf(const Program& program, HWND control) {
  const RECT rect = ClientRectOf(program, control);
  return Box{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

std::wstring e2e::DriveDirectory(wchar_t letter) {
  // The test command maps each drive letter to <FERRULON_DRIVE_BASE>/<letter>, a Unix directory
  // that Wine also shows under Z:.
  const std::string base = EnvironmentValue(L"FERRULON_DRIVE_BASE");
  if (base.empty()) return L"";
  return FromUnixPath(base) + L"\\" + letter;
}

std::wstring TestFileOn(wchar_t letter) { return DriveDirectory(letter) + L"\\tfile.frl"; }

std::int64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

namespace {

// The program of the test in progress, pictured at the first failure of each test, while the
// window still shows what went wrong.
const Program* Pictured = nullptr;
bool PictureTaken = false;

class ShotOnFailure : public ::testing::EmptyTestEventListener {
  void OnTestPartResult(const ::testing::TestPartResult& result) override {
    if (!result.failed() || PictureTaken || Pictured == nullptr || Pictured->window == nullptr || !IsRunning(*Pictured))
      return;
    PictureTaken = true;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name() + ".bmp";
    for (char& c : name)
      if (c == '/') c = '-';   // parameterised tests are named Instance/Suite.Test/Case
    const std::wstring shot = ShotDirectory() + L"\\" + std::wstring(name.begin(), name.end());
    std::cout << (SaveScreenshot(*Pictured, shot) ? "screenshot: " : "no screenshot could be saved to ") << Utf8(shot)
              << std::endl;
  }
};

}  // namespace

void Ferrulon::SetUp() {
  static bool listening = false;
  if (!listening) {
    ::testing::UnitTest::GetInstance()->listeners().Append(new ShotOnFailure);
    listening = true;
  }
  PictureTaken = false;
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
  ASSERT_TRUE(StartProgram(ProgramPath(), program_, failure)) << Utf8(failure);
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
  for (;;) {
    if (condition()) return true;
    if (!IsRunning(program_)) {
      trouble = "the program ended with exit code " + std::to_string(WaitForExit(program_, 0));
      break;
    }
    if (FindMessageBox(program_) != nullptr) {
      trouble = "a message box appeared instead";
      break;
    }
    if (GetTickCount64() >= deadline) break;
    Sleep(100);
  }
  ADD_FAILURE() << "expected: " << expected << "\nbut " << trouble << "; the window showed:\n" << Describe();
  return false;
}

HWND Ferrulon::WaitForMessageBox(DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (GetTickCount64() < deadline && IsRunning(program_)) {
    if (HWND box = FindMessageBox(program_)) return box;
    Sleep(100);
  }
  ADD_FAILURE() << "expected a message box within " << timeoutMs / 1000 << " s; the window showed:\n" << Describe();
  return nullptr;
}

void Ferrulon::DismissMessageBox(HWND box) {
  ClickOk(box);
  const ULONGLONG deadline = GetTickCount64() + 15000;
  while (IsWindow(box) && IsWindowVisible(box) && GetTickCount64() < deadline) Sleep(50);
  ASSERT_FALSE(IsWindow(box) && IsWindowVisible(box)) << "the message box is still open 15 s after a click on OK";
}

std::string Ferrulon::Describe() {
  std::ostringstream out;
  if (!IsRunning(program_)) return "(the program has ended)\n";
  if (HWND box = FindMessageBox(program_)) {
    out << "message box " << Quoted(TextOf(box)) << ": " << Quoted(MessageBoxText(box)) << "\n";
  }
  // Texts as the window server keeps them, so that a busy program does not slow this down.
  for (HWND child : Children(program_.window)) {
    const RECT r = ClientRectOf(program_, child);
    out << "  " << GetDlgCtrlID(child) << " " << Utf8(ClassOf(child)) << " at " << r.left << "," << r.top << " "
        << r.right - r.left << "x" << r.bottom - r.top << (IsShown(child) ? "" : " hidden")
        << (IsEnabledWindow(child) ? "" : " disabled") << " " << Quoted(KeptTextOf(child)) << "\n";
  }
  LRESULT ignored = 0;
  if (!Ask(program_.window, WM_NULL, 0, 0, ignored)) return out.str() + "  (the program does not answer messages)\n";
  out << "  checked slot " << CheckedSlot() << ", bar at " << ProgressOf(program_) << "\n";
  for (int field = 0; field < 3; ++field) out << "  status field " << field << " " << Quoted(StatusText(program_, field)) << "\n";
  return out.str();
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
  ASSERT_TRUE(WaitUntil(std::string("slot ") + std::to_string(slot) + " checked", 10000,
                        [&] { return CheckOf(option) == BST_CHECKED; }));
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
  ASSERT_NE(code, static_cast<DWORD>(STILL_ACTIVE)) << "the program still runs 15 s after its close box was clicked\n"
                                                    << Describe();
  EXPECT_EQ(code, 0u);
}

void Ferrulon::ExpectResetState(wchar_t letter) {
  ASSERT_TRUE(WaitUntil("the reset window: Start enabled, \"驱动器测试: \" at x 190", 30000, [&] {
    return IsEnabledWindow(Control(ui::StartButton)) && Text(ui::DriveUnderTestText) == ui::DriveUnderTestLabel &&
           BoxOf(program_, Control(ui::DriveUnderTestText)).x == 190;
  }));
  EXPECT_EQ(BoxOf(program_, Control(ui::DriveUnderTestText)), (Box{190, 136, 145, 20}));
  EXPECT_EQ(CheckedSlot(), -1) << "no drive slot selected";
  EXPECT_EQ(U8(Text(ui::ScoreText)), U8(ui::Placeholder));
  EXPECT_EQ(BoxOf(program_, Control(ui::ScoreText)), (Box{195, 202, 130, 30}));
  EXPECT_EQ(U8(Text(ui::StatusBanner)), U8(ui::Placeholder));
  EXPECT_TRUE(WaitUntil("the banner painted in 0xEEEEEE", 10000, [&] { return BannerPixelsAre(ui::NeutralGrey); }));
  EXPECT_EQ(U8(StatusText(program_, 0)), U8(ui::WrittenLabel));
  EXPECT_EQ(U8(StatusText(program_, 1)), U8(ui::VerifiedLabel));
  EXPECT_EQ(U8(StatusText(program_, 2)), U8(ui::FileOpsLabel));
  EXPECT_EQ(ProgressOf(program_), 500);
  if (letter != 0) {
    EXPECT_FALSE(PathExists(TestFileOn(letter))) << "tfile.frl left on " << static_cast<char>(letter) << ":";
  }
}

