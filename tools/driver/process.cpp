// Starting ferrulon.exe in a working directory of its own, and ending it; see driver.h.
#include "driver.h"
#include "ui/texts.h"
#include "ui/ui.h"

namespace driver {

namespace {

std::wstring NewWorkDirectory() {
  static int made = 0;
  const std::string given = EnvironmentValue(L"FERRULON_START_DIR");
  if (!given.empty()) return FromUnixPath(given);
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  for (;;) {
    std::wstring dir =
        std::wstring(temp) + L"ferrulon-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++made);
    if (CreateDirectoryW(dir.c_str(), nullptr)) return dir;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return L"";
  }
}

void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = dir + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        (void)SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        (void)DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  (void)RemoveDirectoryW(dir.c_str());
}

bool Answers(HWND window) {
  LRESULT ignored = 0;
  return Ask(window, WM_NULL, 0, 0, ignored);
}

// Wine draws the caption itself (there is no window manager): ask the window which points of its
// caption row are the close box, scanning from the right edge.
void LocateCloseBox(Program& program) {
  const RECT outer = ScreenRectOf(program.window);
  POINT clientOrigin = {0, 0};
  ClientToScreen(program.window, &clientOrigin);
  const int row = (outer.top + clientOrigin.y) / 2;
  int first = -1, last = -1;
  for (int x = outer.right - 1; x > outer.right - 80 && x > outer.left; --x) {
    LRESULT hit = 0;
    if (!Ask(program.window, WM_NCHITTEST, 0, MAKELPARAM(x, row), hit)) return;
    if (hit == HTCLOSE) {
      if (last < 0) last = x;
      first = x;
    } else if (last >= 0) {
      break;
    }
  }
  if (last >= 0) program.closeBox = POINT{(first + last) / 2 - outer.left, row - outer.top};
}

}  // namespace

bool StartFerrulon(const std::wstring& exe, Program& program, std::wstring& failure) {
  program = Program{};
  program.workDir = NewWorkDirectory();
  program.ownWorkDir = EnvironmentValue(L"FERRULON_START_DIR").empty();
  if (program.workDir.empty()) {
    failure = L"no temporary working directory could be made";
    return false;
  }
  std::wstring commandLine = L"\"" + exe + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, program.workDir.c_str(),
                      &startup, &info)) {
    failure = L"CreateProcessW failed with error " + std::to_wstring(GetLastError()) + L" for " + exe;
    return false;
  }
  CloseHandle(info.hThread);
  program.process = info.hProcess;
  program.processId = info.dwProcessId;

  // The window is shown before its controls exist; the last control made is StoredScoreText.
  const ULONGLONG deadline = GetTickCount64() + 30000;
  while (GetTickCount64() < deadline) {
    if (!IsRunning(program)) {
      DWORD code = 0;
      GetExitCodeProcess(program.process, &code);
      failure = L"the program ended with exit code " + std::to_wstring(code) + L" before its window was ready";
      return false;
    }
    if (program.window == nullptr) program.window = FindTopLevel(program.processId, nullptr, ui::WindowTitle);
    if (program.window != nullptr && Control(program, ui::StoredScoreText) != nullptr && Answers(program.window)) {
      program.remoteBuffer = VirtualAllocEx(program.process, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
      LocateCloseBox(program);
      return true;
    }
    Sleep(program.window == nullptr ? 5 : 50);
  }
  failure = program.window == nullptr
                ? L"no window titled \"" + std::wstring(ui::WindowTitle) + L"\" appeared within 30 s"
                : L"the window did not get all its controls within 30 s";
  return false;
}

void EndFerrulon(Program& program) {
  if (program.process != nullptr) {
    if (IsRunning(program)) {
      (void)TerminateProcess(program.process, 99);
      (void)WaitForSingleObject(program.process, 10000);
    }
    CloseHandle(program.process);
  }
  if (!program.workDir.empty() && program.ownWorkDir) RemoveTree(program.workDir);
  program = Program{};
}

bool IsRunning(const Program& program) {
  return program.process != nullptr && WaitForSingleObject(program.process, 0) == WAIT_TIMEOUT;
}

DWORD WaitForExit(const Program& program, DWORD timeoutMs) {
  if (WaitForSingleObject(program.process, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(program.process, &code);
  return code;
}

}  // namespace driver
