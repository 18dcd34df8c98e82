// Helpers for the toolkit tests: pumping the event queue, collecting what it returns,
// reading pixels back and sending real mouse and keyboard input.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "toolkit.h"

// Russian texts as the program keeps them (Windows-1251), to compare with what Windows
// shows (UTF-16) whatever the system's code page.
constexpr char WINDOW_1251[] = "\xCE\xEA\xED\xEE";                // Окно
constexpr char SEARCH_1251[] = "\xCF\xEE\xE8\xF1\xEA";            // Поиск
constexpr char DOWNLOAD_1251[] = "\xD1\xEA\xE0\xF7\xE0\xF2\xFC";  // Скачать

// A window's text as Windows holds it.
inline std::wstring WideWindowText(HWND window) {
  wchar_t text[512] = L"";
  GetWindowTextW(window, text, 512);
  return text;
}

struct SeenEvent {
  int event;
  ObjectNumber window;
  ObjectNumber gadget;
  int type;
};

// The system's internal timer message; it keeps coming while the pointer rests over a
// control that tracks hovering, so it does not count as activity.
constexpr int SYSTEM_TIMER_MESSAGE = 0x118;

// Collects events until `quietMilliseconds` pass without any (at most 3 s).
inline std::vector<SeenEvent> DrainEvents(int quietMilliseconds = 60) {
  std::vector<SeenEvent> seen;
  DWORD start = GetTickCount();
  DWORD last = start;
  while (GetTickCount() - last < static_cast<DWORD>(quietMilliseconds) &&
         GetTickCount() - start < 3000) {
    int event = EventWaitFor(10);
    if (!event || event == SYSTEM_TIMER_MESSAGE) continue;
    seen.push_back({event, EventWindowNumber(), EventGadgetNumber(), EventTypeOf()});
    last = GetTickCount();
  }
  return seen;
}

// Pumps events until `done` or the time-out; true when `done` came true.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMilliseconds = 3000) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > static_cast<DWORD>(timeoutMilliseconds)) return false;
    EventWaitFor(10);
  }
  return true;
}

// Pumps until a gadget event of `gadget` (any type when type is -2) arrives; collects the
// gadget events seen meanwhile in `seen` when given.
inline bool WaitForGadgetEvent(ObjectNumber gadget, int type, int timeoutMilliseconds = 3000,
                               std::vector<SeenEvent>* seen = nullptr) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < static_cast<DWORD>(timeoutMilliseconds)) {
    int event = EventWaitFor(10);
    if (event != EVENT_GADGET) continue;
    if (seen) seen->push_back({event, EventWindowNumber(), EventGadgetNumber(), EventTypeOf()});
    if (EventGadgetNumber() == gadget && (type == -2 || EventTypeOf() == type)) return true;
  }
  return false;
}

inline int CountGadgetEvents(const std::vector<SeenEvent>& seen, ObjectNumber gadget, int type) {
  int count = 0;
  for (const SeenEvent& e : seen)
    if (e.event == EVENT_GADGET && e.gadget == gadget && e.type == type) ++count;
  return count;
}

// The colour on screen of a point in `window`'s client area (after painting is done).
inline COLORREF ClientPixel(HWND window, int x, int y) {
  RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  POINT at = {x, y};
  ClientToScreen(window, &at);
  HDC screen = GetDC(nullptr);
  COLORREF color = GetPixel(screen, at.x, at.y);
  ReleaseDC(nullptr, screen);
  return color;
}

inline bool ColorNear(COLORREF a, COLORREF b, int tolerance = 2) {
  return abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
         abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// Real input through the system's input queue.
inline void MouseMoveTo(HWND window, int x, int y) {
  POINT at = {x, y};
  ClientToScreen(window, &at);
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof input);
}

inline void MouseScreenMoveTo(int x, int y) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof input);
}

inline void MouseButton(DWORD flag) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flag;
  SendInput(1, &input, sizeof input);
}

inline void LeftClick() {
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  MouseButton(MOUSEEVENTF_LEFTUP);
}

inline void Key(WORD key, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

inline void KeyPress(WORD key) {
  Key(key, false);
  Key(key, true);
}

// Brings a window to the front so that keyboard input reaches it.
inline bool MakeForeground(HWND window) {
  SetForegroundWindow(window);
  SetActiveWindow(window);
  return PumpUntil([&] { return GetForegroundWindow() == window; }, 2000);
}

// A test that opens toolkit windows: when it ends every window closes and the events that
// closing causes are drained. OpenWindow opens window 1 as `window_`.
class ToolkitTest : public ::testing::Test {
 protected:
  void TearDown() override {
    WindowsEnd();
    DrainEvents(20);
  }
  void OpenWindow(int x, int y, int width, int height, const char* title) {
    window_ = reinterpret_cast<HWND>(WindowOpen(1, x, y, width, height, title, 0));
    ASSERT_NE(window_, nullptr);
  }
  HWND window_ = nullptr;
};
