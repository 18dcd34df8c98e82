// Windows and the event queue: flag decoding, numbers, resizing, the queue's ordering,
// collapsing and deferral, and events from real input.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tk_test_util.h"
#include "toolkit_internal.h"

namespace {

using WindowTest = ToolkitTest;

LONG Style(HWND window) { return GetWindowLongA(window, GWL_STYLE); }
LONG ExStyle(HWND window) { return GetWindowLongA(window, GWL_EXSTYLE); }

SIZE OuterSize(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

SIZE ClientSize(HWND window) {
  RECT rect;
  GetClientRect(window, &rect);
  return {rect.right, rect.bottom};
}

TEST_F(WindowTest, OpenGivesHandleClassAndProperty) {
  HWND window = reinterpret_cast<HWND>(WindowOpen(7, 10, 20, 300, 200, WINDOW_1251, 0));
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(WindowHandle(7), window);
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  EXPECT_STREQ(name, L"WindowClass_7");
  EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropW(window, WINDOW_NUMBER_PROPERTY)), 8);
  // A Unicode window with the Russian title, whatever the system's code page.
  EXPECT_TRUE(IsWindowUnicode(window));
  EXPECT_EQ(WideWindowText(window), L"Окно");
  SIZE client = ClientSize(window);
  EXPECT_EQ(client.cx, 300);
  EXPECT_EQ(client.cy, 200);
  EXPECT_TRUE(IsWindowVisible(window));
  // No style bits given: a caption is added.
  EXPECT_EQ(Style(window) & WS_CAPTION, WS_CAPTION);
  // The window became the parent of new gadgets.
  EXPECT_EQ(GadgetListUse(nullptr), window);
}

TEST_F(WindowTest, CenteredCaptionWithoutSystemMenu) {
  HWND window = reinterpret_cast<HWND>(WindowOpen(1, 0, 0, 400, 300, "c", WINDOW_CENTERED));
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(Style(window) & WS_CAPTION, WS_CAPTION);
  EXPECT_EQ(Style(window) & WS_SYSMENU, 0);
  RECT rect;
  GetWindowRect(window, &rect);
  SIZE outer = OuterSize(window);
  EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - outer.cx) / 2);
  EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - outer.cy) / 2);
}

TEST_F(WindowTest, CenteredOnParent) {
  HWND parent = reinterpret_cast<HWND>(WindowOpen(1, 100, 100, 600, 400, "p", 0));
  HWND child = reinterpret_cast<HWND>(
      WindowOpen(2, IGNORE, IGNORE, 200, 100, "c", WINDOW_CENTERED_ON_PARENT, parent));
  RECT outer, inner;
  GetWindowRect(parent, &outer);
  GetWindowRect(child, &inner);
  EXPECT_EQ(inner.left, outer.left + (outer.right - outer.left - (inner.right - inner.left)) / 2);
  EXPECT_EQ(inner.top, outer.top + (outer.bottom - outer.top - (inner.bottom - inner.top)) / 2);
  // A child larger than a parent in the screen's corner would start left of and above
  // the screen: clamped to 0.
  WindowResize(1, 0, 0, 100, 50);
  HWND clamped =
      reinterpret_cast<HWND>(WindowOpen(3, 0, 0, 400, 300, "c", WINDOW_CENTERED_ON_PARENT, parent));
  GetWindowRect(clamped, &inner);
  EXPECT_EQ(inner.left, 0);
  EXPECT_EQ(inner.top, 0);
}

TEST_F(WindowTest, CenteringClampsToTheScreen) {
  int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  HWND window = reinterpret_cast<HWND>(
      WindowOpen(1, 0, 0, screenWidth + 500, 100, "wide", WINDOW_CENTERED | WINDOW_INVISIBLE));
  ASSERT_NE(window, nullptr);
  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 0);
  EXPECT_LE(rect.right - rect.left, screenWidth);
}

