// Drives that give back something other than what was written. The unmodified ferrulon.exe runs
// with the fault library (tests/faults) preloaded into its Unix process, where it alters read() and
// write() on the test file of one drive: a byte flipped, the data ending early, a drive that runs
// out of space. Each must end the run with the red verdict, with the failing cycle's lines that did
// match counted and its file left on the drive, and the program still answering and closing.
#include <algorithm>
#include <cstdio>

#include "e2e_fixture.h"
#include "ui/ui.h"


namespace {

constexpr wchar_t FaultyLetter = L'p';   // one of the seven drives offered
constexpr std::int64_t CharsPerFile = 12300;   // 100 lines of 123 characters

struct Fault {
  const char* name;
  const char* fault;             // FERRULON_FAULT
  bool otherFiles;               // the drive also holds files of its own, which must stay as they are
  std::int64_t failingCycle;     // the cycle of the run whose read-back differs, from 1
  std::int64_t passesDone, cyclesInPass, progress;   // where the run stood: 50 cycles make a pass
  std::int64_t verified;         // CharsVerified at the verdict: earlier cycles plus the lines that matched
  const char* statusFields[3];   // the status bar at the verdict
  std::int64_t readRequests;     // read() calls on the file over the run
  std::int64_t fileBytes;        // the failing cycle's file, as the drive holds it
  char firstByte;                // of that file: the n-th file holds the reversed line (z...) when n is odd
};

// The status fields are refreshed every 32nd cycle of the program, written and operations before
// the verdict, verified after it: a failure in cycle 64 shows the written count of cycle 64 and the
// verified one of cycle 32.
const Fault Faults[] = {
    // Cycle 64 (the 14th of pass 2) reads back line 57 with one bit of its 11th character flipped;
    // the other 99 lines match.
    {"FlippedByte", "flip:64:7135", false, 64, 1, 13, 490, 63 * CharsPerFile + 99 * 123,
     {" 写入:  787200", " 验证:  393600", " 读/写数:  128"}, 64 * 12500, 12500, '0'},
    // The first read-back ends after 60 characters of line 48: lines 0 to 47 match.
    {"DataEndsEarly", "cut:1:6060", true, 1, 0, 0, 500, 48 * 123, {" 写入:  ", " 验证:  ", " 读/写数:  "},
     6000 + 61 + 51, 12500, 'z'},
    // Room for 6,060 bytes: the write of line 48 is cut short, every later write fails.
    {"DriveFullMidFile", "full:6060", true, 1, 0, 0, 500, 48 * 123, {" 写入:  ", " 验证:  ", " 读/写数:  "},
     6000 + 61 + 51, 6060, 'z'},
    // No room at all: the file is made, every write fails, 100 empty lines read back.
    {"DriveFullFromStart", "full:0", true, 1, 0, 0, 500, 0, {" 写入:  ", " 验证:  ", " 读/写数:  "}, 100, 0, 0},
};

void PrintTo(const Fault& fault, std::ostream* os) { *os << fault.name << " (" << fault.fault << ")"; }

std::string FaultLog() { return EnvironmentValue(L"FERRULON_DRIVE_BASE") + "/fault-requests.log"; }

// The last line the fault library wrote at the program's exit: "reads N bytes1 N writes N passes N".
bool ReadFaultLog(std::int64_t& reads, std::int64_t& passes) {
  FILE* log = _wfopen(FromUnixPath(FaultLog()).c_str(), L"r");
  if (log == nullptr) return false;
  long long r = -1, one = -1, w = -1, p = -1;
  char line[200];
  bool found = false;
  while (std::fgets(line, sizeof line, log) != nullptr)
    found = std::sscanf(line, "reads %lld bytes1 %lld writes %lld passes %lld", &r, &one, &w, &p) == 4;
  std::fclose(log);
  reads = r, passes = p;
  return found;
}

std::string FirstBytes(const std::wstring& path, std::size_t count) {
  std::string bytes(count, '\0');
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return "<missing>";
  bytes.resize(std::fread(bytes.data(), 1, count, file));
  std::fclose(file);
  return bytes;
}

// A file of the drive's own, with what it held and when it was last written.
struct OwnFile {
  std::wstring path;
  std::string content;
  FILETIME written;
};

OwnFile MakeOwnFile(const std::wstring& path, const std::string& content) {
  OwnFile own{path, content, {}};
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (file != nullptr) {
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
  }
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) own.written = data.ftLastWriteTime;
  return own;
}

// The names in a directory, without "." and "..", in the order listed.
std::vector<std::string> Names(const std::wstring& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(U8(name));
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

void ExpectUnchanged(const OwnFile& own) {
  EXPECT_TRUE(FirstBytes(own.path, own.content.size() + 1) == own.content) << U8(own.path) << " changed";
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  ASSERT_TRUE(GetFileAttributesExW(own.path.c_str(), GetFileExInfoStandard, &data)) << U8(own.path);
  EXPECT_EQ(CompareFileTime(&data.ftLastWriteTime, &own.written), 0) << U8(own.path) << " written again";
}

}  // namespace

