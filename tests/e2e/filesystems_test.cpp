// The filesystems Windows drives carry, mounted by the test command through FUSE and offered as d:
// (NTFS), e: (exFAT) and f: (FAT32) in a Wine session of their own. On each, a pass runs and is
// stopped with the requests it makes on tmpfs. A kind this machine could not mount is skipped.
#include <cstdio>

#include "e2e_fixture.h"

// The parameter names a drive as FERRULON_FS_DRIVES lists those mounted ("d:ntfs e:exfat f:fat32").
class OnFilesystem : public Ferrulon, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    if (EnvironmentValue(L"FERRULON_FS_DRIVES").find(GetParam()) == std::string::npos)
      GTEST_SKIP() << Kind() << " is not mounted here: the test command says why";
    Ferrulon::SetUp();
  }
  void TearDown() override {
    Ferrulon::TearDown();
    (void)DeleteFileW(FromUnixPath(UnixTestFile()).c_str());
  }
  std::string FaultSettings() const override { return Faulting(UnixTestFile(), "count"); }
  std::string Kind() const { return GetParam() + 2; }
  // The test file as the fault library sees it: the Unix path of its descriptor, on the mount.
  std::string UnixTestFile() const { return EnvironmentValue(L"FERRULON_FS_BASE") + "/" + Kind() + "/tfile.frl"; }
};

TEST_P(OnFilesystem, PassStopsAsOnTmpfs) {
  ASSERT_TRUE(StartRun(program_, GetParam()[0], why_)) << Seen();
  ASSERT_NO_FATAL_FAILURE(StopAfterAPass(FromUnixPath(UnixTestFile())));
  CloseExpectingExitCode0();
  // Per file, as on tmpfs: 12,500 one-byte reads; 200 writes, 100 lines of 123 bytes and their CR LF.
  const std::string log = RequestLog();
  long long files = 0;
  ASSERT_EQ(std::sscanf(log.c_str(), "reads %*d bytes1 %*d writes %*d passes %lld", &files), 1) << log;
  EXPECT_TRUE(files > 0 && files % 50 == 0) << files << " read-backs: Stop ends the run at a pass boundary";
  const std::string bytes = std::to_string(12500 * files);
  EXPECT_EQ(log, "reads " + bytes + " bytes1 " + bytes + " writes " + std::to_string(200 * files) + " passes " +
                     std::to_string(files) + " written " + bytes);
}

INSTANTIATE_TEST_SUITE_P(Kinds, OnFilesystem, ::testing::Values("d:ntfs", "e:exfat", "f:fat32"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param + 2); });
