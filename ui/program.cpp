// The program's start-up and shutdown: everything before the main loop, and everything after it.
#include "drives/drives.h"
#include "engine/engine.h"
#include "runtime/runtime.h"
#include "ui/ui.h"

namespace ui {

// The environment first, then the tables, the drives and the window, which drains what its build
// caused. The selected slot starts at none by its own initialiser (see the main loop).
void StartProgram() {
  runtime::PrepareEnvironment();
  engine::FailureFlag = 0;
  engine::FillPatternTable();
  drives::DriveCount = drives::CountDrives();
  drives::EnumerateDrives();
  drives::FillDriveRoots();
  BuildMainWindow();
}

// The window with all its controls, then the environment with its heaps: nothing of the program's
// may be used after this, and the process ends next.
void EndProgram() {
  DestroyMainWindow();
  runtime::ReleaseEnvironment();
}

}  // namespace ui
