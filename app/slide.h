// The panel slide between the wide and the narrow form of the main window, and the hand
// cursor over the panel icon.
#pragma once

#include <windows.h>

constexpr int SLIDE_TO_WIDE = 0;
constexpr int SLIDE_TO_NARROW = 1;
// SLIDE_TO_NARROW slides to the narrow form (504 x 420), any other value to the wide form
// (ending at 779 x 610): 139 width steps, then 96 height steps of 2 pixels. Sizes and steps
// are layout units, which the toolkit scales: at 150 % the same steps are 3 pixels each and
// the slide takes the same time. Returns 0.
int SlidePanel(int direction);
// For movement events (WM_MOUSEMOVE) over the panel icon, shows the system's pointing hand.
int UpdateHoverCursor(int event);
// True when the cursor lies inside the window's screen rectangle.
bool CursorInWindow(HWND window);
// Whether SlidePanel asks for a 1 ms system timer during the slide (default on). Each step
// sleeps 1 ms; with the default 15.6 ms tick the 235 steps would take about 3.7 s.
void SlideSetFineTimer(bool on);
