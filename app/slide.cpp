#include "slide.h"

#include <mmsystem.h>

#include <algorithm>
#include <vector>

#include "client_ids.h"
#include "launcher.h"
#include "toolkit.h"

namespace {

bool g_fineTimer = true;

// The longest a slide takes where the window system cannot show every step in time.
constexpr double SLIDE_MS = 400;

// What the main window showed just before its last slide to the narrow form. The slide
// back paints each strip it uncovers from this picture and takes the strip off the
// update regions of the window and its gadgets: otherwise every gadget under the strip
// (the result list above all) repaints on each 2-pixel step, and under Wine each of those
// paints costs milliseconds however thin the strip. The real gadgets repaint once, at the
// end of the slide.
struct Snapshot {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  int width = 0;
  int height = 0;
};
Snapshot g_snapshot;

void DropSnapshot() {
  if (!g_snapshot.dc) return;
  SelectObject(g_snapshot.dc, g_snapshot.previous);
  DeleteObject(g_snapshot.bitmap);
  DeleteDC(g_snapshot.dc);
  g_snapshot = Snapshot{};
}

void TakeSnapshot(HWND window) {
  DropSnapshot();
  RECT client;
  if (!window || !GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) return;
  // Repaints still pending would otherwise be missing from the picture.
  RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  HDC screen = GetDC(window);
  if (!screen) return;
  Snapshot shot;
  shot.dc = CreateCompatibleDC(screen);
  shot.bitmap = shot.dc ? CreateCompatibleBitmap(screen, client.right, client.bottom) : nullptr;
  if (shot.bitmap) {
    shot.previous = SelectObject(shot.dc, shot.bitmap);
    shot.width = client.right;
    shot.height = client.bottom;
    // GetDC does not clip the gadgets: the copy holds them as shown.
    if (BitBlt(shot.dc, 0, 0, shot.width, shot.height, screen, 0, 0, SRCCOPY)) g_snapshot = shot;
  }
  ReleaseDC(window, screen);
  if (!g_snapshot.dc) {
    if (shot.previous) SelectObject(shot.dc, shot.previous);
    if (shot.bitmap) DeleteObject(shot.bitmap);
    if (shot.dc) DeleteDC(shot.dc);
  }
}

// Paints the part of `strip` (client coordinates) that the snapshot holds and marks it
// valid in the window and its gadgets; the rest of the strip repaints as usual.
void PaintFromSnapshot(HWND window, const RECT& strip) {
  RECT held = {0, 0, g_snapshot.width, g_snapshot.height};
  RECT part;
  if (!IntersectRect(&part, &strip, &held)) return;
  RedrawWindow(window, &part, nullptr, RDW_VALIDATE | RDW_NOERASE | RDW_ALLCHILDREN);
  HDC dc = GetDC(window);
  if (!dc) return;
  BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, g_snapshot.dc,
         part.left, part.top, SRCCOPY);
  ReleaseDC(window, dc);
}

// Brings the window to the given inner size (IGNORE keeps a dimension) and paints what it
// uncovered from the snapshot.
void Frame(HWND window, int width, int height) {
  RECT before = {}, after = {};
  GetClientRect(window, &before);
  WindowResize(WIN_MAIN, IGNORE, IGNORE, width, height);
  if (g_snapshot.dc && GetClientRect(window, &after)) {
    // The strips are empty where the window shrank.
    if (after.right > before.right)
      PaintFromSnapshot(window, {before.right, 0, after.right, after.bottom});
    if (after.bottom > before.bottom)
      PaintFromSnapshot(window, {0, before.bottom, after.right, after.bottom});
  }
  // Lets the window and its gadgets repaint; what arrives during a slide is dropped.
  for (int i = 0; i < 10; ++i) EventPoll();
  Pause(1);
}

// One step of a slide: the one dimension it sets (the other is IGNORE).
struct SlideStep {
  int width;
  int height;
};