TEST_F(WindowTest, MainWindowFlagsGiveHiddenWindowThatShowsLater) {
  HWND window = reinterpret_cast<HWND>(WindowOpen(100, 0, 0, 780, 610, "Видео", 0x10CA0001));
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsWindowVisible(window));
  LONG style = Style(window);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & 7);  // the toolkit's own bits never reach the system
  SIZE client = ClientSize(window);
  EXPECT_EQ(client.cx, 780);
  EXPECT_EQ(client.cy, 610);
  EXPECT_EQ(WindowSetHidden(100, 0), 1);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_FALSE(IsIconic(window));
  EXPECT_FALSE(IsZoomed(window));
  EXPECT_EQ(WindowSetHidden(100, 1), 1);
  EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(WindowTest, ToolWindowDropsMinimiseAndMaximise) {
  HWND window =
      reinterpret_cast<HWND>(WindowOpen(2, 0, 0, 100, 100, "tool",
                                        WINDOW_TOOL | WINDOW_SYSTEM_MENU | WINDOW_MINIMIZE_GADGET |
                                            WINDOW_MAXIMIZE_GADGET | WINDOW_INVISIBLE));
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(ExStyle(window) & WS_EX_TOOLWINDOW);
  EXPECT_EQ(Style(window) & WS_CAPTION, WS_CAPTION);
  EXPECT_FALSE(Style(window) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_TRUE(Style(window) & WS_SYSMENU);
}

TEST_F(WindowTest, NoGadgetListKeepsTheCurrentParent) {
  HWND first = reinterpret_cast<HWND>(WindowOpen(3, 0, 0, 100, 100, "a", WINDOW_INVISIBLE));
  WindowOpen(4, 0, 0, 100, 100, "b", WINDOW_INVISIBLE | WINDOW_NO_GADGET_LIST);
  EXPECT_EQ(GadgetListUse(nullptr), first);
}

TEST_F(WindowTest, AnyNumberWindowsGetDistinctLargeNumbers) {
  intptr_t a = WindowOpen(ANY_NUMBER, 0, 0, 50, 50, "a", WINDOW_INVISIBLE);
  intptr_t b = WindowOpen(ANY_NUMBER, 0, 0, 50, 50, "b", WINDOW_INVISIBLE);
  ASSERT_NE(a, 0);
  ASSERT_NE(b, 0);
  EXPECT_NE(a, b);
  EXPECT_GT(a, 0xFFFF);
  EXPECT_GT(b, 0xFFFF);
  HWND handle = WindowHandle(a);
  ASSERT_NE(handle, nullptr);
  EXPECT_NE(handle, WindowHandle(b));
  EXPECT_EQ(WindowNumberOfHandle(handle), a);
  WindowClose(a);
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(WindowHandle(a), nullptr);
  EXPECT_NE(WindowHandle(b), nullptr);
}

TEST_F(WindowTest, ReusingANumberClosesTheOldWindowFirst) {
  HWND old = reinterpret_cast<HWND>(WindowOpen(5, 0, 0, 50, 50, "old", WINDOW_INVISIBLE));
  ASSERT_NE(old, nullptr);
  HWND fresh = reinterpret_cast<HWND>(WindowOpen(5, 0, 0, 60, 60, "new", WINDOW_INVISIBLE));
  ASSERT_NE(fresh, nullptr);
  EXPECT_FALSE(IsWindow(old));
  EXPECT_EQ(WindowHandle(5), fresh);
}

TEST_F(WindowTest, OwnedWindowGoesWithItsOwnerAndFreesItsNumber) {
  HWND owner = reinterpret_cast<HWND>(WindowOpen(30, 0, 0, 100, 100, "owner", WINDOW_INVISIBLE));
  HWND owned =
      reinterpret_cast<HWND>(WindowOpen(31, 0, 0, 50, 50, "owned", WINDOW_INVISIBLE, owner));
  ASSERT_NE(owned, nullptr);
  EXPECT_EQ(GetWindow(owned, GW_OWNER), owner);
  WindowClose(30);
  EXPECT_FALSE(IsWindow(owned));
  EXPECT_EQ(WindowHandle(31), nullptr);
  // The number (and its window class) can be used again.
  HWND again = reinterpret_cast<HWND>(WindowOpen(31, 0, 0, 50, 50, "again", WINDOW_INVISIBLE));
  ASSERT_NE(again, nullptr);
  DestroyWindow(again);
  EXPECT_EQ(WindowHandle(31), nullptr);
}

TEST_F(WindowTest, OperationsOnUnusedNumbersDoNothing) {
  EXPECT_EQ(WindowHandle(55), nullptr);
  EXPECT_EQ(WindowSetTitle(55, "x"), 0);
  EXPECT_EQ(WindowResize(55, 1, 2, 3, 4), 0);
  EXPECT_EQ(WindowSetTopmost(55, 1), 0);
  EXPECT_EQ(WindowSetHidden(55, 0), 0);
  EXPECT_EQ(WindowSetColor(55, 0), 0);
  WindowClose(55);
  WindowClose(-7);
  EXPECT_EQ(WindowHandle(-7), nullptr);
  EXPECT_EQ(WindowHandle(123456789), nullptr);
  // A number the table refuses gives no window.
  EXPECT_EQ(WindowOpen(-5, 0, 0, 10, 10, "x", WINDOW_INVISIBLE), 0);
}

TEST_F(WindowTest, TitleNullDoesNothingAndNullTitleAtOpenIsEmpty) {
  HWND window = reinterpret_cast<HWND>(
      WindowOpen(6, 0, 0, 50, 50, static_cast<const char*>(nullptr), WINDOW_INVISIBLE));
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetWindowTextLengthW(window), 0);
  EXPECT_EQ(WindowSetTitle(6, SEARCH_1251), 1);
  EXPECT_EQ(WindowSetTitle(6, static_cast<const char*>(nullptr)), 0);
  EXPECT_EQ(WideWindowText(window), L"Поиск");
  // A title the code page cannot hold.
  EXPECT_EQ(WindowSetWideTitle(6, L"C:\\用户\\видео.mp4"), 1);
  EXPECT_EQ(WideWindowText(window), L"C:\\用户\\видео.mp4");
  EXPECT_EQ(WindowSetWideTitle(99, L"x"), 0);
}

