#include "fake_world.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "engine/file_calls.h"
#include "runtime/clock_calls.h"
#include "runtime/pump.h"

FakeWorld World;

namespace {

HANDLE const FakeHandle = reinterpret_cast<HANDLE>(0x5EED);
engine::FileCalls RealFile;
runtime::ClockCalls RealClock;
decltype(&MessageBoxW) RealBox;

void Note(std::string request) {
  if (World.log.size() < 20000) World.log.push_back(request);   // a cycle makes about 12,820
  World.counts[std::move(request)] += 1;
}

std::string N(std::int64_t n) { return std::string(" ").append(std::to_string(n)); }
std::string Hex(DWORD v) {
  char text[16];
  snprintf(text, sizeof text, " %lX", static_cast<unsigned long>(v));
  return text;
}

HANDLE WINAPI FakeCreate(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                         DWORD disposition, DWORD attributes, HANDLE templ) {
  Note("create" + Hex(access) + Hex(share) + Hex(disposition) + Hex(attributes) +
       (std::wstring(name) == L"tfile.frl" && security == nullptr && templ == nullptr ? "" : " other"));
  World.secondOpen += World.open;
  World.attempts += disposition != TRUNCATE_EXISTING;
  const std::int64_t held = World.attempts - World.heldFromAttempt;
  if (World.heldFromAttempt && held >= 0 && held < World.heldAttempts) return SetLastError(World.heldError), INVALID_HANDLE_VALUE;
  SetLastError(ERROR_FILE_NOT_FOUND);
  if (disposition == OPEN_EXISTING) {
    if (!World.exists) return INVALID_HANDLE_VALUE;
  } else {
    World.createAttempts += disposition == CREATE_ALWAYS;
    const bool refused = World.refuseCreatingFrom && World.createAttempts >= World.refuseCreatingFrom;
    if (refused && disposition == CREATE_ALWAYS) SetLastError(ERROR_WRITE_PROTECT);
    if (disposition == CREATE_ALWAYS ? refused : !World.exists) return INVALID_HANDLE_VALUE;
    World.filesCreated += 1;
    World.bytes.clear();
    World.exists = true;
  }
  World.openForWriting = disposition != OPEN_EXISTING;
  World.open = true;
  World.position = 0;
  return FakeHandle;
}

BOOL WINAPI FakeWrite(HANDLE h, LPCVOID data, DWORD n, LPDWORD done, LPOVERLAPPED) {
  Note("write " + std::to_string(n));
  *done = 0;
  if (h != FakeHandle || !World.open || !World.openForWriting) return FALSE;
  World.bytes.replace(World.position, n, static_cast<const char*>(data), n);
  World.position += *done = n;
  return TRUE;
}
BOOL WINAPI FakeRead(HANDLE h, LPVOID data, DWORD n, LPDWORD done, LPOVERLAPPED) {
  Note(n == 1 ? "read 1" : "read " + std::to_string(n));
  *done = 0;
  if (h != FakeHandle || !World.open) return FALSE;
  const std::size_t at = std::min(World.position, World.bytes.size());
  *done = static_cast<DWORD>(World.bytes.copy(static_cast<char*>(data), n, at));
  World.position += *done;
  return TRUE;
}
DWORD WINAPI FakeSeek(HANDLE, LONG distance, PLONG, DWORD method) {
  Note("seek" + N(distance) + N(method));
  return static_cast<DWORD>(World.position += distance);
}

BOOL WINAPI FakeClose(HANDLE h) {
  Note("close");
  if (h != FakeHandle || !World.open) return FALSE;
  World.open = false;
  if (World.openForWriting) {
    World.firstBytes += World.bytes.empty() ? '-' : World.bytes[0];
    if (World.filesCreated == World.flipInFile) World.bytes[World.flipAt] ^= 0x01;
  } else if (World.filesCreated == World.stopAtReadCloseOf) {
    (void)engine::RequestStop();
  }
  return TRUE;
}
BOOL WINAPI FakeAttributes(LPCWSTR, DWORD attributes) { Note("attributes" + Hex(attributes)); return World.exists; }
BOOL WINAPI FakeDelete(LPCWSTR) {
  const bool deleted = World.exists && !World.open;
  Note(deleted ? "delete" : "delete fails");
  if (!deleted) return FALSE;
  World.exists = false;
  World.bytes.clear();
  World.deletedIn.resize(MAX_PATH);
  World.deletedIn.resize(GetCurrentDirectoryW(MAX_PATH, World.deletedIn.data()));
  if (World.filesCreated == World.stopAtDeleteOf) (void)engine::RequestStop();
  return TRUE;
}
BOOL WINAPI FakeFrequency(LARGE_INTEGER* value) { value->QuadPart = 1000; return TRUE; }   // a tick a ms
BOOL WINAPI FakeCounter(LARGE_INTEGER* value) {
  Note("clock");
  const std::int64_t reading = ++World.clockReadings, pass = (reading + 1) / 2;
  const std::int64_t duration = pass <= std::ssize(World.passDurations) ? World.passDurations[pass - 1] : 10;
  value->QuadPart = 1000000 + 100000 * pass + (reading % 2 == 0 ? duration : 0);
  if (reading == World.stopAtReading) (void)engine::RequestStop();
  return TRUE;
}
void WINAPI FakeSleep(DWORD ms) { Note("sleep " + std::to_string(ms)); World.sleeps.push_back(ms); }
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

void InstallFakes() {
  RealFile = std::exchange(engine::File,
                           {FakeCreate, FakeWrite, FakeRead, FakeSeek, FakeClose, FakeAttributes, FakeDelete});
  RealClock = std::exchange(runtime::Clock, {FakeFrequency, FakeCounter, runtime::Clock.tickCount, FakeSleep,
                                             runtime::Clock.beginPeriod});
  RealBox = std::exchange(runtime::MessageBoxCall, FakeBox);
}

void RemoveFakes() {
  engine::File = RealFile;
  runtime::Clock = RealClock;
  runtime::MessageBoxCall = RealBox;
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
