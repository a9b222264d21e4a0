#include "fake_world.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>

#include "engine/file_calls.h"
#include "runtime/clock_calls.h"
#include "runtime/pump_calls.h"

FakeWorld World;

void Violate(const std::string& what) {
  if (World.violation.empty()) World.violation = what;
}

const FaultClass FaultClasses[FaultKinds] = {
    {"read: a byte or bit changed", Reads}, {"read: fewer bytes than asked", Reads}, {"read: fails", Reads},
    {"read: 0 bytes before the end", Reads}, {"read: bytes beyond those written", WriteCloses},
    {"read: whole file replaced", WriteCloses}, {"seek back fails", Seeks}, {"write fails", Writes},
    {"write short, reported so", Writes}, {"create fails", Creates}, {"open fails", Opens}, {"close fails", Closes},
    {"attributes fail", Attributes}, {"delete fails", Deletes}, {"delete reported, file stays", Deletes},
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
  static const std::string alphabets[] = {"\x80\xBF\xC3\xE4\xF0\xF8\xFF" "abc", std::string("0a\0\0z", 5), "\r\n\r\r\n\nabz09",
                                          "\xF0\x9F\x98\x80\xF0\x9F" "a\n", "abcxyz0189", "z09a"};
  std::mt19937_64 random(arg);
  if (arg % 7 == 6) return FileNumber(static_cast<std::int64_t>(arg % 2));
  std::string bytes(arg % 7 == 4 ? 200000 : random() % 30000, 'a');
  for (char& byte : bytes) byte = alphabets[arg % 7][random() % alphabets[arg % 7].size()];
  for (std::size_t at = random() % 40000; arg % 7 == 4 && at < bytes.size(); at += 20000 + random() % 40000) bytes[at] = '\n';
  return bytes;
}

HANDLE const FakeHandle = reinterpret_cast<HANDLE>(0x5EED);
constexpr int NothingRead = 0x100, MovedBack = 0x101;   // marks among the bytes a read phase delivered
engine::FileCallTable RealFile;
runtime::ClockCallTable RealClock;
decltype(&MessageBoxW) RealBox;

void Note(const std::string& request) {
  if (!World.logging) return;
  if (World.log.size() < 20000) World.log.push_back(request);   // a cycle makes about 12,820
  auto*& last = World.lastCount;   // most requests repeat the one before
  if (last == nullptr || last->first != request) last = &*World.counts.try_emplace(request).first;
  last->second += 1;
}