TEST_F(WindowTest, ResizeWithIgnoreKeepsTheOtherValues) {
  HWND window = reinterpret_cast<HWND>(WindowOpen(8, 40, 50, 300, 200, "r", WINDOW_INVISIBLE));
  ASSERT_NE(window, nullptr);
  RECT before;
  GetWindowRect(window, &before);
  EXPECT_EQ(WindowResize(8, IGNORE, IGNORE, 500, IGNORE), 1);
  RECT after;
  GetWindowRect(window, &after);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ(ClientSize(window).cx, 500);
  EXPECT_EQ(ClientSize(window).cy, 200);
  EXPECT_EQ(WindowResize(8, 70, IGNORE, IGNORE, 120), 1);
  GetWindowRect(window, &after);
  EXPECT_EQ(after.left, 70);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ(ClientSize(window).cx, 500);
  EXPECT_EQ(ClientSize(window).cy, 120);
}

TEST_F(WindowTest, TopmostTogglesWithoutMoving) {
  HWND window = reinterpret_cast<HWND>(WindowOpen(9, 30, 30, 100, 100, "t", 0));
  RECT before;
  GetWindowRect(window, &before);
  EXPECT_EQ(WindowSetTopmost(9, 1), 1);
  EXPECT_TRUE(ExStyle(window) & WS_EX_TOPMOST);
  EXPECT_EQ(WindowSetTopmost(9, 0), 1);
  EXPECT_FALSE(ExStyle(window) & WS_EX_TOPMOST);
  RECT after;
  GetWindowRect(window, &after);
  EXPECT_TRUE(EqualRect(&before, &after));

  // Topmost from its creation on; the flag is the toolkit's own, not a window style.
  HWND above = reinterpret_cast<HWND>(WindowOpen(10, 30, 30, 100, 100, "u", WINDOW_TOPMOST));
  EXPECT_TRUE(ExStyle(above) & WS_EX_TOPMOST);
  EXPECT_FALSE(GetWindowLongPtrW(above, GWL_STYLE) & WINDOW_TOPMOST);
  EXPECT_EQ(WindowSetTopmost(10, 0), 1);
  EXPECT_FALSE(ExStyle(above) & WS_EX_TOPMOST);
}

TEST_F(WindowTest, PollWithNothingPendingReturnsAtOnce) {
  DrainEvents(30);
  DWORD start = GetTickCount();
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(EventPoll(), 0);
  EXPECT_LT(GetTickCount() - start, 500u);
  start = GetTickCount();
  EXPECT_EQ(EventWaitFor(80), 0);
  EXPECT_GE(GetTickCount() - start, 60u);
}

