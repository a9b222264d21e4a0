// The run's platform calls without a disk, real time or real message boxes: an in-memory drive
// holding the one test file, a clock that reads what the test chooses, a message box that only
// records, and a view that records what the run shows. Faults and Stop clicks are placed at
// chosen moments of the run.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"

// Files are numbered 1, 2, ... in the order they are created; clock readings from 1. Pass k
// (from 1) starts at reading 2k - 1 and ends at reading 2k, and time jumps between passes.
struct FakeWorld {
  std::string bytes;   // the test file
  bool exists = false;
  bool open = false;
  bool openForWriting = false;
  std::size_t position = 0;

  std::int64_t filesCreated = 0;
  std::int64_t createAttempts = 0, openAttempts = 0;
  std::string firstBytes;                       // first byte of every file created, in order
  std::vector<std::string> log;                 // the first requests and views, in order
  std::map<std::string, std::int64_t> counts;   // every request but the one-byte reads
  std::int64_t oneByteReads = 0;                // 31 million of them make a run
  std::int64_t secondOpen = 0;                  // a file opened while another was open
  std::vector<std::int64_t> sleeps;             // ms
  std::int64_t clockReadings = 0;
  std::vector<std::int64_t> passDurations;      // ms chosen by the test; 10 for passes not given
  std::vector<std::int64_t> writtenAtPassEnd, verifiedAtPassEnd, operationsAtPassEnd;
  std::vector<std::pair<std::wstring, std::wstring>> boxes;   // caption, text
  // What RecordingView was shown, in order: "drive", "score pending", "count 0 393600",
  // "pass 1 @2" (after 2 clock readings), "drain @2", "failed", "completed 246", "ready", "message 1".
  std::vector<std::string> shown;

  std::int64_t refuseCreatingFrom = 0;   // this creation and every later one fail; truncating
                                         // works only while the old file exists
  std::int64_t refuseOpeningFrom = 0;    // this opening for reading and every later one fail
  std::int64_t flipInFile = 0, flipAt = 0;   // one byte of that file changed once it is written
  std::int64_t cutFile = 0, cutTo = 0;       // that file cut short once it is written
  // Stop clicked, as far as the run can tell, at one of these moments.
  std::int64_t stopAtReadCloseOf = 0;   // the file's reading handle is closed
  std::int64_t stopAtDeleteOf = 0;      // the file is deleted
  std::int64_t stopAtReading = 0;       // the clock is read for the n-th time
};

extern FakeWorld World;
extern const engine::RunView RecordingView;   // records into World.shown

void InstallFakes();   // engine::File, runtime::Clock and the message box reach World from now on
void RemoveFakes();    // the real platform calls again
void ResetWorld();     // a fresh World, and the clock as if never read

// The run's process-wide state as the program starts it: counters 0, no stop, no score, the
// pattern table just filled.
void FreshRunState();
