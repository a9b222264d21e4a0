// The run's platform calls without a disk, real time or real message boxes: an in-memory drive
// holding the one test file, a clock that reads what the test chooses, a recording message box and
// a view that records what the run shows. Faults and Stop clicks are placed at chosen moments.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"

// Files are numbered 1, 2, ... as they are created. Pass k starts at clock reading 2k - 1 and ends
// at reading 2k, its duration passDurations[k - 1] ms (10 when not given).
struct FakeWorld {
  std::string bytes{};   // the test file
  bool exists = false, open = false, openForWriting = false;
  std::size_t position = 0;
  std::int64_t filesCreated = 0, createAttempts = 0, secondOpen = 0, clockReadings = 0;
  std::string firstBytes{};                       // first byte of every file written, in order
  std::wstring deletedIn{};                       // the current directory at the last deletion
  std::vector<std::string> log{};                 // the first 20,000 requests and views
  std::map<std::string, std::int64_t> counts{};   // every request
  std::vector<std::int64_t> sleeps{}, passDurations{};   // ms
  std::vector<std::pair<std::wstring, std::wstring>> boxes{};   // caption, text
  std::vector<std::string> shown{};   // "count 0 393600", "pass 1 @2 w v ops" (@ clock readings), ...
  std::int64_t refuseCreatingFrom = 0;   // this creation and all later fail; truncating needs the file
  std::int64_t flipInFile = 0, flipAt = 0;   // applied once it is written
  std::int64_t stopAtReadCloseOf = 0, stopAtDeleteOf = 0, stopAtReading = 0;   // Stop seen there
  // Another program holds the file: from this create or open attempt (1, 2, ...; a creation's fallback
  // belongs to its attempt), that many attempts fail with this error.
  std::int64_t attempts = 0, heldFromAttempt = 0, heldAttempts = 0, heldError = 0;
};

extern FakeWorld World;
extern const engine::RunView RecordingView;   // records into World.shown

void InstallFakes();   // engine::File, runtime::Clock and the message box reach World from now on
void RemoveFakes();
void ResetWorld();     // a fresh World, and the clock as if never read
void FreshRunState();  // the run's state as the program starts it, pattern table just filled

inline runtime::Text Wide(const std::string& ascii) { return runtime::Text(ascii.begin(), ascii.end()); }
