// Drive test engine: the test file, its pattern and the file operations.
#pragma once

#include <cstdint>

#include "runtime/runtime.h"

namespace engine {

constexpr wchar_t TestFileName[] = L"tfile.frl";   // relative: lies in the current directory
constexpr std::int64_t LinesPerFile = 100;           // lines 0..99 of every test file
constexpr std::int64_t CharsPerLine = 123;           // the terminator is not counted
constexpr std::int64_t TableEntries = 102;           // entries 100 and 101 are never used

// The 123-character pattern line: the ten digits ten times, then the alphabet without j, k, w.
constexpr wchar_t PatternLine[] =
    L"0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789"
    L"abcdefghilmnopqrstuvxyz";

extern runtime::Text PatternTable[TableEntries];    // 0..99: all the pattern line or all its reverse
extern runtime::Text ReadBackTable[TableEntries];   // 0..99: the lines of the last file read back

void FillPatternTable();   // entries 0..99 := the pattern line; once, at start-up

// One open test file: a platform handle and nothing else. No buffering, read-ahead or flush of
// our own: every write is one request and every character read is a one-byte request.
struct UnbufferedTextFile {
  void* handle;   // null while closed
};

bool CreateForWriting(UnbufferedTextFile& file, const wchar_t* name);   // create or truncate
bool OpenForReading(UnbufferedTextFile& file, const wchar_t* name);
void WriteLine(UnbufferedTextFile& file, const runtime::Text& text);    // text, then CR LF
runtime::Text ReadLine(UnbufferedTextFile& file);                       // without its terminator
void Close(UnbufferedTextFile& file);
bool ForceDelete(const wchar_t* name);   // clears read-only first; true when deleted

}  // namespace engine
