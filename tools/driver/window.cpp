// Waits on Ferrulon's main window and readings of its slots and banner; see driver.h.
#include "driver.h"
#include "ui/texts.h"
#include "ui/ui.h"

namespace driver {

namespace {

std::string Quoted(const std::wstring& text) { return '"' + Utf8(text) + '"'; }

// The drive slot labelled " x:\", or -1.
int SlotOf(const Program& program, wchar_t letter) {
  const std::wstring label = std::wstring(L" ") + letter + L":\\";
  for (int i = 0; i < ui::DriveSlots; ++i)
    if (TextOf(Control(program, ui::DriveOption0 + i)) == label) return i;
  return -1;
}

// The banner's four inner corners.
bool BannerPixelsAre(const Program& program, COLORREF color) {
  HWND banner = Control(program, ui::StatusBanner);
  RECT r = {};
  GetClientRect(banner, &r);
  return PixelOf(banner, 1, 1) == color && PixelOf(banner, r.right - 2, 1) == color &&
         PixelOf(banner, 1, r.bottom - 2) == color && PixelOf(banner, r.right - 2, r.bottom - 2) == color;
}

}  // namespace

bool WaitFor(const Program& program, DWORD timeoutMs, std::string& why, const std::function<bool()>& condition) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    // Looked for before the condition is asked: a box that appears just after is what the condition
    // may be waiting for, and it is asked once more before the box counts against it.
    const bool boxShown = FindMessageBox(program) != nullptr;
    if (condition()) break;
    if (!IsRunning(program)) {
      why = "the program ended with exit code " + std::to_string(WaitForExit(program, 0));
    } else if (boxShown) {
      why = "a message box appeared";
    } else if (GetTickCount64() >= deadline) {
      why = "it did not happen within " + std::to_string(timeoutMs / 1000) + " s";
    } else {
      Sleep(100);
      continue;
    }
    return false;
  }
  return true;
}

// A position read after the verdict is never taken for one of the run: the bar is read first.
std::wstring WaitForVerdict(const Program& program, DWORD timeoutMs, std::string& why,
                            const std::function<void(int barPosition)>& onPoll) {
  std::wstring banner;
  const bool shown = WaitFor(program, timeoutMs, why, [&] {
    const int position = onPoll ? ProgressOf(program) : -1;
    banner = TextOf(Control(program, ui::StatusBanner));
    if (banner == ui::PassedVerdict || banner == ui::FailedVerdict) return true;
    if (onPoll) onPoll(position);
    return false;
  });
  return shown ? banner : L"";
}

int CheckedSlotOf(const Program& program) {
  int checked = -1;
  for (int i = 0; i < ui::DriveSlots; ++i) {
    const int check = CheckOf(Control(program, ui::DriveOption0 + i));
    if (check < 0) return -2;
    if (check == BST_CHECKED) checked = i;
  }
  return checked;
}

bool SelectDrive(const Program& program, wchar_t letter, std::string& why) {
  const int slot = SlotOf(program, letter);
  if (slot < 0) {
    why = std::string("no drive slot is labelled \" ") + static_cast<char>(letter) + ":\\\"";
    return false;
  }
  HWND option = Control(program, ui::DriveOption0 + slot);
  ClickControl(option);
  if (WaitFor(program, 10000, why, [&] { return CheckOf(option) == BST_CHECKED; })) return true;
  why = "slot " + std::to_string(slot) + " was not checked: " + why;
  return false;
}

bool StartRun(const Program& program, wchar_t letter, std::string& why) {
  if (!SelectDrive(program, letter, why)) return false;
  ClickControl(Control(program, ui::StartButton));
  if (WaitFor(program, 15000, why, [&] { return !IsEnabledWindow(Control(program, ui::StartButton)); })) return true;
  why = "Start did not begin a run: " + why;
  return false;
}

bool WaitForVerdictShown(const Program& program, const std::wstring& verdict, std::string& why) {
  const bool passed = verdict == ui::PassedVerdict;
  return WaitFor(program, 15000, why, [&] {
    return IsEnabledWindow(Control(program, ui::StartButton)) == passed &&
           (!passed || ProgressOf(program) == ui::ProgressAtRest) &&
           BannerPixelsAre(program, static_cast<COLORREF>(passed ? ui::SuccessGreen : ui::FailureRed));
  });
}

std::string Describe(const Program& program) {
  if (!IsRunning(program)) return "(the program has ended)\n";
  std::string out;
  if (HWND box = FindMessageBox(program))
    out += "message box " + Quoted(TextOf(box)) + ": " + Quoted(MessageBoxText(box)) + "\n";
  // Texts as the window server keeps them, so that a busy program does not slow this down.
  for (HWND child : Children(program.window)) {
    out += "  " + std::to_string(GetDlgCtrlID(child)) + (IsShown(child) ? "" : " hidden") +
           (IsEnabledWindow(child) ? " " : " disabled ") + Quoted(KeptTextOf(child)) + "\n";
  }
  out += "  checked slot " + std::to_string(CheckedSlotOf(program)) + ", bar at " +
         std::to_string(ProgressOf(program)) + "\n";
  for (int field = 0; field < 3; ++field) out += "  status field " + Quoted(StatusText(program, field)) + "\n";
  return out;
}

}  // namespace driver
