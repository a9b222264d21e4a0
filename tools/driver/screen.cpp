// What the screen shows of the program: single pixels and whole-window pictures; see driver.h.
#include <cstdio>

#include "driver.h"

namespace driver {

// The screen DC of Wine's X11 driver reads back what is on the X screen; at depth 24 the banner
// colours 0xEEEEEE, 255 and 65280 come back exactly.
COLORREF PixelOf(HWND control, int x, int y) {
  POINT point = {x, y};
  ClientToScreen(control, &point);
  HDC screen = GetDC(nullptr);
  const COLORREF color = GetPixel(screen, point.x, point.y);
  ReleaseDC(nullptr, screen);
  return color;
}

bool SaveScreenshot(const Program& program, const std::wstring& path) {
  RECT area = ScreenRectOf(program.window);
  if (HWND box = FindMessageBox(program)) {
    const RECT boxRect = ScreenRectOf(box);
    UnionRect(&area, &area, &boxRect);
  }
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up rows, as a .bmp file stores them
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool saved = false;
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    SelectObject(memory, old);
    const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageBytes;
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (out != nullptr) {
      saved = fwrite(&file, sizeof file, 1, out) == 1 &&
              fwrite(&info.bmiHeader, sizeof(BITMAPINFOHEADER), 1, out) == 1 && fwrite(bits, imageBytes, 1, out) == 1;
      saved = fclose(out) == 0 && saved;
    }
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return saved;
}

}  // namespace driver
