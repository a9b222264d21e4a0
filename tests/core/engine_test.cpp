// The test file over the in-memory drive: its bytes, its requests and its reading rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_world.h"

using runtime::Text;
using Strings = std::vector<std::string>;

namespace {

const std::string Pattern =
    "0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789"
    "abcdefghilmnopqrstuvxyz";

class TestFile : public testing::Test {
 protected:
  void SetUp() override {
    InstallFakes();
    ResetWorld();
  }
  void TearDown() override { RemoveFakes(); }

  static std::vector<Text> ReadLines(const std::string& bytes, std::size_t lines) {
    World.bytes = bytes;
    World.exists = true;
    std::vector<Text> result;
    engine::UnbufferedTextFile file{};
    EXPECT_TRUE(engine::OpenForReading(file, L"tfile.frl"));
    while (result.size() < lines) result.push_back(engine::ReadLine(file));
    engine::Close(file);
    return result;
  }
};

}  // namespace

// The table holds 100 pattern lines and two unused entries. Two files as the run writes them, every
// line reversed just before it is written; then an empty line, which is its terminator alone.
TEST_F(TestFile, PatternFilesHoldTheExactLayoutAlternatingDirection) {
  engine::FillPatternTable();
  EXPECT_TRUE(engine::PatternTable[100].empty() && engine::PatternTable[101].empty());
  engine::UnbufferedTextFile file{};
  for (const std::string& line : {std::string(Pattern.rbegin(), Pattern.rend()), Pattern}) {
    ASSERT_TRUE(engine::CreateForWriting(file, L"tfile.frl"));
    for (int i = 0; i < 100; ++i) {
      engine::PatternTable[i] = runtime::ReverseText(engine::PatternTable[i]);
      engine::WriteLine(file, engine::PatternTable[i]);
    }
    engine::Close(file);
    std::string expected;
    for (int i = 0; i < 100; ++i) expected += line + "\r\n";
    EXPECT_EQ(World.bytes, expected);
  }
  World.log.clear();
  ASSERT_TRUE(engine::CreateForWriting(file, L"tfile.frl"));
  engine::WriteLine(file, Text());
  engine::WriteLine(file, Text(L"\u00E9"));
  engine::Close(file);
  EXPECT_EQ(World.bytes, "\r\n\xC3\xA9\r\n");
  EXPECT_EQ(World.log, (Strings{"create C0000000 0 2 80", "write 2", "write 2", "write 2", "close"}));
}

// Terminators and encodings: each row is the bytes of a file and the lines read from it.
TEST_F(TestFile, ReadLineRules) {
  std::string longLine;
  for (int i = 0; i < 10000; ++i) longLine += static_cast<char>('a' + i % 26);
  const struct {
    const char* what;
    std::string bytes;
    std::vector<Text> lines;
  } cases[] = {
      {"LF alone", "ab\ncd\n", {L"ab", L"cd", L""}}, {"lone CR", "ab\rcd\r\n", {L"ab", L"cd", L""}},
      {"CR at end of file", "ab\r", {L"ab", L"", L""}}, {"NUL", std::string("ab\0cd", 5), {L"ab", L"cd", L""}},
      {"2-byte UTF-8", "\xC3\xA9x\r\n", {L"\u00E9x", L""}}, {"3-byte UTF-8", "\xE4\xB8\xADz\n", {L"\u4E2Dz", L""}},
      {"4-byte UTF-8", "\xF0\x9F\x98\x80!", {L"\xD83D\xDE00!", L""}}, {"truncated tail", "ab\xE4\xB8", {L"ab", L""}},
      {"stray continuation", "\x80z\xBF\n", {L"?z?", L""}}, {"bad lead bytes", "\xF8\xFF" "a", {L"??a", L""}},
      {"empty file", "", {L"", L""}}, {"past the last line", "ab\r\n", {L"ab", L"", L""}},
      {"a long line ending in a multi-byte character", longLine + "\xE4\xB8\xAD\r\nnext\r\n",
       {Wide(longLine) + L"\u4E2D", L"next"}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadLines(c.bytes, c.lines.size()), c.lines) << c.what;
}

TEST_F(TestFile, MultiByteTailsAndLoneCrCostOneRequestEach) {
  ReadLines("\xE4\xB8\xAD\rX", 2);
  EXPECT_EQ(World.log, (Strings{"create 80000000 0 3 80", "read 1", "read 2", "read 1", "read 1", "seek -1 1",
                                "read 1", "read 1", "close"}));
}

// When a fresh file cannot be made, an old one is truncated; with none, creating fails.
TEST_F(TestFile, CreationFallsBackToTruncatingTheOldFile) {
  World.refuseCreatingFrom = 1;
  World.bytes = "old contents";
  World.exists = true;
  engine::UnbufferedTextFile file{};
  ASSERT_TRUE(engine::CreateForWriting(file, L"tfile.frl"));
  engine::WriteLine(file, Text(L"new"));
  engine::Close(file);
  EXPECT_EQ(World.bytes, "new\r\n");
  ASSERT_TRUE(engine::ForceDelete(L"tfile.frl"));
  EXPECT_FALSE(engine::CreateForWriting(file, L"tfile.frl"));
  EXPECT_FALSE(engine::OpenForReading(file, L"tfile.frl"));
  EXPECT_EQ(file.handle, nullptr);
  EXPECT_EQ(World.log, (Strings{"create C0000000 0 2 80", "create 40000000 0 5 0", "write 3", "write 2", "close",
                                "attributes 80", "delete", "create C0000000 0 2 80", "create 40000000 0 5 0",
                                "create 80000000 0 3 80"}));
}
