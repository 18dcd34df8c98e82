#include "slide.h"

#include <mmsystem.h>

#include "client_ids.h"
#include "launcher.h"
#include "toolkit.h"

namespace {

int g_fineTimer = 1;

void Step(int width, int height) {
  WindowResize(WIN_MAIN, IGNORE, IGNORE, width, height);
  // Lets the window and its gadgets repaint; what arrives during a slide is dropped.
  for (int i = 0; i < 10; ++i) EventPoll();
  Pause(1);
}

}  // namespace

void SlideSetFineTimer(int on) { g_fineTimer = on; }

int SlidePanel(int direction) {
  // The timer resolution is process-wide: ask for 1 ms only while the slide runs.
  bool raised = g_fineTimer && timeBeginPeriod(1) == TIMERR_NOERROR;
  if (direction == 1) {
    for (int w = MAIN_WIDTH; w >= NARROW_WIDTH - 1; w -= 2) Step(w, IGNORE);
    for (int h = MAIN_HEIGHT; h >= NARROW_HEIGHT; h -= 2) Step(IGNORE, h);
  } else {
    for (int w = NARROW_WIDTH - 1; w <= MAIN_WIDTH; w += 2) Step(w, IGNORE);
    for (int h = NARROW_HEIGHT; h <= MAIN_HEIGHT; h += 2) Step(IGNORE, h);
  }
  if (raised) timeEndPeriod(1);
  return 0;
}

int CursorInWindow(HWND window) {
  RECT rect;
  POINT point;
  if (!GetWindowRect(window, &rect) || !GetCursorPos(&point)) return 0;
  return PtInRect(&rect, point) ? 1 : 0;
}

int UpdateHoverCursor(int event) {
  if (event == WM_MOUSEMOVE && CursorInWindow(GadgetHandle(GADGET_PANEL_TOGGLE)))
    SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));  // IDC_HAND
  return 0;
}
