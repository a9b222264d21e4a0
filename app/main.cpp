// Ferrulon's entry: prepare the process, discover the drives, build the window, run the main
// loop, then release everything and end with exit code 0. Nothing is read from the command line.
#include <windows.h>

#include "ui/ui.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  ui::StartProgram();
  ui::RunMainLoop();
  ui::EndProgram();
  ExitProcess(0);
}
