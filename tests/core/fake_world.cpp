// The fake world around the in-memory drive (fake_drive.cpp): the scripted clock and sleep, the
// recording message box and view, the request log, and the seeds of the generated campaigns.
#include "fake_world.h"

#include <windows.h>

#include <cstdlib>
#include <iterator>

#include "engine/file_calls.h"
#include "runtime/clock_calls.h"
#include "runtime/pump_calls.h"

FakeWorld World;

void Violate(const std::string& what) {
  if (World.violation.empty()) World.violation = what;
}

void Note(const std::string& request) {
  if (!World.logging) return;
  if (World.log.size() < 20000) World.log.push_back(request);  // a cycle makes about 12,820
  auto*& last = World.lastCount;                               // most requests repeat the one before
  if (last == nullptr || last->first != request) last = &*World.counts.try_emplace(request).first;
  last->second += 1;
}

namespace {

engine::FileCallTable RealFile;
runtime::ClockCallTable RealClock;
decltype(&MessageBoxW) RealBox;

std::string N(std::int64_t n) { return std::string(" ").append(std::to_string(n)); }

BOOL WINAPI FakeFrequency(LARGE_INTEGER* value) {
  value->QuadPart = 1000;
  return TRUE;
}  // a tick a ms

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
  if (ms != 1062 || World.passesLeft == 0) return;
  engine::PassesDone = engine::PassesPerRun - World.passesLeft;  // the settle delay moves the run on
  engine::CyclesInPass = engine::CyclesPerPass - World.cyclesLeft;
}

int WINAPI FakeBox(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
  World.boxes.emplace_back(caption, text);
  return IDOK;
}

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
  RealFile = std::exchange(engine::FileCalls, FakeFileCalls);
  RealClock = std::exchange(runtime::ClockCalls, {FakeFrequency, FakeCounter, runtime::ClockCalls.getTickCount,
                                                  FakeSleep, runtime::ClockCalls.timeBeginPeriod});
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
  runtime::TicksPerMs = 1;  // as the fake's frequency gives: each reading is one counter query
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
