// Window background pictures (see background.h).
#include "background.h"

#include <vector>

#include "dpi.h"
#include "image.h"

namespace {

struct BackgroundEntry {
  HWND window;
  WNDPROC previous;  // the window's own procedure; 0 until the window is subclassed
  HBITMAP bitmap;    // not owned
  int width;
  int height;
  int pictureDpi;  // the DPI the picture was drawn for
  int windowDpi;   // the window's, followed through WM_DPICHANGED
  // The picture scaled to the window's DPI, made at the first erase that needs it; owned.
  HBITMAP scaled;
  int scaledDpi;
};

void DropScaled(BackgroundEntry& entry) {
  if (entry.scaled) DeleteObject(entry.scaled);
  entry.scaled = nullptr;
  entry.scaledDpi = 0;
}

// One entry per window that ever got a picture. Entries stay while the program runs; the
// entry of a destroyed window is emptied and may serve a later window.
std::vector<BackgroundEntry> entries;
// Created on the first erase and shared by all entries.
HDC memoryDc = nullptr;

BackgroundEntry* EntryOf(HWND window) {
  for (BackgroundEntry& entry : entries)
    if (entry.window == window) return &entry;
  return nullptr;
}

// The picture as the window shows it at its DPI, and its size: the picture itself when it
// was drawn for that DPI, else a smoothed copy of the size it has there.
HBITMAP ShownPicture(BackgroundEntry& entry, int* width, int* height) {
  *width = entry.width;
  *height = entry.height;
  if (entry.windowDpi == entry.pictureDpi) return entry.bitmap;
  *width = MulDiv(entry.width, entry.windowDpi, entry.pictureDpi);
  *height = MulDiv(entry.height, entry.windowDpi, entry.pictureDpi);
  if (entry.scaledDpi != entry.windowDpi) {
    DropScaled(entry);
    entry.scaled = ImageScaledCopy(entry.bitmap, *width, *height);
    entry.scaledDpi = entry.windowDpi;
  }
  return entry.scaled ? entry.scaled : entry.bitmap;
}

void Tile(BackgroundEntry& entry, HWND window, HDC target) {
  RECT client;
  if (!GetClientRect(window, &client) || entry.width <= 0 || entry.height <= 0) return;
  int width, height;
  HBITMAP picture = ShownPicture(entry, &width, &height);
  if (width <= 0 || height <= 0) return;
  if (!memoryDc) memoryDc = CreateCompatibleDC(target);
  if (!memoryDc) return;
  HGDIOBJ old = SelectObject(memoryDc, picture);
  // Column by column, each from top to bottom; the last ones are clipped by the edges.
  for (int x = 0; x < client.right; x += width)
    for (int y = 0; y < client.bottom; y += height)
      BitBlt(target, x, y, width, height, memoryDc, 0, 0, SRCCOPY);
  SelectObject(memoryDc, old);
}

// A wide procedure: the windows are Unicode windows, and a procedure put in with the ANSI
// call would have their texts (a title being set, say) pass through the system's code page.
LRESULT CALLBACK BackgroundProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  BackgroundEntry* entry = EntryOf(window);
  if (!entry || !entry->previous) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_ERASEBKGND) {
    Tile(*entry, window, reinterpret_cast<HDC>(wParam));
    return 1;
  }
  if (message == WM_DPICHANGED) {
    entry->windowDpi = HIWORD(wParam);
    InvalidateRect(window, nullptr, TRUE);
  }
  WNDPROC previous = entry->previous;
  if (message == WM_NCDESTROY) {
    // The handle may be reused by another window: nothing of this one may stay attached.
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    DropScaled(*entry);
    *entry = BackgroundEntry{};
  }
  return CallWindowProcW(previous, window, message, wParam, lParam);
}

}  // namespace

int WindowSetBackgroundPicture(HWND window, HBITMAP bitmap, int pictureDpi) {
  if (!window || !bitmap || pictureDpi <= 0) return 0;
  BITMAP info;
  if (GetObjectW(bitmap, sizeof info, &info) < static_cast<int>(sizeof info)) return 0;
  BackgroundEntry* entry = EntryOf(window);
  if (!entry) entry = EntryOf(nullptr);  // an emptied entry
  if (!entry) {
    entries.push_back(BackgroundEntry{});
    entry = &entries.back();
  }
  if (entry->window != window) entry->windowDpi = DpiOfWindow(window);
  entry->window = window;
  entry->bitmap = bitmap;
  entry->width = info.bmWidth;
  entry->height = info.bmHeight;
  entry->pictureDpi = pictureDpi;
  DropScaled(*entry);
  if (!entry->previous)
    entry->previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BackgroundProc)));
  // The class brush would paint over the picture before the erase message comes.
  HGDIOBJ brush = reinterpret_cast<HGDIOBJ>(SetClassLongPtrW(window, GCLP_HBRBACKGROUND, 0));
  if (brush && GetObjectType(brush) == OBJ_BRUSH) DeleteObject(brush);
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
  return static_cast<int>(entry - entries.data()) + 1;
}

void BackgroundsEnd() {
  if (memoryDc) DeleteDC(memoryDc);
  memoryDc = nullptr;
}
