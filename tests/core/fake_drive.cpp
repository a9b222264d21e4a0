// The in-memory drive of the fake world: the file calls, the faults they meet, and what the lines
// of each read phase came back as.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "engine/file_calls.h"
#include "fake_world.h"

const FaultClass FaultClasses[FaultKinds] = {{"read: a byte or bit changed", Reads},
                                             {"read: fewer bytes than asked", Reads},
                                             {"read: fails", Reads},
                                             {"read: 0 bytes before the end", Reads},
                                             {"read: bytes beyond those written", WriteCloses},
                                             {"read: whole file replaced", WriteCloses},
                                             {"seek back fails", Seeks},
                                             {"write fails", Writes},
                                             {"write short, reported so", Writes},
                                             {"create fails", Creates},
                                             {"open fails", Opens},
                                             {"close fails", Closes},
                                             {"attributes fail", Attributes},
                                             {"delete fails", Deletes},
                                             {"delete reported, file stays", Deletes},
                                             {"file gone after writing", WriteCloses}};

std::string FileNumber(std::int64_t k) {
  std::string line(engine::PatternLine, engine::PatternLine + engine::CharsPerLine), file;
  if (k % 2 == 1) line.assign(line.rbegin(), line.rend());
  for (int i = 0; i < engine::LinesPerFile; ++i) file += line + "\r\n";
  return file;
}