std::string N(std::int64_t n) { return std::string(" ").append(std::to_string(n)); }
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
  if (count) World.requests[counter] += 1, World.allRequests += 1;
  if (count && World.allRequests == World.stopAtRequest) (void)engine::RequestStop();
  for (const Fault& f : World.faults)
    if (f.kind == kind && World.requests[counter] >= f.from && World.requests[counter] < f.from + f.count) return &f;
  return count && World.allRequests > World.budget ? &overBudget : nullptr;
}
bool Mine(HANDLE handle) {
  World.writingOrReading = true;
  return handle == FakeHandle && World.open ? true : (Violate("a request on no open file"), false);
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

HANDLE WINAPI FakeCreate(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                         DWORD disposition, DWORD attributes, HANDLE templ) {
  if (World.logging) Note("create" + Hex(access) + Hex(share) + Hex(disposition) + Hex(attributes));
  OnName(name, false);
  if (security != nullptr || templ != nullptr) Violate("security attributes or a template");
  if (World.open) Violate("a second open while one is open");
  const bool reading = disposition == OPEN_EXISTING;
  const Fault* fault = Hit(reading ? OpenFails : CreateFails, true);
  World.lastFailed = reading ? 2 : 1;
  if (fault != nullptr || World.open || (!World.exists && disposition != CREATE_ALWAYS)) {
    SetLastError(fault != nullptr ? (fault->arg ? static_cast<DWORD>(fault->arg) : ERROR_NOT_READY) : ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (!reading) World.bytes.clear(), World.exists = true, World.filesCreated += 1;
  World.delivered.clear();
  World.lastFailed = 0, World.open = true, World.openForWriting = !reading, World.position = 0;
  return FakeHandle;
}

BOOL WINAPI FakeWrite(HANDLE handle, LPCVOID data, DWORD n, LPDWORD done, LPOVERLAPPED) {
  if (World.logging) Note("write " + std::to_string(n));
  *done = 0;
  if (!Mine(handle) || !World.openForWriting || Hit(WriteFails, true)) return SetLastError(ERROR_DISK_FULL), FALSE;
  const Fault* cut = Hit(ShortWrite);
  const std::size_t kept = cut != nullptr && n > 0 ? cut->arg % n : n;
  World.bytes.resize(std::max(World.bytes.size(), World.position + kept));
  std::memcpy(World.bytes.data() + World.position, data, kept);
  World.position += *done = static_cast<DWORD>(kept);
  return TRUE;
}

// The byte at `at`: the file's, then on a drive that makes them up, letters without a terminator.
bool StoredByte(std::size_t at, char& byte) {
  if (at < World.bytes.size()) return byte = World.bytes[at], true;
  return World.endless && (byte = static_cast<char>('a' + at % 23), true);
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
  World.position += *done = static_cast<DWORD>(count);
  return fails && Hit(EndsEarly) == nullptr ? (SetLastError(ERROR_CRC), FALSE) : TRUE;
}

DWORD WINAPI FakeSeek(HANDLE handle, LONG distance, PLONG high, DWORD method) {
  if (World.logging) Note("seek" + N(distance) + N(method));
  if (!Mine(handle) || Hit(SeekFails, true) || high != nullptr || method != FILE_CURRENT ||
      distance < -static_cast<LONG>(World.position))
    return SetLastError(ERROR_NEGATIVE_SEEK), INVALID_SET_FILE_POINTER;
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
    if (const Fault* f = Hit(BytesBeyond); f != nullptr && f->arg % 3 == 0) World.endless = true;
    else if (f != nullptr) World.bytes += Garbage(f->arg).substr(0, 1 + f->arg % 5000);
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
  return !Hit(AttributesFail, true) && World.exists ? TRUE : (SetLastError(ERROR_FILE_NOT_FOUND), FALSE);
}

BOOL WINAPI FakeDelete(LPCWSTR name) {
  OnName(name, true);
  const bool fails = Hit(DeleteFails, true) != nullptr, lies = Hit(DeleteLies) != nullptr;
  const bool deleted = !fails && !lies && World.exists && !World.open;
  Note(deleted || (lies && !fails) ? "delete" : "delete fails");
  if (!deleted) return lies && !fails ? TRUE : (SetLastError(ERROR_ACCESS_DENIED), FALSE);
  World.exists = false;
  World.bytes.clear();
  if (World.filesCreated == World.stopAtDeleteOf) (void)engine::RequestStop();
  return TRUE;
}
BOOL WINAPI FakeFrequency(LARGE_INTEGER* value) { value->QuadPart = 1000; return TRUE; }   // a tick a ms
BOOL WINAPI FakeCounter(LARGE_INTEGER* value) {
  Note("clock");
  const std::int64_t reading = ++World.clockReadings, pass = (reading + 1) / 2;
  const std::int64_t duration = pass <= std::ssize(World.passDurations) ? World.passDurations[pass - 1] : 10;
  value->QuadPart = 1000000 + 100000 * pass + (reading % 2 == 0 ? duration : 0);
  return TRUE;
}
void WINAPI FakeSleep(DWORD ms) {
  Note("sleep " + std::to_string(ms));
  World.sleeps.push_back(ms);
  if (ms == 1062 && World.passesLeft > 0)   // the settle delay
    engine::PassesDone = engine::PassesPerRun - World.passesLeft, engine::CyclesInPass = engine::CyclesPerPass - World.cyclesLeft;
}
int WINAPI FakeBox(HWND, LPCWSTR text, LPCWSTR caption, UINT) { World.boxes.emplace_back(caption, text); return IDOK; }

void Show(std::string what) {
  if (World.log.size() < 20000) World.log.push_back("show " + what);
  World.shown.push_back(std::move(what));
}
std::string At() { return " @" + std::to_string(World.clockReadings); }

}  // namespace

const engine::RunView RecordingView = {
    [] { Show("drive"); },
    [] { Show("score pending"); },
    [](std::int64_t which, std::int64_t count) { Show("count" + N(which) + N(count)); },
    [](std::int64_t passes) {
      Show("pass" + N(passes) + At() + N(engine::CharsWritten) + N(engine::CharsVerified) + N(engine::FileOperations));
    },
    [] { Show("failed"); },
    [](const runtime::Text& score) { Show("completed " + std::string(score.begin(), score.end())); },
    [] { Show("ready"); },
    [](std::int64_t message) { Show("message" + N(message)); },
    [] { Show("drain" + At()); },
    [] { Note("look"); },
};

std::vector<std::uint64_t> Seeds(const char* variable, std::uint64_t first, std::uint64_t count) {
  if (const char* range = std::getenv(variable)) {
    char* end = nullptr;
    first = std::strtoull(range, &end, 10);
    count = *end == ':' ? std::strtoull(end + 1, nullptr, 10) : 1;
  }
  std::vector<std::uint64_t> seeds;
  for (std::uint64_t seed = first; seed < first + count; ++seed) seeds.push_back(seed);
  return seeds;
}

void InstallFakes() {
  RealFile = std::exchange(engine::FileCalls,
                           {FakeCreate, FakeWrite, FakeRead, FakeSeek, FakeClose, FakeAttributes, FakeDelete});
  RealClock = std::exchange(runtime::ClockCalls, {FakeFrequency, FakeCounter, runtime::ClockCalls.getTickCount, FakeSleep,
                                             runtime::ClockCalls.timeBeginPeriod});
  RealBox = std::exchange(runtime::PumpCalls.messageBox, FakeBox);
}

void RemoveFakes() {
  engine::FileCalls = RealFile;
  runtime::ClockCalls = RealClock;
  runtime::PumpCalls.messageBox = RealBox;
  runtime::TicksPerMs = 0;
}

void ResetWorld() {
  World = FakeWorld{};
  runtime::TicksPerMs = 1;   // as the fake's frequency gives: each reading is one counter query
  runtime::CounterBase = 0;
}

void FreshRunState() {
  engine::CharsWritten = engine::CharsVerified = engine::FileOperations = 0;
  engine::CyclesInPass = engine::PassesDone = engine::PassStartMs = 0;
  for (std::int64_t& time : engine::PassTimes) time = 0;
  engine::FailureFlag = engine::StopFlag = engine::RunState = 0;
  engine::WrittenRefreshCount = engine::VerifiedRefreshCount = engine::OperationsRefreshCount = 0;
  engine::LastScoreText.clear();
  for (runtime::Text& line : engine::ReadBackTable) line.clear();
  engine::FillPatternTable();
}
