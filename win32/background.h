// Window background pictures (Windows): a bitmap tiled over a window's whole client area
// whenever the system asks the window to erase its background. The bitmap stays owned by
// its image (image.h) and is never deleted here.
#pragma once

#include <windows.h>

// Gives `window` the picture, subclassing the window the first time. Returns the index +
// 1 of the window's entry; 0 when either handle is 0, no entry can be made or the
// bitmap's size cannot be read.
int WindowSetBackgroundPicture(HWND window, HBITMAP bitmap);
// Deletes the memory device context the pictures are drawn from (program end).
void BackgroundsEnd();