TEST_F(WindowTest, CloseIsQueuedOnceAndLeavesTheWindowOpen) {
  HWND window = reinterpret_cast<HWND>(WindowOpen(10, 0, 0, 100, 100, "q", WINDOW_INVISIBLE));
  DrainEvents(20);
  SendMessageA(window, WM_CLOSE, 0, 0);
  SendMessageA(window, WM_CLOSE, 0, 0);  // same event, same window: collapsed
  EXPECT_EQ(EventPoll(), EVENT_CLOSE);
  EXPECT_EQ(EventWindowNumber(), 10);
  EXPECT_EQ(EventPoll(), 0);
  EXPECT_TRUE(IsWindow(window));
}

TEST_F(WindowTest, QueuedEventsKeepOrderAndPreviousGadget) {
  HWND a = reinterpret_cast<HWND>(WindowOpen(11, 0, 0, 100, 100, "a", WINDOW_INVISIBLE));
  HWND b = reinterpret_cast<HWND>(WindowOpen(12, 0, 0, 100, 100, "b", WINDOW_INVISIBLE));
  DrainEvents(20);
  PostMessageA(a, GADGET_EVENT_MESSAGE, 42, 7);
  ASSERT_EQ(EventWait(), EVENT_GADGET);
  EXPECT_EQ(EventGadgetNumber(), 42);
  EXPECT_EQ(EventTypeOf(), 7);
  EXPECT_EQ(EventWindowNumber(), 11);
  SendMessageA(a, WM_CLOSE, 0, 0);
  SendMessageA(b, WM_CLOSE, 0, 0);
  SendMessageA(a, WM_CLOSE, 0, 0);  // not the same as the tail (b): kept
  ASSERT_EQ(EventPoll(), EVENT_CLOSE);
  EXPECT_EQ(EventWindowNumber(), 11);
  EXPECT_EQ(EventTypeOf(), -1);
  EXPECT_EQ(EventGadgetNumber(), 42);
  ASSERT_EQ(EventPoll(), EVENT_CLOSE);
  EXPECT_EQ(EventWindowNumber(), 12);
  ASSERT_EQ(EventPoll(), EVENT_CLOSE);
  EXPECT_EQ(EventWindowNumber(), 11);
  EXPECT_EQ(EventPoll(), 0);
}

// Waiting for something else: gadget events arising meanwhile come out afterwards in order,
// with their own values, while the values of the event being handled stay; a close
// request ends the wait at once and is queued as well.
TEST_F(WindowTest, PumpingDefersEventsAndStopsAtACloseRequest) {
  HWND window = reinterpret_cast<HWND>(WindowOpen(14, 0, 0, 100, 100, "p", WINDOW_INVISIBLE));
  DrainEvents(20);
  PostMessageA(window, GADGET_EVENT_MESSAGE, 5, 1);
  ASSERT_EQ(EventWait(), EVENT_GADGET);
  PostMessageA(window, GADGET_EVENT_MESSAGE, 42, 7);
  PostMessageA(window, GADGET_EVENT_MESSAGE, 43, 0);
  HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(EventPumpUntil(never, 100), PUMP_TIMED_OUT);
  EXPECT_EQ(EventGadgetNumber(), 5);
  EXPECT_EQ(EventTypeOf(), 1);
  PostMessageA(window, WM_CLOSE, 0, 0);
  DWORD start = GetTickCount();
  EXPECT_EQ(EventPumpUntil(never, 5000), PUMP_CLOSE_REQUESTED);
  EXPECT_LT(GetTickCount() - start, 1000u);
  SetEvent(never);
  EXPECT_EQ(EventPumpUntil(never, 5000), PUMP_SIGNALLED);
  CloseHandle(never);
  std::vector<SeenEvent> seen = DrainEvents(30);
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[0].gadget, 42);
  EXPECT_EQ(seen[0].type, 7);
  EXPECT_EQ(seen[1].gadget, 43);
  EXPECT_EQ(seen[1].type, 0);
  EXPECT_EQ(seen[2].event, EVENT_CLOSE);
}

