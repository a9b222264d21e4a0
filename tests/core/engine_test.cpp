// The test file on a real Wine drive: its bytes, its request pattern and its reading rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/file_calls.h"
#include "test_drive.h"
#include "text_print.h"

using runtime::Text;

namespace {

// Every request the test file makes, in order, as "create C0000000 0 2 80", "write 123",
// "read 1", "seek -1 1", "close", "attributes 80", "delete".
std::vector<std::string> Requests;
std::int64_t FailCreates;   // the next this many CreateFileW calls fail

std::string Hex(DWORD v) {
  char text[16];
  snprintf(text, sizeof text, "%lX", static_cast<unsigned long>(v));
  return text;
}

HANDLE WINAPI RecordCreate(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                           DWORD disposition, DWORD attributes, HANDLE templ) {
  Requests.push_back("create " + Hex(access) + " " + Hex(share) + " " + Hex(disposition) + " " +
                     Hex(attributes) + (security || templ ? " extra" : ""));
  if (FailCreates > 0) {
    --FailCreates;
    return INVALID_HANDLE_VALUE;
  }
  return CreateFileW(name, access, share, security, disposition, attributes, templ);
}
BOOL WINAPI RecordWrite(HANDLE h, LPCVOID data, DWORD n, LPDWORD done, LPOVERLAPPED o) {
  Requests.push_back("write " + std::to_string(n));
  return WriteFile(h, data, n, done, o);
}
BOOL WINAPI RecordRead(HANDLE h, LPVOID data, DWORD n, LPDWORD done, LPOVERLAPPED o) {
  Requests.push_back("read " + std::to_string(n));
  return ReadFile(h, data, n, done, o);
}
DWORD WINAPI RecordSeek(HANDLE h, LONG distance, PLONG high, DWORD method) {
  Requests.push_back("seek " + std::to_string(distance) + " " + std::to_string(method));
  return SetFilePointer(h, distance, high, method);
}
BOOL WINAPI RecordClose(HANDLE h) {
  Requests.push_back("close");
  return CloseHandle(h);
}
BOOL WINAPI RecordAttributes(LPCWSTR name, DWORD attributes) {
  Requests.push_back("attributes " + Hex(attributes));
  return SetFileAttributesW(name, attributes);
}
BOOL WINAPI RecordDelete(LPCWSTR name) {
  Requests.push_back("delete");
  return DeleteFileW(name);
}

const std::string Pattern =
    "0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789"
    "abcdefghilmnopqrstuvxyz";
const std::string Reversed(Pattern.rbegin(), Pattern.rend());

std::string FileOfLines(const std::string& line) {
  std::string bytes;
  for (int i = 0; i < 100; ++i) bytes += line + "\r\n";
  return bytes;
}

// Each test works in the root of the first test drive, with every request recorded.
class TestFile : public testing::Test {
 protected:
  void SetUp() override {
    root_ = TestDriveRoot(0);
    ASSERT_FALSE(root_.empty()) << "no test drive mapped (FERRULON_TEST_DRIVES)";
    ASSERT_TRUE(SetCurrentDirectoryW(root_.c_str()));
    SetFileAttributesW(L"tfile.frl", FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(L"tfile.frl");
    RemoveDirectoryW(L"tfile.frl");
    saved_ = engine::File;
    engine::File = {RecordCreate, RecordWrite, RecordRead, RecordSeek, RecordClose, RecordAttributes,
                    RecordDelete};
    Requests.clear();
    FailCreates = 0;
  }
  void TearDown() override {
    engine::File = saved_;
    SetFileAttributesW(L"tfile.frl", FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(L"tfile.frl");
    RemoveDirectoryW(L"tfile.frl");
  }

  // Reads the file whose bytes are given, line by line, `lines` times.
  std::vector<Text> ReadLines(const std::string& bytes, int lines) {
    WriteWholeFile(L"tfile.frl", bytes);
    std::vector<Text> result;
    engine::UnbufferedTextFile file{};
    EXPECT_TRUE(engine::OpenForReading(file, L"tfile.frl"));
    for (int i = 0; i < lines; ++i) result.push_back(engine::ReadLine(file));
    engine::Close(file);
    return result;
  }

  std::wstring root_;
  engine::FileCalls saved_;
};

}  // namespace

TEST(PatternTable, HundredPatternLinesAndTwoUnusedEntries) {
  engine::FillPatternTable();
  ASSERT_EQ(std::wstring(engine::PatternLine).size(), 123u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(engine::PatternTable[i], Wide(Pattern));
  EXPECT_TRUE(engine::PatternTable[100].empty());
  EXPECT_TRUE(engine::PatternTable[101].empty());
}

// Two cycles as the run makes them: every line reversed just before it is written.
TEST_F(TestFile, CyclesWriteTheExactLayoutAlternatingDirection) {
  engine::FillPatternTable();
  for (const std::string& expected : {Reversed, Pattern}) {
    engine::UnbufferedTextFile file{};
    ASSERT_TRUE(engine::CreateForWriting(file, L"tfile.frl"));
    for (int i = 0; i < 100; ++i) {
      engine::PatternTable[i] = runtime::ReverseText(engine::PatternTable[i]);
      engine::WriteLine(file, engine::PatternTable[i]);
    }
    engine::Close(file);
    const std::string bytes = ReadWholeFile(root_ + L"tfile.frl");
    ASSERT_EQ(bytes.size(), 12500u);
    EXPECT_EQ(bytes, FileOfLines(expected));
  }
  EXPECT_EQ(ReadWholeFile(root_ + L"tfile.frl")[0], '0');
}

TEST_F(TestFile, OneCycleMakesExactlyTheRequestsOfTheMeasurement) {
  engine::FillPatternTable();
  engine::UnbufferedTextFile file{};
  ASSERT_TRUE(engine::CreateForWriting(file, L"tfile.frl"));
  for (int i = 0; i < 100; ++i) engine::WriteLine(file, engine::PatternTable[i]);
  engine::Close(file);
  ASSERT_TRUE(engine::OpenForReading(file, L"tfile.frl"));
  for (int i = 0; i < 100; ++i) engine::ReadBackTable[i] = engine::ReadLine(file);
  engine::Close(file);
  while (engine::ForceDelete(L"tfile.frl")) {}

  std::vector<std::string> expected{"create C0000000 0 2 80"};
  for (int i = 0; i < 100; ++i) expected.insert(expected.end(), {"write 123", "write 2"});
  expected.insert(expected.end(), {"close", "create 80000000 0 3 80"});
  expected.insert(expected.end(), 12500, "read 1");
  expected.insert(expected.end(), {"close", "attributes 80", "delete", "attributes 80", "delete"});
  EXPECT_EQ(Requests, expected);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(engine::ReadBackTable[i], engine::PatternTable[i]) << i;
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
  for (const auto& c : cases) {
    const std::vector<Text> lines = ReadLines(c.bytes, static_cast<int>(c.lines.size()));
    EXPECT_EQ(lines, c.lines) << c.what;
  }
}

TEST_F(TestFile, MultiByteTailsAndLoneCrCostOneRequestEach) {
  ReadLines("\xE4\xB8\xAD\rX", 2);
  const std::vector<std::string> expected{
      "create 80000000 0 3 80", "read 1", "read 2", "read 1", "read 1", "seek -1 1",
      "read 1", "read 1", "close"};
  EXPECT_EQ(std::vector<std::string>(Requests.begin() + 0, Requests.end()), expected);
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
  EXPECT_EQ(ReadWholeFile(root_ + L"tfile.frl"), "\r\n\xC3\xA9\r\n");
  EXPECT_EQ(Requests, (std::vector<std::string>{"create C0000000 0 2 80", "write 2", "write 2", "write 2", "close"}));
}

TEST_F(TestFile, CreationFallsBackToTruncatingTheOldFile) {
  WriteWholeFile(L"tfile.frl", "old contents");
  FailCreates = 1;
  engine::UnbufferedTextFile file{};
  ASSERT_TRUE(engine::CreateForWriting(file, L"tfile.frl"));
  engine::WriteLine(file, Text(L"new"));
  engine::Close(file);
  EXPECT_EQ(ReadWholeFile(root_ + L"tfile.frl"), "new\r\n");
  EXPECT_EQ(Requests[1], "create 40000000 0 5 0");
}

TEST_F(TestFile, FileThatCannotBeMadeOrOpenedFails) {
  engine::UnbufferedTextFile file{};
  EXPECT_FALSE(engine::OpenForReading(file, L"tfile.frl"));   // missing
  EXPECT_EQ(file.handle, nullptr);
  ASSERT_TRUE(CreateDirectoryW(L"tfile.frl", nullptr));       // a directory in its place
  EXPECT_FALSE(engine::CreateForWriting(file, L"tfile.frl"));
  EXPECT_EQ(file.handle, nullptr);
  EXPECT_FALSE(engine::OpenForReading(file, L"tfile.frl"));
  EXPECT_EQ(Requests.size(), 4u);   // two creation attempts, then one opening each time
}

TEST_F(TestFile, OpenFileIsNotShared) {
  engine::UnbufferedTextFile file{};
  ASSERT_TRUE(engine::CreateForWriting(file, L"tfile.frl"));
  HANDLE other = CreateFileW(L"tfile.frl", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
  engine::Close(file);
  EXPECT_EQ(file.handle, nullptr);
}

TEST_F(TestFile, ForceDeleteRemovesReadOnlyFilesAndReportsMissingOnes) {
  WriteWholeFile(L"tfile.frl", "x");
  ASSERT_TRUE(SetFileAttributesW(L"tfile.frl", FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(engine::ForceDelete(L"tfile.frl"));
  EXPECT_FALSE(FileExists(root_ + L"tfile.frl"));
  EXPECT_FALSE(engine::ForceDelete(L"tfile.frl"));
}
