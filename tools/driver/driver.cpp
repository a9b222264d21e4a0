// Cross-process driving of ferrulon.exe through plain Win32 calls; see driver.h.
#include "driver.h"

#include <commctrl.h>

#include <cstdio>

#include "ui/texts.h"

namespace driver {

namespace {

struct WindowSearch {
  DWORD processId;
  const wchar_t* className;   // null: any class
  const wchar_t* title;       // null: any title
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM context) {
  WindowSearch& search = *reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search.processId || !IsWindowVisible(window)) return TRUE;
  if (search.className != nullptr && ClassOf(window) != search.className) return TRUE;
  if (search.title != nullptr) {
    // Titles of windows of other processes come from the window server without a message.
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    if (std::wstring(title) != search.title) return TRUE;
  }
  search.found = window;
  return FALSE;
}

HWND FindTopLevel(DWORD processId, const wchar_t* className, const wchar_t* title) {
  WindowSearch search = {processId, className, title, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring NewWorkDirectory() {
  static int made = 0;
  const std::string given = EnvironmentValue(L"FERRULON_START_DIR");
  if (!given.empty()) return FromUnixPath(given);
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  for (;;) {
    std::wstring dir = std::wstring(temp) + L"ferrulon-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                       std::to_wstring(++made);
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

bool StartProgram(const std::wstring& exe, Program& program, std::wstring& failure) {
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
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      program.workDir.c_str(), &startup, &info)) {
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
    if (program.window != nullptr && GetDlgItem(program.window, 502) != nullptr && Answers(program.window)) {
      program.remoteBuffer = VirtualAllocEx(program.process, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
      LocateCloseBox(program);
      return true;
    }
    Sleep(program.window == nullptr ? 5 : 50);
  }
  failure = program.window == nullptr ? L"no window titled \"" + std::wstring(ui::WindowTitle) + L"\" appeared within 30 s"
                                      : L"the window did not get all its controls within 30 s";
  return false;
}

void EndProgram(Program& program) {
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

HWND Control(const Program& program, std::int64_t number) {
  return GetDlgItem(program.window, static_cast<int>(number));
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  for (HWND c = GetWindow(parent, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
  return children;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

RECT ScreenRectOf(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}

bool IsShown(HWND window) { return IsWindowVisible(window) != FALSE; }
bool IsEnabledWindow(HWND window) { return IsWindowEnabled(window) != FALSE; }

bool Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  DWORD_PTR answer = 0;
  if (window == nullptr ||
      !SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, AnswerMs, &answer))
    return false;
  result = static_cast<LRESULT>(answer);
  return true;
}

// One WM_GETTEXT with room to spare: asking for the length first would race with a program that
// changes the text between the two answers, and cut the new text short.
std::wstring TextOf(HWND window) {
  if (window == nullptr) return L"<no control>";
  for (std::size_t room = 512;; room *= 4) {
    std::wstring text(room, L'\0');
    LRESULT copied = 0;
    if (!Ask(window, WM_GETTEXT, room, reinterpret_cast<LPARAM>(text.data()), copied)) return NoAnswer;
    if (static_cast<std::size_t>(copied) + 1 < room || room >= 65536) {
      text.resize(static_cast<std::size_t>(copied));
      return text;
    }
  }
}

std::wstring KeptTextOf(HWND window) {
  // For a window of another process GetWindowTextW sends nothing; it copies the text that the
  // window server keeps for the window (what WM_SETTEXT last stored).
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

int CheckOf(HWND option) {
  LRESULT check = 0;
  return Ask(option, BM_GETCHECK, 0, 0, check) ? static_cast<int>(check) : -1;
}

int ProgressOf(const Program& program) {
  LRESULT position = 0;
  return Ask(Control(program, 1), PBM_GETPOS, 0, 0, position) ? static_cast<int>(position) : -1;
}

// Status-bar messages carry pointers that the program writes through, so they point into a
// buffer inside the program. A send that times out may still be answered later; the buffer is
// never freed and the next send is answered after it, so a late answer cannot mix with a read.
std::wstring StatusText(const Program& program, int field) {
  HWND bar = FindWindowExW(program.window, nullptr, STATUSCLASSNAMEW, nullptr);
  LRESULT length = 0, result = 0;
  if (program.remoteBuffer == nullptr || !Ask(bar, SB_GETTEXTLENGTHW, field, 0, length) || LOWORD(length) >= 2000 ||
      !Ask(bar, SB_GETTEXTW, field, reinterpret_cast<LPARAM>(program.remoteBuffer), result))
    return NoAnswer;
  std::wstring text(LOWORD(result), L'\0');
  SIZE_T read = 0;
  if (!text.empty() &&
      !ReadProcessMemory(program.process, program.remoteBuffer, text.data(), text.size() * sizeof(wchar_t), &read))
    return NoAnswer;
  return text;
}

HWND FindMessageBox(const Program& program) {
  return FindTopLevel(program.processId, L"#32770", nullptr);
}

std::wstring MessageBoxText(HWND box) {
  // The message text is the box's static control with ID 0xFFFF (so in Wine's message box too).
  HWND text = GetDlgItem(box, 0xFFFF);
  if (text != nullptr) return TextOf(text);
  for (HWND child : Children(box))
    if (ClassOf(child) == L"Static" && !TextOf(child).empty()) return TextOf(child);
  return L"<no text control>";
}

// SendInput under Wine queues the same hardware input as the X mouse would; with no window manager
// it goes to whatever window is under the point, in any process. Absolute coordinates are
// 0..65535 across the primary screen.
// Wine also warps the X pointer when SendInput moves the cursor, and the program's own X11 driver
// turns that warp into a mouse move of its own whenever it next reads its X events, which under
// load can be after our next move: a press sent on its own would then land where the previous
// click was. So the press and the release each carry the position: Wine moves the cursor and
// queues the button message in one step.
void ClickAt(POINT screen) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT inputs[2] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((screen.x * 65535 + (width - 1) / 2) / (width - 1));
    input.mi.dy = static_cast<LONG>((screen.y * 65535 + (height - 1) / 2) / (height - 1));
  }
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN;
  inputs[1].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP;
  (void)SendInput(2, inputs, sizeof(INPUT));
}

// Real input rather than BM_CLICK: it reaches only what a user could click, and BM_CLICK posted to
// a disabled button makes Wine 8 spin at 100 % CPU.
void ClickControl(HWND control) {
  const RECT rect = ScreenRectOf(control);
  ClickAt(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

bool ClickCloseBox(const Program& program) {
  if (program.closeBox.x < 0) return false;
  const RECT outer = ScreenRectOf(program.window);
  ClickAt(POINT{outer.left + program.closeBox.x, outer.top + program.closeBox.y});
  return true;
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

int DescriptorsOn(const std::string& unixDirectory) {
  // Wine runs a Unix program given to CreateProcessW and hands back no process: the shell writes its
  // count to a file under a temporary name and then renames it, and we wait for the name.
  const std::string answer = "/tmp/ferrulon-descriptors-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(GetTickCount64());
  std::wstring command = Wide("/bin/sh -c \"d=$(realpath '" + unixDirectory + "') && find /proc/[0-9]*/fd -lname $d "
                              "2>/dev/null | wc -l >" + answer + ".part && mv " + answer + ".part " + answer + "\"");
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &started))
    return -1;
  if (started.hProcess != nullptr) CloseHandle(started.hProcess);
  if (started.hThread != nullptr) CloseHandle(started.hThread);
  for (int tries = 0; tries < 100; ++tries, Sleep(100)) {
    FILE* file = _wfopen(FromUnixPath(answer).c_str(), L"rb");
    if (file == nullptr) continue;
    int count = -1;
    if (std::fscanf(file, "%d", &count) != 1) count = -1;
    std::fclose(file);
    (void)DeleteFileW(FromUnixPath(answer).c_str());
    return count;
  }
  return -1;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
  return text;
}

std::wstring FromUnixPath(const std::string& path) {
  std::wstring dir = Wide(path);
  if (!dir.empty() && dir[0] == L'/') dir.insert(0, L"Z:");
  for (wchar_t& c : dir)
    if (c == L'/') c = L'\\';
  return dir;
}

std::string EnvironmentValue(const wchar_t* name) {
  wchar_t value[4096] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, 4096);
  return length == 0 || length >= 4096 ? std::string() : Utf8(value);
}

// Wine's ntdll exports its version; Windows' does not.
bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

}  // namespace driver
