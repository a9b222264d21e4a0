// Drives a running ferrulon.exe from another process, as a user would: finds its window and
// controls, reads what they show (texts, states, status-bar fields, screen pixels), clicks with
// real mouse input and handles its message boxes. Every wait has a deadline.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace driver {

// ---- Starting and ending ferrulon.exe (process.cpp) ----------------------------------------
// One started ferrulon.exe.
struct Program {
  HANDLE process = nullptr;
  DWORD processId = 0;
  HWND window = nullptr;         // the main window, once it is shown
  std::wstring workDir;          // a fresh empty directory, the program's starting directory
  void* remoteBuffer = nullptr;  // scratch memory inside the program for status-bar queries
  POINT closeBox = {-1, -1};     // centre of the caption's close box, from the window's corner
  bool ownWorkDir = true;        // made by StartFerrulon, so removed by EndFerrulon
};

constexpr DWORD AnswerMs = 8000;  // longest wait for the program to answer one message

// Starts the executable in a fresh working directory and waits until its main window is shown
// with every control built and the program answers messages. On failure says why. When
// FERRULON_START_DIR names a Unix directory, the program starts there instead, and the directory
// is left in place.
bool StartFerrulon(const std::wstring& exe, Program& program, std::wstring& failure);
// Ends the program if it still runs, closes its handles and removes its working directory.
void EndFerrulon(Program& program);
bool IsRunning(const Program& program);
// Waits up to timeoutMs for the process to end; gives its exit code, or STILL_ACTIVE.
DWORD WaitForExit(const Program& program, DWORD timeoutMs);

// ---- Reading its windows and controls (reading.cpp) ----------------------------------------
// A visible top-level window of the process, of that class and title (null: any), or null.
HWND FindTopLevel(DWORD processId, const wchar_t* className, const wchar_t* title);
HWND Control(const Program& program, std::int64_t number);  // child with that window ID
std::vector<HWND> Children(HWND parent);                    // in stacking order
std::wstring ClassOf(HWND window);
RECT ScreenRectOf(HWND window);
bool IsShown(HWND window);  // visible (and its parents)
bool IsEnabledWindow(HWND window);

// Messages answered by the program (it answers only while it takes events). A text that did not
// arrive in time reads as NoAnswer.
constexpr wchar_t NoAnswer[] = L"<no answer>";
bool Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
std::wstring TextOf(HWND window);
std::wstring KeptTextOf(HWND window);    // the window server's copy: needs no answer from the program
int CheckOf(HWND option);                // BM_GETCHECK, or -1 without an answer
int ProgressOf(const Program& program);  // PBM_GETPOS of the progress bar, or -1 without an answer

// A status-bar field's text, read through memory inside the program; NoAnswer when unread.
std::wstring StatusText(const Program& program, int field);

// The program's message box: a top-level dialog of its process.
HWND FindMessageBox(const Program& program);
std::wstring MessageBoxText(HWND box);

// ---- Input (input.cpp) ---------------------------------------------------------------------
// Real mouse input at screen points: move, press and release the left button.
void ClickAt(POINT screen);
void ClickControl(HWND control);  // at its centre
// The close box that Wine draws in the caption, found once while the program is idle (a busy
// program answers hit tests only between passes); false when it was not found.
bool ClickCloseBox(const Program& program);

// ---- Ferrulon's own main window (window.cpp) -----------------------------------------------
// Polls every 100 ms until the condition holds; false when the deadline passes, the program ends
// or a message box appears first, and `why` then says which.
bool WaitFor(const Program& program, DWORD timeoutMs, std::string& why, const std::function<bool()>& condition);
// The banner's verdict, green or red, once it shows one; "" when it does not in time. While
// waiting, `onPoll` (when given) is told the bar's position, read before the banner.
std::wstring WaitForVerdict(const Program& program, DWORD timeoutMs, std::string& why,
                            const std::function<void(int barPosition)>& onPoll = nullptr);
int CheckedSlotOf(const Program& program);                                   // -1 for none, -2 without an answer
bool SelectDrive(const Program& program, wchar_t letter, std::string& why);  // its slot checked by a click
bool StartRun(const Program& program, wchar_t letter, std::string& why);     // selected, then Start disabled
// After the verdict, the window shows it: Start enabled, the bar full and the banner green after a
// completed run; the banner red and Start disabled after a failed one.
bool WaitForVerdictShown(const Program& program, const std::wstring& verdict, std::string& why);
std::string Describe(const Program& program);  // every control, the status bar, any message box

// ---- What the screen shows (screen.cpp) ----------------------------------------------------
// Screen pixels (0x00BBGGRR) at a point of a control's client area.
COLORREF PixelOf(HWND control, int x, int y);
// Saves the main window and any message box of the program as a 24-bit .bmp file.
bool SaveScreenshot(const Program& program, const std::wstring& path);

// ---- Texts, paths and the environment (text.cpp) -------------------------------------------
std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);
// A Unix path as the program sees it, through Wine's Z: drive; a Windows path stays one ('/' as '\').
std::wstring FromUnixPath(const std::string& path);
// A variable of this process's environment, "" when unset.
std::string EnvironmentValue(const wchar_t* name);

}  // namespace driver
