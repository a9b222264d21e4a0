// The unbuffered text file that every cycle writes and reads back: each operation is exactly the
// platform requests it names.
#include "engine/engine.h"
#include "engine/file_calls.h"

namespace engine {

FileCallTable FileCalls = {CreateFileW, WriteFile,          ReadFile,   SetFilePointer,
                           CloseHandle, SetFileAttributesW, DeleteFileW};

namespace {

using Bytes = std::basic_string<char, std::char_traits<char>, runtime::HeapAllocator<char, runtime::TextHeap>>;

constexpr char Terminator[] = {'\r', '\n'};

// No line written is longer than 369 bytes (123 characters of up to 3 bytes). A drive that returns
// bytes without end, and no terminator, must not keep the program reading one line for ever: a
// line ends after 4,096 bytes, and the bytes after them start the next one.
constexpr std::int64_t LongestLineBytes = 4096;

// A drive that reports every deletion as done while the file stays would keep a delete loop going
// for ever; one name is deleted at most this many times in a row.
constexpr std::int64_t DeletesInARow = 10;

// The UTF-8 form of the text written last. All lines of a test file are one text, so the form is
// made once a file rather than once a line; the bytes written are the same either way.
Bytes& WriteScratch = runtime::Lasting<Bytes>();                   // only grows
runtime::Text& ConvertedText = runtime::Lasting<runtime::Text>();  // the text whose form it holds
int ConvertedBytes = 0;

// The bytes of the line being read: at most LongestLineBytes, and the last character's tail.
char ReadScratch[LongestLineBytes + 3];

HANDLE HandleOf(const UnbufferedTextFile& file) { return static_cast<HANDLE>(file.handle); }

UnbufferedTextFile FileOf(HANDLE handle) {
  return UnbufferedTextFile{handle == INVALID_HANDLE_VALUE ? nullptr : handle};
}

void WriteBytes(const UnbufferedTextFile& file, const char* bytes, std::int64_t count) {
  DWORD written = 0;  // ignored: a short write shows up as a line that reads back differently
  (void)FileCalls.writeFile(HandleOf(file), bytes, static_cast<DWORD>(count), &written, nullptr);
}

// Another program may hold the file for a moment: a virus scanner, an indexer, a backup or sync
// tool. While it does, the file is locked against us (sharing violation) or, deleted while held,
// pending deletion (access denied) until that program lets go. On those two errors only, the
// create or open is tried again for about a second in all; the wait falls inside the pass time.
constexpr std::int64_t RetryWaitsMs[] = {50, 100, 200, 300, 350};

HANDLE Persisting(HANDLE (*attempt)(const wchar_t*), const wchar_t* name) {
  HANDLE handle = attempt(name);
  for (std::int64_t waitMs : RetryWaitsMs) {
    if (handle != INVALID_HANDLE_VALUE) break;
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) break;
    runtime::DelayMs(waitMs);
    handle = attempt(name);
  }
  return handle;
}

// A fresh file, or else an old one truncated; the error of the last call stays for the caller.
HANDLE CreateOnce(const wchar_t* name) {
  HANDLE handle = FileCalls.createFile(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    handle = FileCalls.createFile(name, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr);
  return handle;
}

HANDLE OpenOnce(const wchar_t* name) {
  return FileCalls.createFile(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// One read request of exactly `count` bytes; false unless all of them arrived.
bool ReadBytes(const UnbufferedTextFile& file, char* into, std::int64_t count) {
  DWORD got = 0;
  return FileCalls.readFile(HandleOf(file), into, static_cast<DWORD>(count), &got, nullptr) && got == count;
}

// Bytes that follow a UTF-8 lead byte; -1 for a byte that cannot start a character.
std::int64_t TailLength(unsigned char lead) {
  if (lead < 0x80) return 0;
  if ((lead & 0xE0) == 0xC0) return 1;
  if ((lead & 0xF0) == 0xE0) return 2;
  if ((lead & 0xF8) == 0xF0) return 3;
  return -1;
}

}  // namespace

bool CreateForWriting(UnbufferedTextFile& file, const wchar_t* name) {
  file = FileOf(Persisting(CreateOnce, name));
  return file.handle != nullptr;
}

bool OpenForReading(UnbufferedTextFile& file, const wchar_t* name) {
  file = FileOf(Persisting(OpenOnce, name));
  return file.handle != nullptr;
}

void WriteLine(UnbufferedTextFile& file, const runtime::Text& text) {
  if (!text.empty()) {
    if (!runtime::TextEquals(text, ConvertedText)) {
      if (WriteScratch.size() < text.size() * 3) WriteScratch.resize(text.size() * 3);
      ConvertedBytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), WriteScratch.data(),
                                           static_cast<int>(WriteScratch.size()), nullptr, nullptr);
      ConvertedText = text;
    }
    WriteBytes(file, WriteScratch.data(), ConvertedBytes);
  }
  WriteBytes(file, Terminator, sizeof Terminator);
}

void ReadLine(UnbufferedTextFile& file, runtime::Text& line) {
  std::int64_t used = 0;
  while (used < LongestLineBytes) {
    char* at = ReadScratch + used;
    if (!ReadBytes(file, at, 1)) break;  // end of file, or a read error
    const unsigned char lead = static_cast<unsigned char>(at[0]);
    const std::int64_t tail = TailLength(lead);
    if (tail < 0) {  // a stray continuation byte, or 0xF8..0xFF
      at[0] = '?';
      used += 1;
      continue;
    }
    if (tail > 0) {  // the rest of a multi-byte character, in one request
      if (!ReadBytes(file, at + 1, tail)) break;
      used += 1 + tail;
      continue;
    }
    if (lead == '\n' || lead == 0) break;
    if (lead == '\r') {  // CR LF, or a lone CR whose next byte starts the next line
      char next = 0;
      if (ReadBytes(file, &next, 1) && next != '\n')
        (void)FileCalls.setFilePointer(HandleOf(file), -1, nullptr, FILE_CURRENT);
      break;
    }
    used += 1;
  }
  // In place: the line keeps its storage from one file to the next. UTF-16 never needs more
  // units than UTF-8 has bytes.
  line.resize(static_cast<std::size_t>(used));
  if (used == 0) return;
  const int units =
      MultiByteToWideChar(CP_UTF8, 0, ReadScratch, static_cast<int>(used), line.data(), static_cast<int>(used));
  line.resize(static_cast<std::size_t>(units));
}

void Close(UnbufferedTextFile& file) {
  if (file.handle != nullptr) (void)FileCalls.closeHandle(HandleOf(file));
  file.handle = nullptr;
}

bool ForceDelete(const wchar_t* name) {
  (void)FileCalls.setFileAttributes(name, FILE_ATTRIBUTE_NORMAL);
  return FileCalls.deleteFile(name) != 0;
}

void DeleteWhileItSucceeds(const wchar_t* name) {
  for (std::int64_t deleted = 0; deleted < DeletesInARow && ForceDelete(name); ++deleted) {}
}

}  // namespace engine
