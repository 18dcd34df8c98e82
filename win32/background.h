// Window background pictures (Windows): a bitmap tiled over a window's whole client area
// whenever the system asks the window to erase its background. The bitmap stays owned by
// its image (image.h) and is never deleted here.
//
// A picture is drawn for a DPI (96 unless said otherwise). A window of another DPI (it
// follows WM_DPICHANGED) shows a copy scaled by the ratio of the two with a smoothing
// filter, made once per DPI; so a picture drawn for the window's DPI is shown pixel for
// pixel, and one drawn for another is neither blocky nor cut.
#pragma once

#include <windows.h>

#include "dpi.h"

// Gives `window` the picture, subclassing the window the first time. Returns the index +
// 1 of the window's entry; 0 when either handle is 0, no entry can be made or the
// bitmap's size cannot be read.
int WindowSetBackgroundPicture(HWND window, HBITMAP bitmap, int pictureDpi = BASE_DPI);
// Deletes the memory device context the pictures are drawn from (program end).
void BackgroundsEnd();
