// Reading the program's windows and controls from outside; see driver.h.
#include <windows.h>

#include <commctrl.h>

#include "driver.h"
#include "ui/ui.h"

namespace driver {

namespace {

struct WindowSearch {
  DWORD processId;
  const wchar_t* className;  // null: any class
  const wchar_t* title;      // null: any title
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

}  // namespace

HWND FindTopLevel(DWORD processId, const wchar_t* className, const wchar_t* title) {
  WindowSearch search = {processId, className, title, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
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
  if (window == nullptr || !SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, AnswerMs, &answer))
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
  return Ask(Control(program, ui::ProgressBar), PBM_GETPOS, 0, 0, position) ? static_cast<int>(position) : -1;
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

HWND FindMessageBox(const Program& program) { return FindTopLevel(program.processId, L"#32770", nullptr); }

std::wstring MessageBoxText(HWND box) {
  // The message text is the box's static control with ID 0xFFFF (so in Wine's message box too).
  HWND text = GetDlgItem(box, 0xFFFF);
  if (text != nullptr) return TextOf(text);
  for (HWND child : Children(box))
    if (ClassOf(child) == L"Static" && !TextOf(child).empty()) return TextOf(child);
  return L"<no text control>";
}

}  // namespace driver