// A window event that arises while another message is handled comes out of the queue on
// the next call, after the raw number of the message that caused it.
LRESULT MoveOnAppMessage(HWND window, UINT message, WPARAM, LPARAM) {
  if (message != WM_APP + 1) return NOT_HANDLED;
  SetWindowPos(window, nullptr, 33, 44, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return 0;
}

TEST_F(WindowTest, EventsFromNestedMessagesAreDeferred) {
  HWND window = reinterpret_cast<HWND>(WindowOpen(13, 0, 0, 100, 100, "d", WINDOW_INVISIBLE));
  ASSERT_EQ(WindowSetCallback(13, MoveOnAppMessage), 1);
  DrainEvents(20);
  PostMessageA(window, WM_APP + 1, 0, 0);
  EXPECT_EQ(EventWait(), static_cast<int>(WM_APP + 1));
  EXPECT_EQ(EventPoll(), EVENT_MOVE);
  EXPECT_EQ(EventWindowNumber(), 13);
}

TEST_F(WindowTest, RawMessagesPassThroughWithParameters) {
  HWND window = reinterpret_cast<HWND>(WindowOpen(14, 0, 0, 100, 100, "raw", WINDOW_INVISIBLE));
  DrainEvents(20);
  PostMessageA(window, WM_APP + 5, 1234, 5678);
  EXPECT_EQ(EventWait(), static_cast<int>(WM_APP + 5));
  EXPECT_EQ(EventWParam(), 1234u);
  EXPECT_EQ(EventLParam(), 5678);
  EXPECT_EQ(EventTypeOf(), -1);
}

TEST_F(WindowTest, MenuCommandsAndTimers) {
  HWND window = reinterpret_cast<HWND>(WindowOpen(15, 0, 0, 100, 100, "m", WINDOW_INVISIBLE));
  DrainEvents(20);
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(500, 0), 0);
  EXPECT_EQ(EventWait(), EVENT_MENU);
  EXPECT_EQ(EventGadgetNumber(), 500);
  EXPECT_EQ(EventWindowNumber(), 15);
  SetTimer(window, 77, 10, nullptr);
  EXPECT_TRUE(PumpUntil([] { return EventGadgetNumber() == 77; }));
  KillTimer(window, 77);
  // The last event returned was the timer's.
  EXPECT_EQ(EventGadgetNumber(), 77);

  // The toolkit's own timers: a restart pushes the next report back; removed, none come.
  ASSERT_TRUE(WindowAddTimer(15, 78, 150));
  DrainEvents(60);
  ASSERT_TRUE(WindowAddTimer(15, 78, 150));
  DWORD restarted = GetTickCount();
  EXPECT_TRUE(PumpUntil([] { return EventGadgetNumber() == 78; }));
  EXPECT_GE(GetTickCount() - restarted, 140u);
  EXPECT_TRUE(WindowRemoveTimer(15, 78));
  for (const SeenEvent& e : DrainEvents(300)) EXPECT_NE(e.event, EVENT_TIMER);
}

TEST_F(WindowTest, SizeLimitsAndToolWindowMinimum) {
  HWND window = reinterpret_cast<HWND>(WindowOpen(16, 0, 0, 100, 100, "s", WINDOW_INVISIBLE));
  ASSERT_EQ(WindowSetSizeLimits(16, 120, 0, 640, 480), 1);
  MINMAXINFO info = {};
  info.ptMinTrackSize = {5, 6};
  info.ptMaxTrackSize = {7000, 8000};
  SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 120);
  EXPECT_EQ(info.ptMinTrackSize.y, 6);  // 0 = no limit: left alone
  EXPECT_EQ(info.ptMaxTrackSize.x, 640);
  EXPECT_EQ(info.ptMaxTrackSize.y, 480);

  HWND tool =
      reinterpret_cast<HWND>(WindowOpen(17, 0, 0, 100, 100, "t", WINDOW_TOOL | WINDOW_INVISIBLE));
  info.ptMinTrackSize = {50, 50};
  SendMessageA(tool, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 1);
}

int dpiSeen = 0;
void NoteDpi(ObjectNumber, int dpi) { dpiSeen = dpi; }

// x, y, width, height of a control in its parent, in pixels.
std::vector<LONG> Placed(HWND control) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

int LineHeight(HWND control) {
  HDC dc = GetDC(control);
  SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  ReleaseDC(control, dc);
  return metrics.tmHeight;
}