namespace {

// What a drive puts in place of the file: invalid UTF-8, zeros, lone CRs and LFs, 4-byte
// sequences, lines of tens of thousands of bytes, no terminator at all, or a whole test file.
std::string Garbage(std::uint64_t arg) {
  static const std::string alphabets[] = {"\x80\xBF\xC3\xE4\xF0\xF8\xFF\x61\x62\x63",
                                          std::string("0a\0\0z", 5),
                                          "\r\n\r\r\n\nabz09",
                                          "\xF0\x9F\x98\x80\xF0\x9F\x61\n",
                                          "abcxyz0189",
                                          "z09a"};
  std::mt19937_64 random(arg);
  if (arg % 7 == 6) return FileNumber(static_cast<std::int64_t>(arg % 2));
  std::string bytes(arg % 7 == 4 ? 200000 : random() % 30000, 'a');
  for (char& byte : bytes) byte = alphabets[arg % 7][random() % alphabets[arg % 7].size()];
  for (std::size_t at = random() % 40000; arg % 7 == 4 && at < bytes.size(); at += 20000 + random() % 40000)
    bytes[at] = '\n';
  return bytes;
}

HANDLE const FakeHandle = reinterpret_cast<HANDLE>(0x5EED);
constexpr int NothingRead = 0x100, MovedBack = 0x101;  // marks among the bytes a read phase delivered

std::string Hex(DWORD v) {
  char text[16];
  snprintf(text, sizeof text, " %lX", static_cast<unsigned long>(v));
  return text;
}

// The fault of this kind that the request meets, if any. With `count`, the request is counted
// first (once, with the kind of fault that fails it); past the budget every counted request fails.
const Fault* Hit(FaultKind kind, bool count = false) {
  static const Fault overBudget{};
  const Counter counter = FaultClasses[kind].counter;
  if (count) {
    World.requests[counter] += 1;
    World.allRequests += 1;
  }
  if (count && World.allRequests == World.stopAtRequest) (void)engine::RequestStop();
  for (const Fault& f : World.faults)
    if (f.kind == kind && World.requests[counter] >= f.from && World.requests[counter] < f.from + f.count) return &f;
  return count && World.allRequests > World.budget ? &overBudget : nullptr;
}

bool Mine(HANDLE handle) {
  World.writingOrReading = true;
  if (handle == FakeHandle && World.open) return true;
  Violate("a request on no open file");
  return false;
}

BOOL Failing(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// Requests on the test file's name: in the drive's root, and no new step once Stop is clicked. The
// run polls before each cycle, after its write and read phases and after its delete step, so a
// Stop may let the step under way finish, but no delete step or next cycle may begin after it.
void OnName(LPCWSTR name, bool deleting) {
  if (std::wstring(name) != L"tfile.frl") Violate("a file other than tfile.frl");
  wchar_t here[MAX_PATH] = {};
  if (!World.root.empty() && (!GetCurrentDirectoryW(MAX_PATH, here) || _wcsicmp(here, World.root.c_str()) != 0))
    Violate("a request outside the drive's root");
  if (deleting == World.writingOrReading && engine::StopFlag == engine::StopRequested)
    Violate(deleting ? "a delete step begun after Stop" : "a cycle begun after Stop");
  World.writingOrReading = !deleting;
}

// Lines at the start of what a read phase delivered that read back as the k-th file's line: its
// 123 bytes, then what ends a line (LF, a zero, no byte; CR and LF, CR and no byte, CR and a byte
// the program moved back over, or CR and a byte it could not move back over, which is lost).
std::int64_t LinesBack(const std::vector<int>& bytes, std::int64_t k) {
  const std::string file = FileNumber(k);
  std::size_t at = 0;
  const auto next = [&] { return at < bytes.size() ? bytes[at++] : -1; };
  for (std::int64_t line = 0; line < engine::LinesPerFile; ++line) {
    for (std::int64_t i = 0; i < engine::CharsPerLine; ++i)
      if (next() != static_cast<unsigned char>(file[i])) return line;
    const int end = next();
    if (end == '\r') {
      const int after = next();
      if (after != '\n' && after != NothingRead && at < bytes.size() && bytes[at] == MovedBack) at += 1;
    } else if (end != '\n' && end != 0 && end != NothingRead) {
      return line;
    }
  }
  return engine::LinesPerFile;
}

HANDLE WINAPI FakeCreate(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                         DWORD attributes, HANDLE templ) {
  if (World.logging) Note("create" + Hex(access) + Hex(share) + Hex(disposition) + Hex(attributes));
  OnName(name, false);
  if (security != nullptr || templ != nullptr) Violate("security attributes or a template");
  if (World.open) Violate("a second open while one is open");
  const bool reading = disposition == OPEN_EXISTING;
  const Fault* fault = Hit(reading ? OpenFails : CreateFails, true);
  World.lastFailed = reading ? 2 : 1;
  if (fault != nullptr || World.open || (!World.exists && disposition != CREATE_ALWAYS)) {
    SetLastError(fault != nullptr ? (fault->arg ? static_cast<DWORD>(fault->arg) : ERROR_NOT_READY)
                                  : ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (!reading) {
    World.bytes.clear();
    World.exists = true;
    World.filesCreated += 1;
  }
  World.delivered.clear();
  World.lastFailed = 0;
  World.open = true;
  World.openForWriting = !reading;
  World.position = 0;
  return FakeHandle;
}

BOOL WINAPI FakeWrite(HANDLE handle, LPCVOID data, DWORD n, LPDWORD done, LPOVERLAPPED) {
  if (World.logging) Note("write " + std::to_string(n));
  *done = 0;
  if (!Mine(handle) || !World.openForWriting || Hit(WriteFails, true)) return Failing(ERROR_DISK_FULL);
  const Fault* cut = Hit(ShortWrite);
  const std::size_t kept = cut != nullptr && n > 0 ? cut->arg % n : n;
  World.bytes.resize(std::max(World.bytes.size(), World.position + kept));
  std::memcpy(World.bytes.data() + World.position, data, kept);
  *done = static_cast<DWORD>(kept);
  World.position += kept;
  return TRUE;
}

// The byte at `at`: the file's, then on a drive that makes them up, letters without a terminator.
bool StoredByte(std::size_t at, char& byte) {
  if (at < World.bytes.size())
    byte = World.bytes[at];
  else if (World.endless)
    byte = static_cast<char>('a' + at % 23);
  return at < World.bytes.size() || World.endless;
}

BOOL WINAPI FakeRead(HANDLE handle, LPVOID into, DWORD n, LPDWORD done, LPOVERLAPPED) {
  if (World.logging) Note(n == 1 ? "read 1" : "read " + std::to_string(n));
  *done = 0;
  char got[8];
  if (n > sizeof got) Violate("a read of more than 8 bytes");
  if (!Mine(handle) || n > sizeof got) return FALSE;
  const bool fails = Hit(ReadError, true) != nullptr || Hit(EndsEarly) != nullptr;
  std::size_t count = 0;
  while (!fails && count < n && StoredByte(World.position + count, got[count])) count += 1;
  if (const Fault* f = Hit(ShortRead); f != nullptr && count > 0) count = f->arg % count;
  if (const Fault* f = Hit(ChangedByte); f != nullptr && count > 0)
    got[f->arg % count] ^= static_cast<char>(f->arg & 0x100 ? 1 << (f->arg >> 9) % 8 : 1 + (f->arg >> 9) % 255);
  std::memcpy(into, got, count);
  World.delivered.insert(World.delivered.end(), got, got + count);
  if (count < n) World.delivered.push_back(NothingRead);
  *done = static_cast<DWORD>(count);
  World.position += count;
  return fails && Hit(EndsEarly) == nullptr ? Failing(ERROR_CRC) : TRUE;
}

DWORD WINAPI FakeSeek(HANDLE handle, LONG distance, PLONG high, DWORD method) {
  if (World.logging) Note("seek " + std::to_string(distance) + " " + std::to_string(method));
  if (!Mine(handle) || Hit(SeekFails, true) || high != nullptr || method != FILE_CURRENT ||
      distance < -static_cast<LONG>(World.position)) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  World.position += distance;
  World.delivered.push_back(MovedBack);
  return static_cast<DWORD>(World.position);
}

BOOL WINAPI FakeClose(HANDLE handle) {
  Note("close");
  if (!Mine(handle)) return FALSE;
  World.open = false;
  if (World.openForWriting) {
    World.requests[WriteCloses] += 1;
    World.firstBytes += World.bytes.empty() ? '-' : World.bytes[0];
    World.endless = false;
    if (const Fault* f = Hit(Replaced)) World.bytes = Garbage(f->arg);
    if (const Fault* f = Hit(BytesBeyond); f != nullptr && f->arg % 3 == 0)
      World.endless = true;
    else if (f != nullptr)
      World.bytes += Garbage(f->arg).substr(0, 1 + f->arg % 5000);
    if (Hit(Vanishes)) World.exists = false;
  } else {
    World.linesBack.push_back(LinesBack(World.delivered, World.filesCreated));
    if (World.atReadClose != nullptr) World.atReadClose();
  }
  return !Hit(CloseFails, true);
}

BOOL WINAPI FakeAttributes(LPCWSTR name, DWORD attributes) {
  if (World.logging) Note("attributes" + Hex(attributes));
  OnName(name, true);
  return !Hit(AttributesFail, true) && World.exists ? TRUE : Failing(ERROR_FILE_NOT_FOUND);
}

BOOL WINAPI FakeDelete(LPCWSTR name) {
  OnName(name, true);
  const bool fails = Hit(DeleteFails, true) != nullptr, lies = Hit(DeleteLies) != nullptr;
  const bool deleted = !fails && !lies && World.exists && !World.open;
  Note(deleted || (lies && !fails) ? "delete" : "delete fails");
  if (!deleted) return lies && !fails ? TRUE : Failing(ERROR_ACCESS_DENIED);
  World.exists = false;
  World.bytes.clear();
  if (World.filesCreated == World.stopAtDeleteOf) (void)engine::RequestStop();
  return TRUE;
}

}  // namespace

const engine::FileCallTable FakeFileCalls = {FakeCreate, FakeWrite,      FakeRead,  FakeSeek,
                                             FakeClose,  FakeAttributes, FakeDelete};
