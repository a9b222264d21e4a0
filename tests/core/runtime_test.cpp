// Text, number and clock operations.
#include <gtest/gtest.h>

#include <cstdint>

#include "runtime/clock_calls.h"
#include "runtime/runtime.h"
#include "text_print.h"

using runtime::Text;

TEST(DecimalText, PlainDecimalForms) {
  const struct {
    std::int64_t n;
    const wchar_t* text;
  } cases[] = {
      {0, L"0"},
      {-5, L"-5"},
      {1000, L"1000"},
      {30700800, L"30700800"},
      {INT64_MAX, L"9223372036854775807"},
      {INT64_MIN, L"-9223372036854775808"},
  };
  for (const auto& c : cases) EXPECT_EQ(runtime::DecimalText(c.n), Text(c.text)) << c.n;
}

TEST(TextOperations, ExactCopiesReversalsAndBuffers) {
  EXPECT_TRUE(runtime::TextEquals(Text(), Text(L"")));
  EXPECT_TRUE(runtime::TextEquals(Text(L"c:\\"), Text(L"c:\\")));
  EXPECT_FALSE(runtime::TextEquals(Text(L"abc"), Text(L"ABC")));
  EXPECT_FALSE(runtime::TextEquals(Text(L"abc"), Text(L"abc ")));
  EXPECT_EQ(runtime::ReverseText(Text(L"0123abz")), Text(L"zba3210"));
  EXPECT_EQ(runtime::ReverseText(Text(L"a\xD83D\xDE00")), Text(L"\xDE00\xD83D" L"a"));   // units, not characters
  EXPECT_EQ(runtime::SpaceText(260), Text(260, L' '));
  EXPECT_EQ(runtime::SpaceText(-3), Text(L""));
  EXPECT_EQ(runtime::LowerText(Text(L"C:\\")), Text(L"c:\\"));
  const wchar_t roots[] = L"C:\\\0D:\\\0";
  EXPECT_EQ(runtime::TextFromBuffer(roots + 4, 3), Text(L"D:\\"));
  const wchar_t early[] = {L'C', 0, L'\\', 0};
  EXPECT_EQ(runtime::TextFromBuffer(early, 3), Text(L"C"));
}

// A fake counter and tick count, so that the clock's arithmetic can be checked exactly.
namespace {
std::int64_t FakeFrequency;   // 0: no high-resolution counter
std::int64_t FakeCounter;
DWORD FakeTicks;
std::int64_t BeginPeriodCalls, SleepCalls;
DWORD LastSleep;

BOOL WINAPI FakeQueryFrequency(LARGE_INTEGER* v) {
  v->QuadPart = FakeFrequency;
  return FakeFrequency != 0;
}
BOOL WINAPI FakeQueryCounter(LARGE_INTEGER* v) {
  v->QuadPart = FakeCounter;
  return TRUE;
}
DWORD WINAPI FakeTickCount() { return FakeTicks; }
void WINAPI FakeSleep(DWORD ms) { ++SleepCalls; LastSleep = ms; }
UINT WINAPI FakeBeginPeriod(UINT) { ++BeginPeriodCalls; return 0; }

class Clock : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = runtime::Clock;
    runtime::Clock = {FakeQueryFrequency, FakeQueryCounter, FakeTickCount, FakeSleep, FakeBeginPeriod};
    runtime::TicksPerMs = 0;
    runtime::CounterBase = 0;
    runtime::TimerResolutionSet = 0;
    FakeFrequency = 10'000'000;
    FakeCounter = 5'000'000'000;
    FakeTicks = 0;
    BeginPeriodCalls = SleepCalls = 0;
  }
  void TearDown() override {
    runtime::Clock = saved_;
    runtime::TicksPerMs = 0;
  }
  runtime::ClockCalls saved_;
};
}  // namespace

TEST_F(Clock, WholeMillisecondsSinceTheFirstReading) {
  EXPECT_EQ(runtime::ElapsedMs(), 0);
  FakeCounter += 19'999;   // 1.9999 ms: truncated, never rounded
  EXPECT_EQ(runtime::ElapsedMs(), 1);
  FakeCounter += 1;
  EXPECT_EQ(runtime::ElapsedMs(), 2);
  FakeCounter += 12'345 * 10'000;
  EXPECT_EQ(runtime::ElapsedMs(), 12'347);
}

TEST_F(Clock, FallsBackToTheTickCountWithoutACounter) {
  FakeFrequency = 0;
  FakeTicks = 0xFFFFFFF0u;   // widened without sign
  EXPECT_EQ(runtime::ElapsedMs(), 4294967280);
  // A counter slower than 1000 ticks a second is no better than none.
  FakeFrequency = 999;
  FakeTicks = 42;
  EXPECT_EQ(runtime::ElapsedMs(), 42);
  // The counter is asked for again on every reading and used once it answers.
  FakeFrequency = 1'000'000;
  EXPECT_EQ(runtime::ElapsedMs(), 0);
  FakeCounter += 3'500;
  EXPECT_EQ(runtime::ElapsedMs(), 3);
}

TEST_F(Clock, FirstDelayRequestsOneMillisecondResolutionOnce) {
  runtime::DelayMs(1062);
  runtime::DelayMs(5);
  runtime::DelayMs(0);
  EXPECT_EQ(BeginPeriodCalls, 1);
  EXPECT_EQ(SleepCalls, 3);
  EXPECT_EQ(LastSleep, 0u);
  EXPECT_EQ(runtime::TimerResolutionSet, 1);
}

TEST(RealClock, DelayIsMeasuredInWholeMilliseconds) {
  const std::int64_t start = runtime::ElapsedMs();
  runtime::DelayMs(30);
  const std::int64_t elapsed = runtime::ElapsedMs() - start;
  EXPECT_GE(elapsed, 29);   // a 1 ms resolution sleep may end a fraction early
  EXPECT_LT(elapsed, 5000);
}
