// Text, number and clock operations.
#include "runtime/runtime.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "runtime/clock_calls.h"
#include <gtest/gtest.h>

using runtime::Text;

TEST(TextOperations, PlainDecimalFormsReversalsAndBuffers) {
  const std::int64_t numbers[] = {0, -5, 1000, 30700800, INT64_MAX, INT64_MIN};
  Text decimals;
  for (std::int64_t n : numbers) decimals += runtime::DecimalText(n) + L" ";
  EXPECT_EQ(decimals, Text(L"0 -5 1000 30700800 9223372036854775807 -9223372036854775808 "));
  EXPECT_EQ(runtime::ReverseText(Text(L"0123abz")), Text(L"zba3210"));
  EXPECT_EQ(runtime::ReverseText(Text(L"a\xD83D\xDE00")), Text(L"\xDE00\xD83D\x61"));  // units, not characters
  EXPECT_EQ(runtime::SpaceText(260), Text(260, L' '));
  EXPECT_EQ(runtime::SpaceText(-3), Text(L""));
  EXPECT_EQ(runtime::LowerText(Text(L"C:\\")), Text(L"c:\\"));
  const wchar_t roots[] = L"C:\\\0D:\\\0", early[] = {L'C', 0, L'\\', 0};
  EXPECT_EQ(runtime::TextFromBuffer(roots + 4, 3), Text(L"D:\\"));
  EXPECT_EQ(runtime::TextFromBuffer(early, 3), Text(L"C"));
}

namespace {
std::int64_t Frequency, Counter, BeginPeriodCalls;  // frequency 0: no high-resolution counter
DWORD Ticks;
std::vector<DWORD> Sleeps;
BOOL WINAPI FakeFrequency(LARGE_INTEGER* v) { return (v->QuadPart = Frequency) != 0; }
BOOL WINAPI FakeCounter(LARGE_INTEGER* v) {
  v->QuadPart = Counter;
  return TRUE;
}
DWORD WINAPI FakeTicks() { return Ticks; }
void WINAPI FakeSleep(DWORD ms) { Sleeps.push_back(ms); }
UINT WINAPI FakeBeginPeriod(UINT) {
  ++BeginPeriodCalls;
  return 0;
}

class Clock : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::exchange(runtime::ClockCalls, {FakeFrequency, FakeCounter, FakeTicks, FakeSleep, FakeBeginPeriod});
    runtime::TicksPerMs = runtime::CounterBase = runtime::TimerResolutionSet = BeginPeriodCalls = 0;
    Frequency = 10'000'000;
    Counter = 5'000'000'000;
  }
  void TearDown() override {
    runtime::ClockCalls = saved_;
    runtime::TicksPerMs = 0;
  }
  runtime::ClockCallTable saved_;
};
}  // namespace

// Whole milliseconds since the first reading, truncated, never rounded. Without a counter, or with
// one slower than 1000 ticks a second, the tick count serves, widened without sign; the counter is
// asked for again on every reading and used once it answers.
TEST_F(Clock, WholeMillisecondsSinceTheFirstReadingOrFromTheTickCount) {
  std::vector<std::int64_t> readings;
  const std::int64_t frequencies[] = {0, 999, 1'000'000, 1'000'000, 1'000'000, 1'000'000};
  const std::int64_t steps[] = {0, 0, 0, 1'999, 1, 12'345'000};  // counter ticks before each reading
  for (int i = 0; i < 6; ++i) {
    Frequency = frequencies[i];
    Ticks = i == 0 ? 0xFFFFFFF0u : 42;
    Counter += steps[i];
    readings.push_back(runtime::ElapsedMs());
  }
  EXPECT_EQ(readings, (std::vector<std::int64_t>{4294967280, 42, 0, 1, 2, 12'347}));
}

TEST_F(Clock, FirstDelayRequestsOneMillisecondResolutionOnce) {
  for (std::int64_t ms : {1062, 5, 0, -3}) runtime::DelayMs(ms);
  EXPECT_EQ(BeginPeriodCalls, 1);
  EXPECT_EQ(Sleeps, (std::vector<DWORD>{1062, 5, 0, 0}));
}

TEST(RealClock, DelayIsMeasuredInWholeMilliseconds) {
  const std::int64_t start = runtime::ElapsedMs();
  runtime::DelayMs(30);
  const std::int64_t elapsed = runtime::ElapsedMs() - start;
  EXPECT_TRUE(elapsed >= 29 && elapsed < 5000) << elapsed;  // a 1 ms resolution sleep may end a fraction early
}