// A window moved to a 150 % display: it takes the suggested place and the scaled sizes, its
// gadgets (inside containers too) and pictures are scaled and get a font whose lines grow
// as much, the numbers read back stay the layout's, and back at 100 % all is as it was.
TEST_F(WindowTest, DpiChangeScalesTheWindowAndItsGadgetsAndKeepsTheLayoutNumbers) {
  HWND window = reinterpret_cast<HWND>(WindowOpen(20, 10, 10, 400, 300, "dpi", 0));
  ASSERT_EQ(WindowSetDpiCallback(20, NoteDpi), 1);
  HWND label = reinterpret_cast<HWND>(TextGadgetCreate(1, 10, 20, 101, 15, "label"));
  ContainerGadgetCreate(2, 200, 100, 150, 100);
  HWND edit = reinterpret_cast<HWND>(StringGadgetCreate(3, 5, 7, 60, 21, "edit"));
  GadgetListClose();
  HBITMAP picture = CreateBitmap(16, 13, 1, 32, nullptr);
  HBITMAP drawnFor144 = CreateBitmap(24, 20, 1, 32, nullptr);
  HWND image = reinterpret_cast<HWND>(
      ImageGadgetCreate(4, 300, 20, 0, 0, reinterpret_cast<intptr_t>(picture)));
  int line96 = LineHeight(label);
  HFONT font96 = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));

  RECT suggested = {30, 40, 730, 540};
  SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(WindowDpi(20), 144);
  EXPECT_EQ(dpiSeen, 144);
  EXPECT_EQ(Placed(window)[0] * 1000 + Placed(window)[1], 30040);  // the suggested place
  EXPECT_EQ(ClientSize(window).cx * 1000 + ClientSize(window).cy, 600450);
  // 101 x 15 at 150 % is 151.5 x 22.5, rounded up.
  EXPECT_EQ(Placed(label), (std::vector<LONG>{15, 30, 152, 23}));
  EXPECT_EQ(Placed(edit), (std::vector<LONG>{8, 11, 90, 32}));
  EXPECT_EQ(Placed(image), (std::vector<LONG>{450, 30, 24, 20}));
  // Read back in layout units; set in them too.
  EXPECT_EQ(GadgetX(3) * 100 + GadgetHeight(3), 521);
  GadgetResize(1, IGNORE, 40, IGNORE, IGNORE);
  EXPECT_EQ(Placed(label)[1], 60);
  EXPECT_EQ(GadgetX(1) * 1000 + GadgetWidth(1), 10101);
  // The font's lines grow with the layout: more than at 100 %, not more than 150 % of it.
  EXPECT_GT(LineHeight(label), line96);
  EXPECT_LE(LineHeight(label), (line96 * 3 + 1) / 2);
  // A picture drawn for 144 DPI is shown as it is.
  ImageGadgetSetPicture(4, reinterpret_cast<intptr_t>(drawnFor144), 144);
  EXPECT_EQ(Placed(image)[2] * 100 + GadgetWidth(4), 2416);
  WindowResize(20, IGNORE, IGNORE, 500, IGNORE);
  EXPECT_EQ(ClientSize(window).cx, 750);

  SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(ClientSize(window).cx * 1000 + ClientSize(window).cy, 500300);
  EXPECT_EQ(Placed(label), (std::vector<LONG>{10, 40, 101, 15}));
  EXPECT_EQ(Placed(edit), (std::vector<LONG>{5, 7, 60, 21}));
  EXPECT_EQ(Placed(image)[2], 16);  // the picture drawn for 144 DPI, reduced
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)), font96);
  WindowClose(20);
  DeleteObject(picture);
  DeleteObject(drawnFor144);
}

int erased = 0;
void CountErase(HDC, HWND) { ++erased; }

TEST_F(WindowTest, EraseGivesRepaintEventAndCallsTheCallback) {
  HWND window = reinterpret_cast<HWND>(WindowOpen(18, 0, 0, 100, 100, "e", 0));
  ASSERT_EQ(WindowSetEraseCallback(18, CountErase), 1);
  DrainEvents(30);
  erased = 0;
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW);
  EXPECT_EQ(erased, 1);
  EXPECT_EQ(EventPoll(), EVENT_REPAINT);
  EXPECT_EQ(EventWindowNumber(), 18);
}

TEST_F(WindowTest, BackgroundColourPaintsTheClientArea) {
  HWND window = reinterpret_cast<HWND>(WindowOpen(19, 100, 100, 120, 80, "c", 0));
  ASSERT_EQ(WindowSetColor(19, RGB(10, 200, 30)), 1);
  DrainEvents(30);
  EXPECT_TRUE(ColorNear(ClientPixel(window, 60, 40), RGB(10, 200, 30)));
  WindowSetColor(19, -1);
  DrainEvents(30);
  EXPECT_TRUE(ColorNear(ClientPixel(window, 60, 40), GetSysColor(COLOR_BTNFACE)));
}