// Runs through the steps in SLIDE_MS at most. Each frame goes to the size the sequence has
// reached by then, at least one step further than the frame before: where the window
// system shows every step in time that is every step, one per frame as ever; where it
// cannot, frames skip the steps they have no time for, and the last frame ends on the
// sequence's last size.
void Run(HWND window, const std::vector<SlideStep>& steps) {
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  int width = IGNORE, height = IGNORE;
  size_t done = 0;
  while (done < steps.size()) {
    QueryPerformanceCounter(&now);
    double elapsed = static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
                     static_cast<double>(frequency.QuadPart);
    size_t due = static_cast<size_t>(elapsed / SLIDE_MS * static_cast<double>(steps.size()));
    size_t next = std::min(steps.size(), std::max(done + 1, due));
    for (; done < next; ++done) {
      if (steps[done].width != IGNORE) width = steps[done].width;
      if (steps[done].height != IGNORE) height = steps[done].height;
    }
    Frame(window, width, height);
  }
}

// The steps of a slide, in layout units: to the narrow form 780, 778 ... 504 wide, then 610,
// 608 ... 420 high; to the wide form 503, 505 ... 779 wide, then 420 ... 610 high.
std::vector<SlideStep> StepsOf(int direction) {
  std::vector<SlideStep> steps;
  if (direction == SLIDE_TO_NARROW) {
    for (int w = MAIN_WIDTH; w >= NARROW_WIDTH - 1; w -= 2) steps.push_back({w, IGNORE});
    for (int h = MAIN_HEIGHT; h >= NARROW_HEIGHT; h -= 2) steps.push_back({IGNORE, h});
  } else {
    for (int w = NARROW_WIDTH - 1; w <= MAIN_WIDTH; w += 2) steps.push_back({w, IGNORE});
    for (int h = NARROW_HEIGHT; h <= MAIN_HEIGHT; h += 2) steps.push_back({IGNORE, h});
  }
  return steps;
}

// The real picture of what the slide uncovered, in place of the snapshot's.
void RepaintUncovered(HWND window, const RECT& start) {
  RECT end;
  if (!GetClientRect(window, &end)) return;
  HRGN uncovered = CreateRectRgn(0, 0, end.right, end.bottom);
  HRGN kept = CreateRectRgn(0, 0, start.right, start.bottom);
  if (uncovered && kept && CombineRgn(uncovered, uncovered, kept, RGN_DIFF) != NULLREGION)
    RedrawWindow(window, nullptr, uncovered,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  if (uncovered) DeleteObject(uncovered);
  if (kept) DeleteObject(kept);
}

}  // namespace

void SlideSetFineTimer(bool on) { g_fineTimer = on; }

int SlidePanel(int direction) {
  HWND window = WindowHandle(WIN_MAIN);
  // The timer resolution is process-wide: ask for 1 ms only while the slide runs.
  bool raised = g_fineTimer && timeBeginPeriod(1) == TIMERR_NOERROR;
  std::vector<SlideStep> steps = StepsOf(direction);
  if (direction == SLIDE_TO_NARROW) {
    TakeSnapshot(window);
    // The first step may widen the window by a pixel that the snapshot does not hold:
    // that column repaints as usual.
    Run(window, steps);
  } else {
    bool fromSnapshot = g_snapshot.dc != nullptr;
    Frame(window, steps.front().width, IGNORE);
    RECT start = {};  // where the slide starts, whatever the window's size was before
    GetClientRect(window, &start);
    steps.erase(steps.begin());
    Run(window, steps);
    if (fromSnapshot) {
      DropSnapshot();
      RepaintUncovered(window, start);
    }
  }
  if (raised) timeEndPeriod(1);
  return 0;
}

bool CursorInWindow(HWND window) {
  RECT rect;
  POINT point;
  if (!GetWindowRect(window, &rect) || !GetCursorPos(&point)) return false;
  return PtInRect(&rect, point) != 0;
}

int UpdateHoverCursor(int event) {
  if (event == WM_MOUSEMOVE && CursorInWindow(GadgetHandle(GADGET_PANEL_TOGGLE)))
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
  return 0;
}
