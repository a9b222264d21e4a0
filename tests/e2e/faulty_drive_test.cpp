// Faulty drives made from outside the unmodified program. The fault library (tests/faults) alters
// read() and write() on one drive's test file: a byte flipped, data ending early, a full drive; each
// ends the run red with the failing cycle's file left on the drive. A drive that refuses the file
// or has vanished since start-up is told in a message, and the window is ready again.
#include <cstdio>

#include "e2e_fixture.h"
#include "ui/ui.h"

namespace {

constexpr wchar_t FaultyLetter = L'n';

struct Fault {
  const char* name;
  const char* fault;         // FERRULON_FAULT of the library, or "blocked" or "vanished"
  const wchar_t* message;    // the one message shown; null: the red verdict instead
  const char* left;          // tfile.frl after the program has ended
};

// The n-th file of a run starts with the reversed line ("z...") when n is odd, "0..." when even.
const Fault Faults[] = {
    // Cycle 64 (the 14th of pass 2) reads back line 57 with one bit of its 11th character flipped.
    {"FlippedByte", "flip:64:7135", nullptr, "12500 bytes, first 0"},
    // The first read-back ends after 60 characters of line 48.
    {"DataEndsEarly", "cut:1:6060", nullptr, "12500 bytes, first z"},
    // Room for 6,060 bytes: the write of line 48 is cut short, every later write fails.
    {"DriveFull", "full:6060", nullptr, "6060 bytes, first z"},
    // A directory named tfile.frl in the root: the file can be neither made nor opened nor deleted.
    {"ReadOnlyDrive", "blocked", ui::CannotCreateFile, "a directory"},
    // The drive's directory is removed after start-up: its link dangles, the root cannot be entered.
    {"VanishedDrive", "vanished", ui::CannotAccessDrive, "nothing"},
};

void PrintTo(const Fault& fault, std::ostream* os) { *os << fault.name << " (" << fault.fault << ")"; }

// What a path holds: "nothing", "a directory", or a file's size and first character.
std::string Left(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return "nothing";
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return "a directory";
  std::string left = std::to_string(data.nFileSizeLow) + " bytes";
  if (FILE* file = _wfopen(path.c_str(), L"rb")) {
    const int first = std::fgetc(file);
    if (first != EOF) left += std::string(", first ") + static_cast<char>(first);
    std::fclose(file);
  }
  return left;
}

}  // namespace

class FaultyDrive : public Ferrulon, public ::testing::WithParamInterface<Fault> {
 protected:
  std::vector<std::string> FaultSettings() const override {
    if (std::string(GetParam().fault).find(':') == std::string::npos) return {};
    const std::string drive = EnvironmentValue(L"FERRULON_DRIVE_BASE") + "/" + static_cast<char>(FaultyLetter);
    return {"FERRULON_FAULT_FILE=" + drive + "/tfile.frl", std::string("FERRULON_FAULT=") + GetParam().fault};
  }
};

TEST_P(FaultyDrive, IsToldAndLeavesTheFailingFile) {
  const Fault& fault = GetParam();
  const std::wstring drive = DriveDirectory(FaultyLetter), testFile = TestFileOn(FaultyLetter);
  AtTestEnd cleanUp{[&] {
    (void)DeleteFileW(testFile.c_str());
    (void)RemoveDirectoryW(testFile.c_str());
    (void)CreateDirectoryW(drive.c_str(), nullptr);
  }};
  const std::string how = fault.fault;
  ASSERT_TRUE(how != "blocked" || CreateDirectoryW(testFile.c_str(), nullptr)) << "a directory in tfile.frl's place";
  ASSERT_TRUE(how != "vanished" || RemoveDirectoryW(drive.c_str())) << "the drive's directory removed";

  ASSERT_NO_FATAL_FAILURE(Select(FaultyLetter));
  ClickControl(Control(ui::StartButton));
  if (fault.message != nullptr) {
    HWND box = WaitForMessageBox(20000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(U8(TextOf(box)), U8(ui::InfoCaption));
    EXPECT_EQ(U8(MessageBoxText(box)), U8(fault.message));
    ASSERT_NO_FATAL_FAILURE(DismissMessageBox(box));
    // Told once: no second message, no run going on or named, no verdict.
    ASSERT_TRUE(WaitUntil("Start enabled, no drive under test", 15000, [&] {
      return IsEnabledWindow(Control(ui::StartButton)) && Text(ui::DriveUnderTestText) == ui::DriveUnderTestLabel;
    }));
    EXPECT_EQ(U8(Text(ui::StatusBanner)), U8(ui::Placeholder));
  } else {
    ASSERT_EQ(U8(WaitForVerdict(60000)), U8(ui::FailedVerdict));
    EXPECT_TRUE(WaitUntil("the banner painted red", 10000, [&] { return BannerPixelsAre(ui::FailureRed); }))
        << "corner pixel " << std::hex << PixelOf(Control(ui::StatusBanner), 1, 1);
    EXPECT_FALSE(IsEnabledWindow(Control(ui::StartButton)));
  }
  EXPECT_EQ(U8(Text(ui::ScoreText)), U8(ui::Placeholder));
  CloseExpectingExitCode0();
  EXPECT_EQ(Left(testFile), fault.left);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultyDrive, ::testing::ValuesIn(Faults),
                         [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });
