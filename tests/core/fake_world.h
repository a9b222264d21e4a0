// The run's platform calls without a disk, real time or real message boxes: an in-memory drive
// holding the one test file, with faults at chosen requests; a clock that reads what the test
// chooses; a recording message box; and a view that records what the run shows. The drive works
// out how many lines of each read phase came back as written, and holds every program to what none
// may do: touch another file, open a second one, leave the drive's root, go on past a Stop poll.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/file_calls.h"

// The requests each fault counts, from 1.
enum Counter { Reads, Seeks, Writes, Creates, Opens, Closes, WriteCloses, Attributes, Deletes, Counters };
enum FaultKind {
  ChangedByte,
  ShortRead,
  ReadError,
  EndsEarly,
  BytesBeyond,
  Replaced,
  SeekFails,
  WriteFails,
  ShortWrite,
  CreateFails,
  OpenFails,
  CloseFails,
  AttributesFail,
  DeleteFails,
  DeleteLies,
  Vanishes,
  FaultKinds
};
extern const struct FaultClass {
  const char* name;
  Counter counter;
} FaultClasses[FaultKinds];
// Requests from..from+count-1 of its counter. What it does (which byte and bits, how many bytes kept,
// which error, what garbage) comes from arg; a changed byte with arg 0 is the first byte's lowest bit.
struct Fault {
  FaultKind kind;
  std::int64_t from, count;
  std::uint64_t arg;
};
constexpr std::int64_t Always = 1LL << 40;

// Files are numbered 1, 2, ... as they are created. Pass k starts at clock reading 2k - 1 and ends
// at reading 2k, its duration passDurations[k - 1] ms (10 when not given).
struct FakeWorld {
  std::string bytes{};          // the test file
  bool exists = false;          // the test file is on the drive
  bool open = false;            // ... and open, through the one handle
  bool openForWriting = false;  // ... by a create, not an open
  bool endless = false;         // letters without a terminator past the file's end
  std::size_t position = 0;     // of the next byte read or written
  std::wstring root{};          // when set, every request must be made in this directory
  std::vector<Fault> faults{};
  std::int64_t requests[Counters] = {};  // per counter, from 1
  std::int64_t allRequests = 0;          // every counted request
  std::int64_t budget = 1LL << 62;       // past it every counted request fails
  std::int64_t lastFailed = 0;           // the last create or open: 0 done, 1 create failed, 2 open failed
  std::int64_t filesCreated = 0;
  std::string firstBytes{};               // each file's first byte when written, '-' for none
  bool writingOrReading = false;          // the last request was of a write or read phase, not a delete step
  std::vector<int> delivered{};           // in the read phase going on; 0x100: nothing read, 0x101: moved back
  std::vector<std::int64_t> linesBack{};  // per read phase: the lines at its start that came back as written
  std::string violation{};                // the first thing no program should do
  std::int64_t clockReadings = 0;
  std::vector<std::int64_t> passDurations{};                   // ms, pass 1 first
  std::vector<std::int64_t> sleeps{};                          // ms, in the order asked
  std::vector<std::pair<std::wstring, std::wstring>> boxes{};  // caption, text
  std::vector<std::string> shown{};              // "count 0 393600", "pass 1 @2 w v ops" (@ clock readings), ...
  bool logging = true;                           // the log and counts below, off for speed
  std::vector<std::string> log{};                // the first 20,000 requests and views
  std::map<std::string, std::int64_t> counts{};  // every request
  std::pair<const std::string, std::int64_t>* lastCount = nullptr;  // the entry counted last
  std::int64_t stopAtDeleteOf = 0;                                  // Stop clicked when file k is deleted
  std::int64_t stopAtRequest = 0;                                   // ... or at this counted request
  std::int64_t passesLeft = 0;      // a run moved on to its last passes in its settle delay
  std::int64_t cyclesLeft = 0;      // ... with this many cycles left in the first of them
  void (*atReadClose)() = nullptr;  // called as each read phase closes its file
};

extern FakeWorld World;
extern const engine::RunView RecordingView;        // records into World.shown
extern const engine::FileCallTable FakeFileCalls;  // the in-memory drive

void InstallFakes();  // engine::FileCalls, runtime::ClockCalls and the message box reach World from now on
void RemoveFakes();
void ResetWorld();                       // a fresh World, and the clock as if never read
void FreshRunState();                    // the run's state as the program starts it, pattern table just filled
void Violate(const std::string& what);   // keeps the first
void Note(const std::string& request);   // into the log and counts, when logging
std::string FileNumber(std::int64_t k);  // the k-th file written: reversed lines when k is odd

// A campaign's seeds: FIRST to FIRST + COUNT - 1, or as the variable says ("SEED" or "FIRST:COUNT").
// CurrentCase names the one going on, for a fault of the program to report.
std::vector<std::uint64_t> Seeds(const char* variable, std::uint64_t first, std::uint64_t count);
extern std::string CurrentCase;

inline runtime::Text Wide(const std::string& ascii) { return runtime::Text(ascii.begin(), ascii.end()); }
