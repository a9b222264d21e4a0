// Ferrulon's entry: prepare the process, discover the drives, build the window, run the main
// loop, then release everything and end with exit code 0. Nothing is read from the command line.
#include <windows.h>

#include "drives/drives.h"
#include "engine/engine.h"
#include "runtime/runtime.h"
#include "ui/ui.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  runtime::PrepareEnvironment();

  ui::SelectedSlot = ui::NoSelection;
  engine::FailureFlag = 0;
  engine::FillPatternTable();
  drives::DriveCount = drives::CountDrives();
  drives::EnumerateDrives();
  drives::FillDriveRoots();

  ui::BuildMainWindow();
  ui::RunMainLoop();

  ui::DestroyMainWindow();
  runtime::ReleaseEnvironment();
  ExitProcess(0);
}
