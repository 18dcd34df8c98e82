// Display scale (Windows): the dots per inch of windows and of the system, and the scaling
// of layout numbers. Layouts are written for 96 DPI (100 %); a window shown at another DPI
// has each of its positions and sizes multiplied by DPI / 96. The per-window functions of
// Windows 10 and later are looked up at run time; on older systems the screen's
// LOGPIXELSY stands in for every window.
#pragma once

#include <windows.h>

constexpr int BASE_DPI = 96;

// The DPI of the system (the primary screen), as new windows get it.
int SystemDpi();
// The DPI the system gives `window` now (SystemDpi where it cannot say per window).
int DpiOfWindow(HWND window);

// A layout number (96 DPI) in pixels at `dpi`, rounded to the nearest pixel; and back.
// For dpi >= 96 the way back gives every layout number exactly.
inline int DpiScale(int value, int dpi) { return MulDiv(value, dpi, BASE_DPI); }
inline int DpiUnscale(int value, int dpi) { return MulDiv(value, BASE_DPI, dpi); }

// The outer rectangle of a window of the style whose client area is `rect`, with the frame
// the system draws at `dpi`.
void DpiAdjustWindowRect(RECT* rect, DWORD style, bool menu, DWORD extendedStyle, int dpi);
// A system metric (SM_CXSMICON...) as the system gives it at `dpi`.
int DpiSystemMetric(int index, int dpi);

// The font to show the text of `systemFont` (a font the system made for its own DPI, such
// as its GUI font) at `dpi`: the same face, at the largest size whose line height is at
// most the line height of that face at 96 DPI, scaled to `dpi`. So lines of text grow as
// the layout does and a text that fits a place at 96 DPI fits it at every DPI: fonts do
// not grow exactly in step with their nominal size (Tahoma's lines are 13 pixels at 8
// points, 21 at 150 %, not 19.5). Returns `systemFont` itself where that is the answer,
// else a new font the caller deletes (null when none can be made).
HFONT DpiScaledFont(HFONT systemFont, int dpi);

// Of the DPIs that versions of a picture were drawn for, the index of the one to show at
// `dpi`: the one drawn for it, else the nearest larger one (scaled down, a picture loses
// the least), else the largest. -1 when `count` is 0.
int NearestDrawnDpi(const int* drawnFor, int count, int dpi);