class FaultyDrive : public Ferrulon, public ::testing::WithParamInterface<Fault> {
 protected:
  void SetUp() override {
    ASSERT_FALSE(DriveDirectory(FaultyLetter).empty()) << "FERRULON_DRIVE_BASE names the test drives";
    (void)DeleteFileW(FromUnixPath(FaultLog()).c_str());
    Ferrulon::SetUp();
  }
  std::vector<std::string> FaultSettings() const override {
    const std::string drive = EnvironmentValue(L"FERRULON_DRIVE_BASE") + "/" + static_cast<char>(FaultyLetter);
    return {"FERRULON_FAULT_FILE=" + drive + "/tfile.frl", std::string("FERRULON_FAULT=") + GetParam().fault,
            "FERRULON_FAULT_LOG=" + FaultLog()};
  }
};

TEST_P(FaultyDrive, RunEndsRedWithFailingFileKeptAndProgramStillAnswers) {
  const Fault& fault = GetParam();
  const std::wstring drive = DriveDirectory(FaultyLetter);
  const std::wstring testFile = TestFileOn(FaultyLetter);
  AtTestEnd cleanUp{[&] {
    (void)DeleteFileW(testFile.c_str());
    (void)DeleteFileW((drive + L"\\keep.txt").c_str());
    (void)DeleteFileW((drive + L"\\keep\\inner.txt").c_str());
    (void)RemoveDirectoryW((drive + L"\\keep").c_str());
  }};
  std::vector<OwnFile> own;
  if (fault.otherFiles) {
    own.push_back(MakeOwnFile(drive + L"\\keep.txt", "the drive's own file\r\n"));
    ASSERT_TRUE(CreateDirectoryW((drive + L"\\keep").c_str(), nullptr)) << "error " << GetLastError();
    own.push_back(MakeOwnFile(drive + L"\\keep\\inner.txt", std::string(5000, 'k')));
  }

  ASSERT_NO_FATAL_FAILURE(Select(FaultyLetter));
  ClickControl(Control(ui::StartButton));
  ASSERT_TRUE(WaitUntil("the failure verdict", 60000, [&] { return Text(ui::StatusBanner) == ui::FailedVerdict; }));

  // The window in its faulted state: red banner, Start disabled, no score, the bar as at the fault.
  EXPECT_TRUE(WaitUntil("the banner painted in pure red (255)", 10000, [&] { return BannerPixelsAre(ui::FailureRed); }))
      << "corner pixel " << std::hex << PixelOf(Control(ui::StatusBanner), 1, 1);
  EXPECT_FALSE(IsEnabledWindow(Control(ui::StartButton)));
  EXPECT_EQ(U8(Text(ui::ScoreText)), U8(ui::Placeholder));
  EXPECT_EQ(U8(Text(ui::DriveUnderTestText)), U8(std::wstring(ui::DriveUnderTestLabel) + FaultyLetter + L":\\"));
  EXPECT_EQ(ProgressOf(program_), fault.progress);
  for (int field = 0; field < 3; ++field) EXPECT_EQ(U8(StatusText(program_, field)), fault.statusFields[field]);

  // The run's own figures: every line of the failing cycle was read and compared.

  // The failing cycle's file stays on the drive, as the drive holds it.
  EXPECT_EQ(FileSize(testFile), fault.fileBytes);
  if (fault.fileBytes > 0) {
    EXPECT_EQ(FirstBytes(testFile, 1), std::string(1, fault.firstByte));
  }

  // Start stays disabled: a click on it starts nothing. Input is handled in order, so once the
  // later click on a slot has taken effect the click on Start has been handled.
  ClickControl(Control(ui::StartButton));
  ASSERT_NO_FATAL_FAILURE(Select(L'm'));
  EXPECT_EQ(U8(Text(ui::StatusBanner)), U8(ui::FailedVerdict));
  EXPECT_FALSE(IsEnabledWindow(Control(ui::StartButton)));
  EXPECT_EQ(FileSize(testFile), fault.fileBytes);

  CloseExpectingExitCode0();

  // The fault reached the program, and the run ended in the failing cycle, after reading it whole.
  std::int64_t reads = -1, passes = -1;
  ASSERT_TRUE(ReadFaultLog(reads, passes)) << "the fault library left no count in " << FaultLog();
  EXPECT_EQ(passes, fault.failingCycle) << "read-backs of the test file";
  EXPECT_EQ(reads, fault.readRequests) << "read requests on the test file";
  for (const OwnFile& file : own) ExpectUnchanged(file);
  const std::vector<std::string> expectedNames =
      fault.otherFiles ? std::vector<std::string>{"keep", "keep.txt", "tfile.frl"} : std::vector<std::string>{"tfile.frl"};
  EXPECT_EQ(Names(drive), expectedNames);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultyDrive, ::testing::ValuesIn(Faults),
                         [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });
