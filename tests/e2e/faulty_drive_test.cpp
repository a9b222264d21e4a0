// Faulty drives made from outside the unmodified program. The fault library flips a byte that
// read() returns from the test file: the run ends red with the failing cycle's file left on the
// drive. A drive that refuses the file, or a test file that another program holds for longer than
// the program waits, is told in one message, and the window is ready again. (A drive that cannot be
// entered: the window tests; drives that fail in every other way: the core tests' hostile drives.)
#include <cstdio>

#include "e2e_fixture.h"

namespace {

constexpr wchar_t FaultyLetter = L'n';

struct Fault {
  const char* name;
  const char* fault;         // of the fault library; "blocked" and "held" are none of its
  const wchar_t* message;    // the one message shown; null: the red verdict instead
  const char* left;          // tfile.frl after the program has ended
};

// The n-th file of a run starts with the reversed line ("z...") when n is odd, "0..." when even.
const Fault Faults[] = {
    {"FlippedByte", "flip:64:7135", nullptr, "12500 bytes, first 0"},   // file 64: line 57, 11th character
    {"ReadOnlyDrive", "blocked", ui::CannotCreateFile, "a directory"},  // a directory named tfile.frl
    {"HeldByAnotherProgram", "held", ui::CannotCreateFile, "nothing"},  // this one, until the message shows
};

void PrintTo(const Fault& fault, std::ostream* os) { *os << fault.name << " (" << fault.fault << ")"; }

// What a path holds: "nothing", "a directory", or a file's size and first character.
std::string Left(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return "nothing";
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return "a directory";
  char first = '?';
  if (FILE* file = _wfopen(path.c_str(), L"rb")) first = static_cast<char>(std::fgetc(file)), std::fclose(file);
  return std::to_string(data.nFileSizeLow) + " bytes, first " + first;
}

}  // namespace

class FaultyDrive : public Ferrulon, public ::testing::WithParamInterface<Fault> {
 protected:
  std::string FaultSettings() const override { return Faulting(UnixDrive(FaultyLetter) + "/tfile.frl", GetParam().fault); }
  void TearDown() override {
    Ferrulon::TearDown();
    (void)DeleteFileW(TestFileOn(FaultyLetter).c_str());
    (void)RemoveDirectoryW(TestFileOn(FaultyLetter).c_str());
  }
};

TEST_P(FaultyDrive, IsToldAndLeavesTheFailingFile) {
  const Fault& fault = GetParam();
  if (fault.message == nullptr && !FaultLibraryLoaded()) GTEST_SKIP() << NoFaultLibrary;   // the red runs are its faults
  const std::string how = fault.fault;
  ASSERT_TRUE(how != "blocked" || CreateDirectoryW(TestFileOn(FaultyLetter).c_str(), nullptr));
  HANDLE held = how != "held" ? INVALID_HANDLE_VALUE
                              : CreateFileW(TestFileOn(FaultyLetter).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_TRUE(how != "held" || held != INVALID_HANDLE_VALUE);

  ASSERT_TRUE(StartRun(program_, FaultyLetter, why_)) << Seen();
  if (fault.message != nullptr) {
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor(program_, 20000, [&] { return (box = FindMessageBox(program_)) != nullptr; }, why_)) << Seen();
    EXPECT_EQ(U8(TextOf(box) + L": " + MessageBoxText(box)), U8(ui::InfoCaption + std::wstring(L": ") + fault.message));
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);   // let go, so that the reset removes the file
    ASSERT_TRUE(CloseMessageBox(box)) << "the message box is still open 15 s after a click on OK";
    // Told once: no second message, no run going on or named, no verdict.
    ASSERT_TRUE(WaitFor(program_, 15000, [&] {
      return IsEnabledWindow(Control(ui::StartButton)) && Text(ui::DriveUnderTestText) == ui::DriveUnderTestLabel &&
             Text(ui::StatusBanner) == ui::Placeholder;
    }, why_)) << Seen();
  } else {
    ASSERT_EQ(U8(WaitForVerdict(program_, 60000, why_)), U8(ui::FailedVerdict)) << Seen();
    EXPECT_TRUE(WaitForVerdictShown(program_, ui::FailedVerdict, why_)) << Seen();
  }
  EXPECT_EQ(U8(Text(ui::ScoreText)), U8(ui::Placeholder));
  CloseExpectingExitCode0();
  EXPECT_EQ(Left(TestFileOn(FaultyLetter)), fault.left);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultyDrive, ::testing::ValuesIn(Faults),
                         [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });
