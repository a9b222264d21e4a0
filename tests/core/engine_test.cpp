// The test file over the in-memory drive: its bytes, its requests and its reading rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine.h"
#include "fake_world.h"
#include "text_print.h"

using runtime::Text;

namespace {

const std::string Pattern =
    "0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789"
    "abcdefghilmnopqrstuvxyz";

std::string FileOfLines(const std::string& line) {
  std::string bytes;
  for (int i = 0; i < 100; ++i) bytes += line + "\r\n";
  return bytes;
}

class TestFile : public testing::Test {
 protected:
  void SetUp() override {
    InstallFakes();
    ResetWorld();
  }
  void TearDown() override { RemoveFakes(); }

  // Reads the file whose bytes are given, line by line, `lines` times.
  static std::vector<Text> ReadLines(const std::string& bytes, int lines) {
    World.bytes = bytes;
    World.exists = true;
    std::vector<Text> result;
    engine::UnbufferedTextFile file{};
    EXPECT_TRUE(engine::OpenForReading(file, L"tfile.frl"));
    for (int i = 0; i < lines; ++i) result.push_back(engine::ReadLine(file));
    engine::Close(file);
    return result;
  }
};

}  // namespace

TEST(PatternTable, HundredPatternLinesAndTwoUnusedEntries) {
  engine::FillPatternTable();
  for (int i = 0; i < 100; ++i) EXPECT_EQ(engine::PatternTable[i], Wide(Pattern));
  EXPECT_TRUE(engine::PatternTable[100].empty());
  EXPECT_TRUE(engine::PatternTable[101].empty());
}

// Two files as the run writes them: every line reversed just before it is written.
TEST_F(TestFile, FilesHoldTheExactLayoutAlternatingDirection) {
  engine::FillPatternTable();
  for (const std::string& expected : {std::string(Pattern.rbegin(), Pattern.rend()), Pattern}) {
    engine::UnbufferedTextFile file{};
    ASSERT_TRUE(engine::CreateForWriting(file, L"tfile.frl"));
    for (int i = 0; i < 100; ++i) {
      engine::PatternTable[i] = runtime::ReverseText(engine::PatternTable[i]);
      engine::WriteLine(file, engine::PatternTable[i]);
    }
    engine::Close(file);
    EXPECT_EQ(World.bytes, FileOfLines(expected));
  }
}

// Terminators and encodings: each row is the bytes of a file and the lines read from it.
TEST_F(TestFile, ReadLineRules) {
  const struct {
    const char* what;
    std::string bytes;
    std::vector<Text> lines;
  } cases[] = {
      {"LF alone", "ab\ncd\n", {L"ab", L"cd", L""}},
      {"lone CR", "ab\rcd\r\n", {L"ab", L"cd", L""}},
      {"CR at end of file", "ab\r", {L"ab", L"", L""}},
      {"NUL ends a line", std::string("ab\0cd", 5), {L"ab", L"cd", L""}},
      {"2-byte UTF-8", "\xC3\xA9x\r\n", {L"\u00E9x", L""}},
      {"3-byte UTF-8", "\xE4\xB8\xADz\n", {L"\u4E2Dz", L""}},
      {"4-byte UTF-8", "\xF0\x9F\x98\x80!", {L"\xD83D\xDE00!", L""}},
      {"truncated tail", "ab\xE4\xB8", {L"ab", L""}},
      {"stray continuation", "\x80z\xBF\n", {L"?z?", L""}},
      {"invalid lead bytes", "\xF8\xFF" "a", {L"??a", L""}},
      {"empty file", "", {L"", L""}},
      {"past the last line", "ab\r\n", {L"ab", L"", L""}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadLines(c.bytes, static_cast<int>(c.lines.size())), c.lines) << c.what;
}

TEST_F(TestFile, MultiByteTailsAndLoneCrCostOneRequestEach) {
  ReadLines("\xE4\xB8\xAD\rX", 2);
  EXPECT_EQ(World.log, (std::vector<std::string>{"create 80000000 0 3 80", "read 1", "read 2", "read 1", "read 1",
                                                 "seek -1 1", "read 1", "read 1", "close"}));
}

TEST_F(TestFile, LongLinesAreReadWhole) {
  std::string line;
  for (int i = 0; i < 10000; ++i) line += static_cast<char>('a' + i % 26);
  line += "\xE4\xB8\xAD";   // a multi-byte character right at the end
  const std::vector<Text> lines = ReadLines(line + "\r\nnext\r\n", 2);
  ASSERT_EQ(lines[0].size(), 10001u);
  EXPECT_EQ(lines[0].substr(0, 26), Text(L"abcdefghijklmnopqrstuvwxyz"));
  EXPECT_EQ(lines[0].back(), L'\u4E2D');
  EXPECT_EQ(lines[1], Text(L"next"));
}

TEST_F(TestFile, EmptyLineWritesOnlyItsTerminator) {
  engine::UnbufferedTextFile file{};
  ASSERT_TRUE(engine::CreateForWriting(file, L"tfile.frl"));
  engine::WriteLine(file, Text());
  engine::WriteLine(file, Text(L"\u00E9"));
  engine::Close(file);
  EXPECT_EQ(World.bytes, "\r\n\xC3\xA9\r\n");
  EXPECT_EQ(World.log, (std::vector<std::string>{"create C0000000 0 2 80", "write 2", "write 2", "write 2", "close"}));
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
  EXPECT_EQ(World.log, (std::vector<std::string>{"create C0000000 0 2 80", "create 40000000 0 5 0", "write 3", "write 2",
                                                 "close", "attributes 80", "delete", "create C0000000 0 2 80",
                                                 "create 40000000 0 5 0", "create 80000000 0 3 80"}));
}
