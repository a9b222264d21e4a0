// The filesystems Windows drives carry, mounted by the test command through FUSE and offered as d:
// (NTFS), e: (exFAT) and f: (FAT32) in a Wine session of their own. On each, a pass of the real
// program runs and is stopped, with the same requests on the test file as on tmpfs; a flipped byte
// on NTFS still ends the run red. A kind this machine could not mount is skipped.
#include <cstdio>

#include "e2e_fixture.h"
#include "ui/ui.h"

using namespace e2e;

namespace {

struct Filesystem {
  const char* kind;   // as FERRULON_FS_DRIVES names it: "d:ntfs e:exfat f:fat32", those mounted
  wchar_t letter;
};
const Filesystem Filesystems[] = {{"ntfs", L'd'}, {"exfat", L'e'}, {"fat32", L'f'}};

void PrintTo(const Filesystem& filesystem, std::ostream* os) { *os << filesystem.kind; }
std::string NameOf(const ::testing::TestParamInfo<Filesystem>& info) { return info.param.kind; }

}  // namespace

class OnFilesystem : public Ferrulon, public ::testing::WithParamInterface<Filesystem> {
 protected:
  void SetUp() override {
    const std::string drive = std::string(1, static_cast<char>(GetParam().letter)) + ":" + GetParam().kind;
    if (EnvironmentValue(L"FERRULON_FS_DRIVES").find(drive) == std::string::npos)
      GTEST_SKIP() << GetParam().kind << " is not mounted here: the test command says why";
    (void)DeleteFileW(FromUnixPath(Log()).c_str());
    Ferrulon::SetUp();
  }
  void TearDown() override {
    Ferrulon::TearDown();
    (void)DeleteFileW(TestFile().c_str());
  }
  std::vector<std::string> FaultSettings() const override {
    return {"FERRULON_FAULT_FILE=" + UnixTestFile(), "FERRULON_FAULT=" + Fault(), "FERRULON_FAULT_LOG=" + Log()};
  }
  virtual std::string Fault() const { return "count"; }
  // The test file as the fault library sees it: the Unix path of its descriptor, on the mount.
  // The test file as the fault library sees it: the Unix path of its descriptor, on the mount.
  std::string UnixTestFile() const { return EnvironmentValue(L"FERRULON_FS_BASE") + "/" + GetParam().kind + "/tfile.frl"; }
  std::wstring TestFile() const { return FromUnixPath(UnixTestFile()); }
  std::string Log() const { return EnvironmentValue(L"FERRULON_FS_BASE") + "/requests.log"; }
  void StartRun() {
    ASSERT_NO_FATAL_FAILURE(Select(GetParam().letter));
    ClickControl(Control(ui::StartButton));
  }
};

TEST_P(OnFilesystem, PassRunsAndStopsCleanlyWithTheRequestsOfTmpfs) {
  ASSERT_NO_FATAL_FAILURE(StartRun());
  ASSERT_TRUE(WaitUntil("one pass done", 60000, [&] {
    const int position = ProgressOf(program_);
    return position >= 0 && position <= 490;
  }));
  ClickControl(Control(ui::StopButton));
  ASSERT_NO_FATAL_FAILURE(ExpectResetState(0));   // grey banner: the run did not fail
  EXPECT_FALSE(PathExists(TestFile())) << "tfile.frl left on " << GetParam().kind;
  CloseExpectingExitCode0();

  // The fault library writes its count as the program's Unix process exits, which under load can
  // come a little after Wine reports the exit.
  long long reads = -1, oneByte = -1, writes = -1, passes = -1, written = -1;
  for (int tries = 0; tries < 50 && passes < 0; ++tries) {
    if (FILE* log = _wfopen(FromUnixPath(Log()).c_str(), L"r")) {
      if (std::fscanf(log, "reads %lld bytes1 %lld writes %lld passes %lld written %lld", &reads, &oneByte, &writes,
                      &passes, &written) != 5)
        passes = -1;
      std::fclose(log);
    }
    if (passes < 0) Sleep(100);
  }
  ASSERT_GT(passes, 0) << "read-backs of the test file, counted in " << Log();
  EXPECT_EQ(passes % 50, 0) << "Stop ends the run at a pass boundary";
  // Per file, as on tmpfs: 12,500 one-byte reads; 200 writes, 100 lines of 123 bytes and their CR LF.
  EXPECT_EQ((std::vector<long long>{reads, oneByte, writes, written}),
            (std::vector<long long>{12500 * passes, 12500 * passes, 200 * passes, 12500 * passes}));
}

INSTANTIATE_TEST_SUITE_P(Kinds, OnFilesystem, ::testing::ValuesIn(Filesystems), NameOf);

class FlippedOnFilesystem : public OnFilesystem {
  std::string Fault() const override { return "flip:1:7135"; }   // line 57 of the first read-back
};

TEST_P(FlippedOnFilesystem, RunEndsRed) {
  ASSERT_NO_FATAL_FAILURE(StartRun());
  ASSERT_TRUE(WaitUntil("the failure verdict", 60000, [&] { return Text(ui::StatusBanner) == ui::FailedVerdict; }));
  EXPECT_TRUE(WaitUntil("the banner painted red", 10000, [&] { return BannerPixelsAre(ui::FailureRed); }));
  EXPECT_EQ(FileSize(TestFile()), 12500) << "the failing cycle's file stays on the drive, whole";
  // Clicks taken by the drain at the verdict are dropped: once a slot's click has taken effect,
  // the program waits in its main loop, where the close box ends it.
  ASSERT_NO_FATAL_FAILURE(Select(L'c'));
  CloseExpectingExitCode0();
}

INSTANTIATE_TEST_SUITE_P(Kinds, FlippedOnFilesystem, ::testing::Values(Filesystems[0]), NameOf);
