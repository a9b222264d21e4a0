// Drive test engine: the test file, its pattern and the file operations.
#pragma once

#include <cstdint>

#include "runtime/runtime.h"

namespace engine {

constexpr wchar_t TestFileName[] = L"tfile.frl";  // relative: lies in the current directory
constexpr std::int64_t LinesPerFile = 100;        // lines 0..99 of every test file
constexpr std::int64_t CharsPerLine = 123;        // the terminator is not counted
constexpr std::int64_t TableEntries = 102;        // entries 100 and 101 are never used

// The 123-character pattern line: the ten digits ten times, then the alphabet without j, k, w.
constexpr wchar_t PatternLine[] =
    L"0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789"
    L"abcdefghilmnopqrstuvxyz";

extern runtime::Text (&PatternTable)[TableEntries];   // 0..99: all the pattern line or all its reverse
extern runtime::Text (&ReadBackTable)[TableEntries];  // 0..99: the lines of the last file read back

void FillPatternTable();  // entries 0..99 := the pattern line; once, at start-up

// One open test file: a platform handle and nothing else. No buffering, read-ahead or flush of
// our own: every write is one request and every character read is a one-byte request.
struct UnbufferedTextFile {
  void* handle;  // null while closed
};

// Both try again for about a second while another program holds the file.
bool CreateForWriting(UnbufferedTextFile& file, const wchar_t* name);  // create or truncate
bool OpenForReading(UnbufferedTextFile& file, const wchar_t* name);
void WriteLine(UnbufferedTextFile& file, const runtime::Text& text);  // text, then CR LF
void ReadLine(UnbufferedTextFile& file, runtime::Text& line);         // into line, without its terminator
void Close(UnbufferedTextFile& file);
bool ForceDelete(const wchar_t* name);            // clears read-only first; true when deleted
void DeleteWhileItSucceeds(const wchar_t* name);  // ForceDelete until it fails, at most 10 times

// ---- The run -------------------------------------------------------------------------------
constexpr std::int64_t PassesPerRun = 50;
constexpr std::int64_t CyclesPerPass = 50;
constexpr std::int64_t StopRequested = 100;  // StopFlag after a click on Stop
constexpr std::int64_t LineDiffered = 100;   // FailureFlag after a line read back differently
constexpr std::int64_t ResetPending = 1962;  // RunState after a run that ended early

extern std::int64_t CharsWritten;    // +123 per line written
extern std::int64_t CharsVerified;   // +123 per line read back equal
extern std::int64_t FileOperations;  // +1 per write phase and per read phase
extern std::int64_t CyclesInPass;    // 0..50
extern std::int64_t PassesDone;      // 0..50; index into PassTimes
extern std::int64_t PassStartMs;
extern std::int64_t PassTimes[53];         // ms; entries 0..49 hold the latest run, 50..52 unused
extern std::int64_t FailureFlag;           // 0, or LineDiffered
extern std::int64_t StopFlag;              // 0, or StopRequested; cleared only by the reset
extern std::int64_t RunState;              // 0, or ResetPending
extern runtime::Text& LastScoreText;       // empty until a run completes
extern std::int64_t WrittenRefreshCount;   // cycles since each status field was refreshed;
extern std::int64_t VerifiedRefreshCount;  // the first two carry over from run to run
extern std::int64_t OperationsRefreshCount;

// What the run shows, handed in by its caller: one entry per thing it reports, in the order it
// reports them. The engine knows no window; the main window's view lives in ui/.
constexpr std::int64_t WrittenCount = 0;  // the counts a refreshed status field shows
constexpr std::int64_t VerifiedCount = 1;
constexpr std::int64_t OperationsCount = 2;
constexpr std::int64_t FileNotCreated = 1;  // the two file messages: which request failed
constexpr std::int64_t FileNotOpened = 2;

struct RunView {
  void (*driveUnderTest)();                                        // the run begins on the chosen drive
  void (*scorePending)();                                          // no score yet: after the settle delay
  void (*countRefreshed)(std::int64_t which, std::int64_t count);  // every 32nd cycle per count
  void (*passDone)(std::int64_t passesDone);                       // 1..50, outside the pass time
  void (*failed)();                                                // a line read back differently
  void (*completed)(const runtime::Text& score);                   // score and verdict of a completed run
  void (*readyAgain)();                                            // after a completed run
  void (*fileMessage)(std::int64_t message);                       // FileNotCreated or FileNotOpened
  void (*drainEvents)();                                           // lets the window take pending events
  void (*stayResponsive)();  // once a cycle: the window answers the system, taking no event
};

void RunDriveTest(const RunView& view);  // in the current directory; returns when the run ends
bool RunCycle(const RunView& view);      // one write/verify cycle; false when the run ends in it
std::int64_t RequestStop();              // the Stop button's handler: StopFlag := StopRequested
void ClearCounters();                    // characters written and verified, file operations
// After a stopped run: the flags, the pass position and the counters back to 0, and any test
// file the run left in the current directory removed.
void ClearRunState();

}  // namespace engine
