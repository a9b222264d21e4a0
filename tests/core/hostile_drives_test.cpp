// Generated hostile drives under the test file and the run. A drive is a seed; from it are drawn
// how many cycles the run has left (it starts late in its last pass, so that it can complete), one
// to three faults at the system calls, each from a request drawn at random, and maybe a Stop. The
// drive keeps what each read phase delivered and finds there, by the file's own rules, how many of
// the 100 lines came back as written. Whatever the drive does, the run must end in exactly one way
// those lines allow, within a budget of requests, touching nothing but tfile.frl.
// FERRULON_DRIVES=SEED replays one drive; FERRULON_DRIVES=FIRST:COUNT runs a campaign of any length.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/file_calls.h"
#include "fake_world.h"

namespace {

constexpr std::int64_t RequestBudget = 3000000, Always = 1LL << 40;
constexpr int NothingRead = 0x100, MovedBack = 0x101;   // marks among the bytes a read phase delivered
HANDLE const Handle = reinterpret_cast<HANDLE>(0xD15C);

// What each fault counts to find its requests, from 1, and how many of them a cycle makes.
enum Counter { Reads, Seeks, Writes, Creates, Opens, Closes, WriteCloses, Attributes, Deletes, Counters };
constexpr std::int64_t PerCycle[Counters] = {12500, 1, 200, 1, 1, 2, 1, 4, 4};
enum Kind { ChangedByte, ShortRead, ReadError, EndsEarly, BytesBeyond, Replaced, SeekFails, WriteFails, ShortWrite,
            CreateFails, OpenFails, CloseFails, AttributesFail, DeleteFails, DeleteLies, Vanishes, Kinds };
const struct { const char* name; Counter counter; } Faults[Kinds] = {
    {"read: a byte or bit changed", Reads}, {"read: fewer bytes than asked", Reads}, {"read: fails", Reads},
    {"read: 0 bytes before the end", Reads}, {"read: bytes beyond those written", WriteCloses},
    {"read: whole file replaced", WriteCloses}, {"seek back fails", Seeks}, {"write fails", Writes},
    {"write short, reported so", Writes}, {"create fails", Creates}, {"open fails", Opens}, {"close fails", Closes},
    {"attributes fail", Attributes}, {"delete fails", Deletes}, {"delete reported, file stays", Deletes},
    {"file gone after writing", WriteCloses}};
enum Outcome { Green, Red, Message, Stopped, Outcomes };
const char* const OutcomeNames[Outcomes] = {"green", "red", "with a message", "stopped"};

struct Fault { Kind kind; std::int64_t from, count; std::uint64_t arg; };   // requests from..from+count-1

struct Drive {
  std::int64_t cycles = 0, stopAtLook = 0, stopAtDrain = 0;
  std::vector<Fault> faults{};
  std::string description{}, stored{}, violation{};   // stored: the file as the drive holds it
  bool exists = false, open = false, writing = false, endless = false, stopped = false;
  bool lastOpenFailed = false, lastWasReading = false;   // the last create or open, for the message
  std::size_t position = 0;
  std::int64_t counts[Counters] = {}, created = 0, requests = 0, looks = 0, drains = 0, verdicts = 0;
  std::vector<int> delivered{};           // in the read phase going on
  std::vector<std::int64_t> linesBack{};  // per read phase: lines that came back as written
  std::vector<std::int64_t> messages{};
} D;

void Violate(const std::string& what) {
  if (D.violation.empty()) D.violation = what;
}
const Fault* Hit(Kind kind) {
  const std::int64_t n = D.counts[Faults[kind].counter];
  for (const Fault& f : D.faults)
    if (f.kind == kind && n >= f.from && n < f.from + f.count) return &f;
  return nullptr;
}
bool WithinBudget() { return ++D.requests <= RequestBudget; }
void Touch(LPCWSTR name) {
  if (std::wstring(name) != L"tfile.frl") Violate("touched a file other than tfile.frl");
}
bool Mine(HANDLE handle) { return handle == Handle && D.open ? true : (Violate("a request on no open file"), false); }

// The k-th file written holds the reversed line when k is odd, the pattern line when k is even.
std::string FileNumber(std::int64_t k) {
  std::string line(engine::PatternLine, engine::PatternLine + engine::CharsPerLine), file;
  if (k % 2 == 1) line.assign(line.rbegin(), line.rend());
  for (int i = 0; i < engine::LinesPerFile; ++i) file += line + "\r\n";
  return file;
}

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

HANDLE WINAPI HostileCreate(LPCWSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD, HANDLE) {
  Touch(name);
  const bool reading = disposition == OPEN_EXISTING;
  D.counts[reading ? Opens : Creates] += 1;
  D.lastOpenFailed = true, D.lastWasReading = reading;
  const Fault* fault = Hit(reading ? OpenFails : CreateFails);
  if (D.open) Violate("a second open while one is open");
  if (!WithinBudget() || fault != nullptr || D.open || (!D.exists && disposition != CREATE_ALWAYS)) {
    SetLastError(fault != nullptr ? static_cast<DWORD>(fault->arg) : D.exists ? ERROR_NOT_READY : ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (!reading) D.stored.clear(), D.exists = true, D.created += 1;
  D.delivered.clear();
  D.lastOpenFailed = false, D.open = true, D.writing = !reading, D.position = 0;
  return Handle;
}

BOOL WINAPI HostileWrite(HANDLE handle, LPCVOID data, DWORD n, LPDWORD done, LPOVERLAPPED) {
  *done = 0;
  D.counts[Writes] += 1;
  if (!Mine(handle) || !D.writing || !WithinBudget() || Hit(WriteFails)) return SetLastError(ERROR_DISK_FULL), FALSE;
  const Fault* cut = Hit(ShortWrite);
  const std::size_t kept = cut != nullptr && n > 0 ? cut->arg % n : n;
  D.stored.resize(std::max(D.stored.size(), D.position + kept));
  std::memcpy(D.stored.data() + D.position, data, kept);
  D.position += kept;
  *done = static_cast<DWORD>(kept);
  return TRUE;
}

// The byte at `at`: the file's, then on a drive that makes them up, bytes without a terminator.
bool StoredByte(std::size_t at, char& byte) {
  if (at < D.stored.size()) return byte = D.stored[at], true;
  return D.endless && (byte = static_cast<char>('a' + at % 23), true);
}

BOOL WINAPI HostileRead(HANDLE handle, LPVOID into, DWORD n, LPDWORD done, LPOVERLAPPED) {
  *done = 0;
  D.counts[Reads] += 1;
  char got[8];
  if (n > sizeof got) Violate("a read of more than 8 bytes");
  if (!Mine(handle) || n > sizeof got) return FALSE;
  const bool fails = !WithinBudget() || Hit(ReadError) != nullptr;
  std::size_t count = 0;
  while (!fails && !Hit(EndsEarly) && count < n && StoredByte(D.position + count, got[count])) count += 1;
  if (const Fault* f = Hit(ShortRead); f != nullptr && count > 0) count = f->arg % count;
  if (const Fault* f = Hit(ChangedByte); f != nullptr && count > 0)
    got[f->arg % count] ^= static_cast<char>(f->arg & 0x100 ? 1 << (f->arg >> 9) % 8 : 1 + (f->arg >> 9) % 255);
  std::memcpy(into, got, count);
  D.delivered.insert(D.delivered.end(), got, got + count);
  if (count < n) D.delivered.push_back(NothingRead);
  D.position += *done = static_cast<DWORD>(count);
  return fails ? (SetLastError(ERROR_CRC), FALSE) : TRUE;
}

DWORD WINAPI HostileSeek(HANDLE handle, LONG distance, PLONG high, DWORD method) {
  D.counts[Seeks] += 1;
  if (!Mine(handle) || !WithinBudget() || Hit(SeekFails) || high != nullptr || method != FILE_CURRENT ||
      distance < -static_cast<LONG>(D.position))
    return SetLastError(ERROR_NEGATIVE_SEEK), INVALID_SET_FILE_POINTER;
  D.position += distance;
  D.delivered.push_back(MovedBack);
  return static_cast<DWORD>(D.position);
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

BOOL WINAPI HostileClose(HANDLE handle) {
  D.counts[Closes] += 1;
  if (!Mine(handle)) return FALSE;
  D.open = false;
  if (!D.writing) {
    D.linesBack.push_back(LinesBack(D.delivered, D.created));
  } else {
    D.counts[WriteCloses] += 1;
    D.endless = false;
    if (const Fault* f = Hit(Replaced)) D.stored = Garbage(f->arg);
    if (const Fault* f = Hit(BytesBeyond); f != nullptr && f->arg % 3 == 0) D.endless = true;
    else if (f != nullptr) D.stored += Garbage(f->arg).substr(0, 1 + f->arg % 5000);
    if (Hit(Vanishes)) D.exists = false;
  }
  return WithinBudget() && !Hit(CloseFails);
}

BOOL WINAPI HostileAttributes(LPCWSTR name, DWORD) {
  Touch(name);
  D.counts[Attributes] += 1;
  return WithinBudget() && !Hit(AttributesFail) && D.exists ? TRUE : (SetLastError(ERROR_FILE_NOT_FOUND), FALSE);
}

BOOL WINAPI HostileDelete(LPCWSTR name) {
  Touch(name);
  D.counts[Deletes] += 1;
  if (!WithinBudget() || Hit(DeleteFails) || (!Hit(DeleteLies) && (!D.exists || D.open))) return SetLastError(ERROR_ACCESS_DENIED), FALSE;
  if (!Hit(DeleteLies)) D.exists = false;
  return TRUE;
}

const engine::RunView HostileView = {
    [] {}, [] {}, [](std::int64_t, std::int64_t) {}, [](std::int64_t) {},
    [] { D.verdicts += 1 << Red; }, [](const runtime::Text&) { D.verdicts += 1 << Green; }, [] {},
    [](std::int64_t message) { D.messages.push_back(message); },
    [] {   // the drain after the last pass; not those after a verdict
      if (D.verdicts == 0 && ++D.drains == D.stopAtDrain) D.stopped = true, (void)engine::RequestStop();
    },
    [] {
      if (++D.looks == D.stopAtLook) D.stopped = true, (void)engine::RequestStop();
    }};

// The drive of one seed, and its one-line description.
void Generate(std::uint64_t seed) {
  D = Drive{};
  std::mt19937_64 random(seed * 0x9E3779B97F4A7C15ULL + 1);
  const auto upTo = [&](std::int64_t n) { return 1 + static_cast<std::int64_t>(random() % n); };
  D.cycles = upTo(3);
  for (std::int64_t n = upTo(3); n > 0; --n) {
    Fault f{static_cast<Kind>(random() % Kinds), 0, 1, random()};
    f.from = upTo(PerCycle[Faults[f.kind].counter] * D.cycles);
    if (f.kind == EndsEarly || f.kind == SeekFails || random() % 3 == 0) f.count = upTo(4) == 1 ? Always : upTo(20);
    const DWORD errors[] = {ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED, ERROR_WRITE_PROTECT, ERROR_DISK_FULL, ERROR_NOT_READY};
    if (f.kind == CreateFails || f.kind == OpenFails) f.arg = errors[f.arg % 5];
    D.faults.push_back(f);
    D.description += std::string("; ") + Faults[f.kind].name + " from request " + std::to_string(f.from) + " for " +
                     (f.count == Always ? "good" : std::to_string(f.count)) + " (" + std::to_string(f.arg % 100000) + ")";
  }
  if (random() % 4 == 0) (random() % 2 ? D.stopAtLook = upTo(D.cycles) : D.stopAtDrain = 1);
  D.description = "seed " + std::to_string(seed) + ": " + std::to_string(D.cycles) + " cycles to go" +
                  (D.stopAtLook ? ", Stop before cycle " + std::to_string(D.stopAtLook) : "") +
                  (D.stopAtDrain ? ", Stop after the last pass" : "") + D.description;
}

// The run on the drive of one seed and, when the run asks for it, the main loop's reset.
Outcome Try(std::uint64_t seed) {
  Generate(seed);
  ResetWorld();
  FreshRunState();
  engine::PassesDone = engine::PassesPerRun - 1;
  engine::CyclesInPass = engine::CyclesPerPass - D.cycles;
  engine::RunDriveTest(HostileView);
  const bool reset = engine::RunState == engine::ResetPending;
  const Outcome outcome = D.verdicts ? (D.verdicts == 1 << Red ? Red : Green) : !D.messages.empty() ? Message : Stopped;
  const std::int64_t phases = static_cast<std::int64_t>(D.linesBack.size());
  const auto differing = std::find_if(D.linesBack.begin(), D.linesBack.end(), [](std::int64_t n) { return n < 100; });
  if (D.verdicts > 2 || (D.verdicts > 0) + !D.messages.empty() + (reset && D.messages.empty()) != 1 ||
      D.messages.size() > 1 || reset != (outcome == Message || outcome == Stopped))
    Violate("not exactly one ending");
  if ((outcome == Red) != (differing != D.linesBack.end()) || (outcome == Red && differing + 1 != D.linesBack.end()))
    Violate("the lines of read phase " + std::to_string(differing - D.linesBack.begin() + 1) + " of " +
            std::to_string(phases) + ", yet the run ended " + OutcomeNames[outcome]);
  if (outcome == Green && (phases != D.cycles || engine::LastScoreText.empty())) Violate("green without every cycle and a score");
  if ((outcome == Stopped) != D.stopped) Violate(D.stopped ? "Stop not seen at the next poll" : "stopped without Stop");
  if ((outcome == Message) != D.lastOpenFailed || (outcome == Message && D.messages[0] != (D.lastWasReading ? 2 : 1)))
    Violate("the message does not match the last create or open");
  if (outcome == Red) {
    std::int64_t equal = 0;
    for (int i = 0; i < engine::LinesPerFile; ++i) {
      equal += engine::ReadBackTable[i] == engine::PatternTable[i];
      if (i < D.linesBack.back() && engine::ReadBackTable[i] != engine::PatternTable[i]) Violate("a line back as written, unequal");
    }
    if (engine::CharsVerified != 12300 * (phases - 1) + 123 * equal || engine::CharsWritten != 12300 * D.created ||
        engine::FileOperations != 2 * phases || engine::CyclesInPass != engine::CyclesPerPass - D.cycles + phases - 1 || !D.exists)
      Violate("counters, or the failing file, after the red verdict");
  }
  if (reset) engine::ClearRunState();
  if (reset && engine::CharsWritten + engine::CharsVerified + engine::FileOperations + engine::StopFlag + engine::RunState)
    Violate("the reset left counters or flags");
  if (D.requests > RequestBudget) Violate("more than " + std::to_string(RequestBudget) + " requests: a hang");
  const bool keeps = std::any_of(D.faults.begin(), D.faults.end(), [](const Fault& f) { return f.kind == DeleteFails || f.kind == DeleteLies; });
  if (outcome != Red && D.exists && !keeps) Violate("a test file left after the run");
  return outcome;
}

// Drives that found faults, kept whatever the campaign's range: deletes reported done while the file
// stays (in a run; in the reset after a Stop), and bytes without end or terminator after a file cut
// short by a write, or put in its place by the drive.
const std::uint64_t FoundSeeds[] = {178, 270, 2001, 1054};

TEST(HostileDrives, NeverAFalseGreenACrashOrAHang) {
  std::uint64_t first = 1, count = 10000;
  if (const char* range = std::getenv("FERRULON_DRIVES")) {
    char* end = nullptr;
    first = std::strtoull(range, &end, 10);
    count = *end == ':' ? std::strtoull(end + 1, nullptr, 10) : 1;
  }
  std::vector<std::uint64_t> seeds(std::begin(FoundSeeds), std::end(FoundSeeds));
  for (std::uint64_t seed = first; seed < first + count; ++seed) seeds.push_back(seed);
  InstallFakes();
  engine::File = {HostileCreate, HostileWrite, HostileRead, HostileSeek, HostileClose, HostileAttributes, HostileDelete};
  std::int64_t drives[Kinds + 1][Outcomes] = {}, failures = 0;
  for (std::uint64_t seed : seeds) {
    const Outcome outcome = Try(seed);
    drives[Kinds][outcome] += 1;
    for (const Fault& f : D.faults) drives[f.kind][outcome] += 1;
    if (!D.violation.empty() && ++failures <= 20)
      ADD_FAILURE() << D.violation << "\n  " << D.description << "\n  alone: FERRULON_DRIVES=" << seed;
  }
  RemoveFakes();
  for (int kind = 0; kind <= Kinds; ++kind)
    std::printf("%-34s %5lld green %5lld red %5lld message %5lld stopped\n", kind < Kinds ? Faults[kind].name : "all drives",
                static_cast<long long>(drives[kind][Green]), static_cast<long long>(drives[kind][Red]),
                static_cast<long long>(drives[kind][Message]), static_cast<long long>(drives[kind][Stopped]));
  EXPECT_EQ(failures, 0);
}

}  // namespace