TEST_F(WindowTest, MinimiseMaximiseAndRestoreEvents) {
  HWND window = reinterpret_cast<HWND>(WindowOpen(
      20, 0, 0, 200, 100, "z",
      WINDOW_SYSTEM_MENU | WINDOW_MINIMIZE_GADGET | WINDOW_MAXIMIZE_GADGET | WINDOW_SIZE_GADGET));
  DrainEvents(30);
  ShowWindow(window, SW_MAXIMIZE);
  std::vector<SeenEvent> seen = DrainEvents(60);
  auto index = [&](int event) {
    for (size_t i = 0; i < seen.size(); ++i)
      if (seen[i].event == event && seen[i].window == 20 && seen[i].type == -1)
        return static_cast<int>(i);
    return -1;
  };
  ASSERT_GE(index(EVENT_MAXIMIZE), 0);
  EXPECT_GT(index(EVENT_SIZE), index(EVENT_MAXIMIZE));
  ShowWindow(window, SW_RESTORE);
  seen = DrainEvents(60);
  ASSERT_GE(index(EVENT_RESTORE), 0);
  EXPECT_GT(index(EVENT_SIZE), index(EVENT_RESTORE));
  // Restored again without having been maximised: no second restore event.
  ShowWindow(window, SW_RESTORE);
  SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(200, 100));
  seen = DrainEvents(60);
  EXPECT_EQ(index(EVENT_RESTORE), -1);
}

TEST_F(WindowTest, WindowsEndClosesEverything) {
  HWND a = reinterpret_cast<HWND>(WindowOpen(21, 0, 0, 10, 10, "a", WINDOW_INVISIBLE));
  intptr_t b = WindowOpen(ANY_NUMBER, 0, 0, 10, 10, "b", WINDOW_INVISIBLE);
  HWND bHandle = WindowHandle(b);
  WindowsEnd();
  EXPECT_FALSE(IsWindow(a));
  EXPECT_FALSE(IsWindow(bHandle));
  EXPECT_EQ(WindowHandle(21), nullptr);
  EXPECT_EQ(WindowHandle(b), nullptr);
}

// Finds a point of the window's close box by asking the window itself.
bool FindCloseBox(HWND window, POINT* at) {
  RECT rect;
  GetWindowRect(window, &rect);
  for (int y = rect.top; y < rect.top + 40; ++y)
    for (int x = rect.right - 1; x > rect.right - 80; --x)
      if (SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
        at->x = x + 0;
        at->y = y + 3;
        if (SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(at->x, at->y)) != HTCLOSE)
          *at = {x, y};
        return true;
      }
  return false;
}

TEST_F(WindowTest, CloseBoxClickGivesRawMessageThenCloseEvent) {
  HWND window = reinterpret_cast<HWND>(
      WindowOpen(22, 200, 200, 200, 100, "x", WINDOW_SYSTEM_MENU | WINDOW_TITLE_BAR));
  ASSERT_TRUE(MakeForeground(window));
  DrainEvents(50);
  POINT box;
  ASSERT_TRUE(FindCloseBox(window, &box));
  MouseScreenMoveTo(box.x, box.y);
  DrainEvents(50);
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  std::vector<int> raw;
  // The system tracks the close box inside the button-down message; release from
  // another thread a little later, as a hand would.
  std::thread release([] {
    Sleep(150);
    MouseButton(MOUSEEVENTF_LEFTUP);
  });
  bool closed = false;
  DWORD start = GetTickCount();
  while (!closed && GetTickCount() - start < 3000) {
    int event = EventWaitFor(10);
    if (event == EVENT_CLOSE && EventTypeOf() == -1 && EventWindowNumber() == 22)
      closed = true;
    else if (event)
      raw.push_back(event);
  }
  POINT cursor;
  GetCursorPos(&cursor);
  std::string seenText;
  for (int event : raw) seenText += std::to_string(event) + " ";
  release.join();
  ASSERT_TRUE(closed) << "box " << box.x << "," << box.y << " cursor " << cursor.x << ","
                      << cursor.y << " seen " << seenText;
  bool sawButtonDown = false;
  for (int event : raw) sawButtonDown |= event == WM_NCLBUTTONDOWN;
  EXPECT_TRUE(sawButtonDown);
  EXPECT_TRUE(IsWindow(window));
}

}  // namespace
