// Numbered top-level windows and the event queue.
//
// Every message the system delivers to a toolkit window (or to a container, which passes
// its messages on) goes through ToolkitWindowProc, which either turns it into the pending
// event of the current dispatch (gadget, menu and timer events), defers it in EventQueue
// (window events, which often arise from messages sent while another one is processed),
// or forwards it to the gadget that owns the control. EventWaitFor hands the events out.
//
// EventPumpUntil keeps the windows alive while the program waits for something else (a
// transfer on another thread): it dispatches messages as EventWaitFor does, but the
// toolkit events they give are deferred to the queue, in order, for the main loop to
// take afterwards, so that none of the program's own handling runs inside the wait.
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "dpi.h"
#include "gadget_items.h"
#include "toolkit_internal.h"
#include "webview.h"
#include "wide.h"

const wchar_t* const WINDOW_NUMBER_PROPERTY = L"VsWindowNumber";
const wchar_t* const HOTKEY_PROPERTY = L"VsHotKey";

namespace {

void ReleaseWindowNumber(ObjectNumber number) { WindowClose(number); }

struct QueuedEvent {
  int event;
  ObjectNumber window;
  // A gadget, menu or timer event deferred by EventPumpUntil carries its own values;
  // window events leave the gadget and type of the event before them.
  bool carriesValues = false;
  ObjectNumber gadget = 0;
  int type = 0;
  intptr_t item = -1;
};

struct EventValues {
  ObjectNumber gadget = 0;
  ObjectNumber window = 0;
  int type = 0;
  intptr_t item = -1;  // the row a list's event was made on
  int pending = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

struct EventState {
  EventValues building;  // written while a message is dispatched
  EventValues returned;  // what the getters report
  std::deque<QueuedEvent> queue;
  WindowCallback globalCallback = nullptr;
  HGLOBAL droppedData = nullptr;
  bool pumping = false;         // inside EventPumpUntil
  bool closeRequested = false;  // a close request arrived while pumping
};

std::unique_ptr<ObjectTable<WindowRecord>> windows;
// The number of each toolkit window by handle. The window property carries it too, but
// under Wine every property read is a round trip to the window server (about 40 us),
// and the number is looked up for every message the toolkit handles.
std::unordered_map<HWND, ObjectNumber> windowNumbers;
EventState events;
HCURSOR arrowCursor = nullptr;
HCURSOR busyCursor = nullptr;

ObjectTable<WindowRecord>& Windows() {
  WindowsInit();
  return *windows;
}

WindowRecord* LookupWindow(ObjectNumber number) { return Windows().Lookup(number); }

void QueueEvent(int event, ObjectNumber window) {
  if (!events.queue.empty() && events.queue.back().event == event &&
      events.queue.back().window == window)
    return;
  try {
    events.queue.push_back({event, window});
  } catch (const std::bad_alloc&) {
    // Dropping the event is all that can be done.
  }
}

void SetPending(int event, ObjectNumber gadget, int type, intptr_t item = -1) {
  events.building.pending = event;
  events.building.gadget = gadget;
  events.building.type = type;
  events.building.item = item;
}

std::wstring ClassNameOf(ObjectNumber number) {
  return L"WindowClass_" + std::to_wstring(static_cast<long long>(number));
}

// Whether the control is (or lies inside) a browser view that turned out to show no pages
// (a system without an HTML engine): it shows nothing, however large.
bool InBlankBrowser(HWND control) {
  for (HWND at = control; at && (GetWindowLongW(at, GWL_STYLE) & WS_CHILD); at = GetParent(at)) {
    GadgetRecord* gadget = GadgetOfControl(at);
    if (gadget && gadget->kind->kind == KIND_WEB)
      return GadgetGetAttribute(GadgetNumberOfControl(at), WEB_ATTRIBUTE_SHOWS_PAGES) == 0;
  }
  return false;
}

// Whether some of the control shows: its rectangle, cut by the client area of each of its
// ancestors up to the top-level window, is not empty. A control placed outside the window
// (a browser view kept out of sight), of no size, cut off by a narrowed window, or inside a
// browser view that shows nothing is not seen.
bool Seen(HWND control) {
  RECT seen;
  if (!GetWindowRect(control, &seen) || InBlankBrowser(control)) return false;
  for (HWND parent = GetParent(control); parent; parent = GetParent(parent)) {
    RECT client;
    GetClientRect(parent, &client);
    MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&client), 2);
    if (!IntersectRect(&seen, &seen, &client)) return false;
    if (!(GetWindowLongW(parent, GWL_STYLE) & WS_CHILD)) break;
  }
  return true;
}

// Tab / Shift+Tab: the enabled tab stops among the active window's children that the user
// can see.
BOOL CALLBACK CollectTabStop(HWND child, LPARAM list) {
  LONG style = GetWindowLongW(child, GWL_STYLE);
  if ((style & WS_TABSTOP) && IsWindowEnabled(child) && IsWindowVisible(child) && Seen(child))
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

std::vector<HWND> SeenTabStops(HWND window) {
  std::vector<HWND> candidates;
  EnumChildWindows(window, CollectTabStop, reinterpret_cast<LPARAM>(&candidates));
  return candidates;
}

void MoveFocus(bool forward) {
  HWND active = GetActiveWindow();
  if (!active) return;
  std::vector<HWND> candidates = SeenTabStops(active);
  if (candidates.empty()) return;
  HWND focus = GetFocus();
  size_t count = candidates.size();
  size_t at = count;
  for (size_t i = 0; i < count; ++i)
    if (candidates[i] == focus) at = i;
  size_t next;
  if (at == count)
    next = forward ? 0 : count - 1;
  else
    next = forward ? (at + 1) % count : (at + count - 1) % count;
  SetFocus(candidates[next]);
}

bool IsEditableRichEdit(HWND control) {
  wchar_t name[32] = L"";
  GetClassNameW(control, name, 32);
  if (_wcsnicmp(name, L"RichEdit", 8) != 0) return false;
  return !(GetWindowLongW(control, GWL_STYLE) & ES_READONLY);
}

// Whether the active window's shortcuts may look at the message.
bool ShortcutsOffered() {
  HWND focus = GetFocus();
  if (!focus) return true;
  if (GetPropW(focus, HOTKEY_PROPERTY)) return false;
  bool tabAlone = (GetKeyState(VK_TAB) & 0x8000) && !(GetKeyState(VK_CONTROL) & 0x8000) &&
                  !(GetKeyState(VK_SHIFT) & 0x8000) && !(GetKeyState(VK_MENU) & 0x8000);
  return !(tabAlone && IsEditableRichEdit(focus));
}

// Translates the active window's shortcuts and dispatches one fetched message. Messages
// are fetched and dispatched through the wide functions only: a typed character then
// reaches the Unicode controls as itself, whatever the system's code page.
void DispatchFetched(MSG& message) {
  bool translated = false;
  HWND active = GetActiveWindow();
  ObjectNumber activeNumber = active ? WindowNumberOfHandle(active) : -1;
  WindowRecord* activeWindow = activeNumber != -1 ? windows->Lookup(activeNumber) : nullptr;
  if (activeWindow && activeWindow->accelerators && ShortcutsOffered())
    translated =
        TranslateAcceleratorW(activeWindow->handle, activeWindow->accelerators, &message) != 0;
  if (!translated) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Whether the mouse is over a window of this thread; its handle and hit-test code if so.
HWND OwnWindowUnderCursor(LRESULT& hit) {
  POINT at;
  if (!GetCursorPos(&at)) return nullptr;
  HWND under = WindowFromPoint(at);
  if (!under || GetWindowThreadProcessId(under, nullptr) != GetCurrentThreadId()) return nullptr;
  hit = SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
  return under;
}

// Lets the window under the mouse choose its cursor again (the busy one while pumping).
void RefreshCursor() {
  LRESULT hit = HTCLIENT;
  HWND under = OwnWindowUnderCursor(hit);
  if (under)
    SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                 MAKELPARAM(static_cast<WORD>(hit), WM_MOUSEMOVE));
}

// A size the window was given from outside (the user's sizing border, maximising) becomes
// its layout size; the toolkit's own sizing has set that already.
void FollowOuterSizing(WindowRecord* window, WPARAM kind) {
  if (window->sizingItself || (kind != SIZE_RESTORED && kind != SIZE_MAXIMIZED)) return;
  RECT client;
  GetClientRect(window->handle, &client);
  if (DpiScale(window->layoutWidth, window->dpi) != client.right)
    window->layoutWidth = DpiUnscale(client.right, window->dpi);
  if (DpiScale(window->layoutHeight, window->dpi) != client.bottom)
    window->layoutHeight = DpiUnscale(client.bottom, window->dpi);
}

LRESULT HandleSize(WindowRecord* window, ObjectNumber number, WPARAM kind) {
  FollowOuterSizing(window, kind);
  switch (kind) {
    case SIZE_MINIMIZED:
      window->minimizedOrMaximized = true;
      QueueEvent(EVENT_MINIMIZE, number);
      break;
    case SIZE_MAXIMIZED:
      window->minimizedOrMaximized = true;
      QueueEvent(EVENT_MAXIMIZE, number);
      QueueEvent(EVENT_SIZE, number);
      break;
    case SIZE_RESTORED:
      if (window->minimizedOrMaximized) {
        window->minimizedOrMaximized = false;
        QueueEvent(EVENT_RESTORE, number);
      }
      QueueEvent(EVENT_SIZE, number);
      break;
    default:
      QueueEvent(EVENT_SIZE, number);
  }
  return 0;
}

LRESULT HandleCommand(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  HWND control = reinterpret_cast<HWND>(lParam);
  if (control) {
    LRESULT result = GadgetForwardMessage(control, hwnd, WM_COMMAND, wParam, lParam);
    if (result != NOT_HANDLED) return result;
    SetPending(EVENT_GADGET, static_cast<ObjectNumber>(GetWindowLongPtrW(control, GWLP_ID)),
               HIWORD(wParam));
    return 0;
  }
  int command = LOWORD(wParam);
  if (HIWORD(wParam) == 1 && (command == CMD_FOCUS_NEXT || command == CMD_FOCUS_PREVIOUS)) {
    MoveFocus(command == CMD_FOCUS_NEXT);
    return 0;
  }
  SetPending(EVENT_MENU, command, events.building.type);
  return 0;
}

// Erases with the window's background brush or its erase callback; false when the
// class brush is to paint. Either way the program hears of the repaint.
bool HandleErase(WindowRecord* window, ObjectNumber number, HWND hwnd, HDC dc) {
  bool erased = false;
  if (window->backgroundBrush) {
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, window->backgroundBrush);
    erased = true;
  } else if (window->handle == hwnd && window->eraseCallback) {
    window->eraseCallback(dc, hwnd);
    erased = true;
  }
  QueueEvent(EVENT_REPAINT, number);
  return erased;
}

void ApplySizeLimits(const WindowRecord& window, MINMAXINFO* info) {
  if (window.minWidth) info->ptMinTrackSize.x = DpiScale(window.minWidth, window.dpi);
  if (window.minHeight) info->ptMinTrackSize.y = DpiScale(window.minHeight, window.dpi);
  if (window.maxWidth) info->ptMaxTrackSize.x = DpiScale(window.maxWidth, window.dpi);
  if (window.maxHeight) info->ptMaxTrackSize.y = DpiScale(window.maxHeight, window.dpi);
  if (window.toolWindow && !window.minWidth) info->ptMinTrackSize.x = 1;
}

// Gives the window the inner size of its layout size at its DPI, placed at (x, y) unless
// `flags` hold SWP_NOMOVE. The frame is the system's for that DPI; where the frame the
// system draws differs from what it computes (a DPI change sent by hand), the size is
// corrected once by the difference, so that the inner size is exact.
bool ApplyLayoutSize(WindowRecord* window, int x, int y, UINT flags) {
  HWND handle = window->handle;
  int width = DpiScale(window->layoutWidth, window->dpi);
  int height = DpiScale(window->layoutHeight, window->dpi);
  RECT outer = {0, 0, width, height};
  DpiAdjustWindowRect(&outer, static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE)),
                      GetMenu(handle) != nullptr,
                      static_cast<DWORD>(GetWindowLongW(handle, GWL_EXSTYLE)), window->dpi);
  flags |= SWP_NOACTIVATE | SWP_NOZORDER;
  window->sizingItself = true;
  bool ok = SetWindowPos(handle, nullptr, x, y, outer.right - outer.left, outer.bottom - outer.top,
                         flags) != 0;
  RECT client;
  if (ok && GetClientRect(handle, &client) && !IsIconic(handle) && !IsZoomed(handle) &&
      (client.right != width || client.bottom != height)) {
    RECT now;
    GetWindowRect(handle, &now);
    ok = SetWindowPos(handle, nullptr, 0, 0, now.right - now.left + width - client.right,
                      now.bottom - now.top + height - client.bottom, flags | SWP_NOMOVE) != 0;
  }
  window->sizingItself = false;
  return ok;
}

// As in a dialog, the keyboard focus leaves with the window and comes back with it to the
// gadget that had it, or, the first time, to the first tab stop the user can see: a user
// of the keyboard can type at once.
void FollowActivation(WindowRecord* window, bool active) {
  HWND focus = GetFocus();
  if (!active) {
    if (focus && IsChild(window->handle, focus)) window->lastFocus = focus;
    return;
  }
  if (focus && IsChild(window->handle, focus)) return;
  HWND last = window->lastFocus;
  if (last && IsWindow(last) && IsChild(window->handle, last) && IsWindowVisible(last) &&
      IsWindowEnabled(last)) {
    SetFocus(last);
    return;
  }
  std::vector<HWND> stops = SeenTabStops(window->handle);
  if (!stops.empty()) SetFocus(stops.front());
}

// The caption's icon drawn for the DPI (the program's icon holds the sizes of the usual
// scales); the class's icon suits the system's DPI only.
void TakeSmallIcon(WindowRecord* window, int dpi) {
  int size = DpiSystemMetric(SM_CXSMICON, dpi);
  HICON icon = static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
  if (!icon) return;
  SendMessageW(window->handle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  if (window->smallIcon) DestroyIcon(window->smallIcon);
  window->smallIcon = icon;
}

// The window moved to a display of another DPI: it takes the place the system suggests,
// its layout size at the new DPI, and lays its gadgets out again.
LRESULT HandleDpiChange(WindowRecord* window, ObjectNumber number, int dpi, const RECT* suggested) {
  if (dpi <= 0) return 0;
  window->dpi = dpi;
  if (suggested)
    ApplyLayoutSize(window, suggested->left, suggested->top, 0);
  else
    ApplyLayoutSize(window, 0, 0, SWP_NOMOVE);
  GadgetsFollowDpi(window->handle, dpi);
  TakeSmallIcon(window, dpi);
  RedrawWindow(window->handle, nullptr, nullptr,
               RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
  if (window->dpiCallback) window->dpiCallback(number, dpi);
  return 0;
}

// Lets go of what the record of the destroyed window `hwnd` holds and frees its number:
// the one place for both ways a window goes.
void ReleaseWindowRecord(WindowRecord* window, ObjectNumber number, HWND hwnd) {
  GadgetListForget(hwnd);
  if (window->accelerators) DestroyAcceleratorTable(window->accelerators);
  if (window->backgroundBrush) BrushCacheRelease(window->backgroundBrush);
  if (window->smallIcon) DestroyIcon(window->smallIcon);
  windows->Free(number);
}

// A window destroyed without WindowClose (with its owner, or by a direct DestroyWindow):
// frees the number so that it does not name a dead window.
void ForgetDestroyedWindow(WindowRecord* window, ObjectNumber number, HWND hwnd) {
  RemovePropW(hwnd, WINDOW_NUMBER_PROPERTY);
  windowNumbers.erase(hwnd);
  ReleaseWindowRecord(window, number, hwnd);
}

}  // namespace

ObjectNumber WindowNumberOfHandle(HWND hwnd) {
  HWND desktop = GetDesktopWindow();
  for (HWND h = hwnd; h && h != desktop; h = GetAncestor(h, GA_PARENT)) {
    auto found = windowNumbers.find(h);
    if (found != windowNumbers.end()) return found->second;
  }
  return -1;
}

bool IsToolkitWindow(HWND hwnd) { return windowNumbers.count(hwnd) != 0; }

int ToolkitDpiOf(HWND hwnd) {
  ObjectNumber number = hwnd ? WindowNumberOfHandle(hwnd) : -1;
  WindowRecord* window = number != -1 && windows ? windows->Lookup(number) : nullptr;
  if (window) return window->dpi;
  return DpiOfWindow(hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr);
}

LRESULT CALLBACK ToolkitWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ObjectNumber number = WindowNumberOfHandle(hwnd);
  WindowRecord* window = number != -1 && windows ? windows->Lookup(number) : nullptr;
  WindowCallback callback = window && window->callback ? window->callback : events.globalCallback;
  if (callback) {
    LRESULT result = callback(hwnd, message, wParam, lParam);
    if (result != NOT_HANDLED) return result;
  }
  events.building.window = number;
  switch (message) {
    case WM_MOVE:
    case WM_CLOSE:
      if (window) QueueEvent(static_cast<int>(message), number);
      if (window && message == WM_CLOSE && events.pumping) events.closeRequested = true;
      return 0;
    case WM_SETCURSOR:
      if (ToolkitBusyCursor(LOWORD(lParam))) return TRUE;
      break;
    case WM_SIZE:
      if (!window || window->handle != hwnd) return 1;
      return HandleSize(window, number, wParam);
    case WM_ACTIVATE:
      if (window && window->handle == hwnd) FollowActivation(window, LOWORD(wParam) != WA_INACTIVE);
      if (LOWORD(wParam) != WA_INACTIVE && window) QueueEvent(EVENT_ACTIVATE, number);
      return 1;
    case WM_ERASEBKGND:
      if (window && HandleErase(window, number, hwnd, reinterpret_cast<HDC>(wParam))) return 1;
      break;
    case WM_SYSCOLORCHANGE:
      for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageW(child, message, wParam, lParam);
      break;
    case WM_SYSCOMMAND:
      // The items the program added; the system's own commands lie from 0xF000 on.
      if (window && window->handle == hwnd && window->systemMenuItems &&
          (wParam & 0xFFF0) < 0xF000) {
        SetPending(EVENT_MENU, static_cast<ObjectNumber>(wParam & 0xFFF0), 0);
        return 0;
      }
      break;
    case WM_GETMINMAXINFO:
      if (!window) break;
      ApplySizeLimits(*window, reinterpret_cast<MINMAXINFO*>(lParam));
      return 0;
    case WM_DPICHANGED:
      if (!window || window->handle != hwnd) break;
      return HandleDpiChange(window, number, HIWORD(wParam), reinterpret_cast<RECT*>(lParam));
    case WM_NOTIFY: {
      NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
      LRESULT result = header
                           ? GadgetForwardMessage(header->hwndFrom, hwnd, message, wParam, lParam)
                           : NOT_HANDLED;
      if (result != NOT_HANDLED) return result;
      break;
    }
    case WM_COMMAND:
      return HandleCommand(hwnd, wParam, lParam);
    case WM_TIMER:
      SetPending(EVENT_TIMER, static_cast<ObjectNumber>(wParam), events.building.type);
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC: {
      LRESULT result =
          GadgetForwardMessage(reinterpret_cast<HWND>(lParam), hwnd, message, wParam, lParam);
      if (result != NOT_HANDLED) return result;
      break;
    }
    case WM_NCDESTROY:
      if (window && window->handle == hwnd) ForgetDestroyedWindow(window, number, hwnd);
      break;
    case GADGET_EVENT_MESSAGE:
      // The type in the low half, the row (plus one) in the high half (GadgetPostItemEvent).
      SetPending(EVENT_GADGET, static_cast<ObjectNumber>(wParam),
                 static_cast<int>(static_cast<uint32_t>(lParam)),
                 static_cast<intptr_t>(static_cast<uint64_t>(lParam) >> 32) - 1);
      return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void WindowsInit() {
  if (windows) return;
  windows = std::make_unique<ObjectTable<WindowRecord>>(16, ReleaseWindowNumber);
  events = EventState();
  arrowCursor = StockCursor(IDC_ARROW);
}

void WindowsEnd() {
  if (!windows) return;
  windows->ReleaseAll();
  events.queue.clear();
}

namespace {

// The window styles and the toolkit's own choices that WindowOpen's flags stand for.
struct WindowShape {
  DWORD style = 0;
  DWORD extendedStyle = 0;
  bool noGadgetList = false;
  bool invisible = false;
  bool tool = false;
  bool centered = false;
  bool centeredOnParent = false;
};

WindowShape DecodeWindowFlags(int flags) {
  WindowShape shape;
  DWORD bits = static_cast<DWORD>(flags);
  shape.noGadgetList = bits & WINDOW_NO_GADGET_LIST;
  if (bits & WINDOW_TOPMOST) shape.extendedStyle |= WS_EX_TOPMOST;
  bits &= ~static_cast<DWORD>(WINDOW_NO_GADGET_LIST | WINDOW_TOPMOST);
  // Only placement flags (or none): a plain window with a title bar.
  const DWORD ownBits = WINDOW_CENTERED | WINDOW_CENTERED_ON_PARENT | WINDOW_INVISIBLE;
  if ((bits & ~ownBits) == 0) bits |= WINDOW_TITLE_BAR;
  shape.invisible = bits & WINDOW_INVISIBLE;
  bits &= ~static_cast<DWORD>(WINDOW_INVISIBLE);
  shape.tool = bits & WINDOW_TOOL;
  if (shape.tool) {
    shape.extendedStyle |= WS_EX_TOOLWINDOW;
    bits |= WINDOW_TITLE_BAR;
    bits &= ~static_cast<DWORD>(WINDOW_MINIMIZE_GADGET | WINDOW_MAXIMIZE_GADGET | WINDOW_MAXIMIZED |
                                WINDOW_MINIMIZED);
  }
  // The three low bits are the toolkit's own; the rest are window styles as they stand.
  shape.style = bits & ~7u;
  shape.centered = bits & WINDOW_CENTERED;
  shape.centeredOnParent = bits & WINDOW_CENTERED_ON_PARENT;
  return shape;
}

// The outer position for a window of the outer size given (which centring on the screen
// may shrink to the screen's): the caller's, centred, or the system's choice.
void PlaceWindow(const WindowShape& shape, HWND parent, int& x, int& y, int& outerWidth,
                 int& outerHeight) {
  if ((x == IGNORE || y == IGNORE) && !shape.centered && !shape.centeredOnParent) {
    x = CW_USEDEFAULT;
    y = CW_USEDEFAULT;
  }
  if (shape.centered) {
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (outerWidth > screenWidth) outerWidth = screenWidth;
    if (outerHeight > screenHeight) outerHeight = screenHeight;
    x = (screenWidth - outerWidth) / 2;
    y = (screenHeight - outerHeight) / 2;
  } else if (shape.centeredOnParent) {
    HWND reference = parent ? parent : GetActiveWindow();
    if (reference) {
      RECT around;
      GetWindowRect(reference, &around);
      x = around.left + (around.right - around.left - outerWidth) / 2;
      y = around.top + (around.bottom - around.top - outerHeight) / 2;
      if (x < 0) x = 0;
      if (y < 0) y = 0;
    } else if (x == IGNORE || y == IGNORE) {
      // Nothing to centre on: the system places the window rather than off-screen.
      x = CW_USEDEFAULT;
      y = CW_USEDEFAULT;
    }
  }
}

// Each window has a class of its own, named after its number. A class registered through
// the wide function makes Unicode windows.
bool RegisterWindowClass(const std::wstring& className, HINSTANCE instance) {
  WNDCLASSW windowClass = {};
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = ToolkitWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = arrowCursor;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = className.c_str();
  if (RegisterClassW(&windowClass)) return true;
  // A window of this number that was destroyed without WindowClose left its class behind.
  UnregisterClassW(className.c_str(), instance);
  return RegisterClassW(&windowClass) != 0;
}

void ShowNewWindow(HWND handle, const WindowShape& shape) {
  if (shape.invisible) return;
  if (shape.style & WINDOW_MAXIMIZED)
    ShowWindow(handle, SW_SHOWMAXIMIZED);
  else if (shape.style & WINDOW_MINIMIZED)
    ShowWindow(handle, SW_SHOWMINIMIZED);
  else
    ShowWindow(handle, SW_SHOWNORMAL);
}

}  // namespace

intptr_t WindowOpen(ObjectNumber number, int x, int y, int innerWidth, int innerHeight,
                    TextArg title, int flags, HWND parent) {
  ObjectTable<WindowRecord>& table = Windows();
  WindowRecord* window = table.Slot(number);
  if (!window) return 0;
  ObjectNumber actual = number == ANY_NUMBER ? table.NumberOf(window) : number;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  std::wstring className = ClassNameOf(actual);
  if (!RegisterWindowClass(className, instance)) {
    table.Free(actual);
    return 0;
  }

  WindowShape shape = DecodeWindowFlags(flags);
  // The DPI it will most likely have: its owner's, or the system's; checked once it exists.
  int dpi = parent ? ToolkitDpiOf(parent) : SystemDpi();
  RECT outer = {0, 0, DpiScale(innerWidth, dpi), DpiScale(innerHeight, dpi)};
  DpiAdjustWindowRect(&outer, shape.style, false, shape.extendedStyle, dpi);
  int outerWidth = outer.right - outer.left;
  int outerHeight = outer.bottom - outer.top;
  PlaceWindow(shape, parent, x, y, outerWidth, outerHeight);
  // A window larger than the screen is cut to it: its layout size is then what it got.
  bool cut = outerWidth < outer.right - outer.left || outerHeight < outer.bottom - outer.top;

  HWND handle = CreateWindowExW(shape.extendedStyle, className.c_str(),
                                WideFromText(title.view()).c_str(), shape.style, x, y, outerWidth,
                                outerHeight, parent, nullptr, instance, nullptr);
  if (!handle) {
    UnregisterClassW(className.c_str(), instance);
    table.Free(actual);
    return 0;
  }
  // Records never move (slots are allocated once), so `window` is still the slot.
  window->handle = handle;
  window->toolWindow = shape.tool;
  window->layoutWidth = innerWidth;
  window->layoutHeight = innerHeight;
  window->dpi = DpiOfWindow(handle);
  SetPropW(handle, WINDOW_NUMBER_PROPERTY, reinterpret_cast<HANDLE>(actual + 1));
  windowNumbers[handle] = actual;
  // Another DPI than foreseen, or a frame other than the system computed: sized again.
  RECT client;
  GetClientRect(handle, &client);
  if (cut) {
    window->layoutWidth = DpiUnscale(client.right, window->dpi);
    window->layoutHeight = DpiUnscale(client.bottom, window->dpi);
  } else if (window->dpi != dpi || client.right != DpiScale(innerWidth, window->dpi) ||
             client.bottom != DpiScale(innerHeight, window->dpi)) {
    ApplyLayoutSize(window, 0, 0, SWP_NOMOVE);
  }

  ShowNewWindow(handle, shape);
  if (shape.style & (WINDOW_MAXIMIZED | WINDOW_MINIMIZED)) window->minimizedOrMaximized = true;

  window->shortcuts = {{FVIRTKEY, VK_TAB, CMD_FOCUS_NEXT},
                       {FVIRTKEY | FSHIFT, VK_TAB, CMD_FOCUS_PREVIOUS}};
  window->accelerators = CreateAcceleratorTableW(window->shortcuts.data(), 2);

  if (!shape.noGadgetList) GadgetListUse(handle);
  return number == ANY_NUMBER ? actual : reinterpret_cast<intptr_t>(handle);
}

void WindowClose(ObjectNumber number) {
  if (!windows) return;
  WindowRecord* window = windows->Lookup(number);
  if (!window) return;
  HWND handle = window->handle;
  HWND owner = GetWindow(handle, GW_OWNER);
  if (owner) SetActiveWindow(owner);
  RemovePropW(handle, WINDOW_NUMBER_PROPERTY);
  windowNumbers.erase(handle);
  DestroyWindow(handle);
  UnregisterClassW(ClassNameOf(number).c_str(), GetModuleHandleW(nullptr));
  // Destroying may have run code that looked the number up again; the record is still
  // the same object (slots and ANY_NUMBER records never move).
  ReleaseWindowRecord(window, number, handle);
}

HWND WindowHandle(ObjectNumber number) {
  WindowRecord* window = LookupWindow(number);
  return window ? window->handle : nullptr;
}

int WindowSetWideTitle(ObjectNumber number, std::wstring_view title) {
  WindowRecord* window = LookupWindow(number);
  if (!window) return 0;
  return SetWindowTextW(window->handle, std::wstring(title).c_str()) ? 1 : 0;
}

int WindowSetTitle(ObjectNumber number, const char* text) {
  return text ? WindowSetWideTitle(number, WideFromText(text)) : 0;
}

int WindowSetTitle(ObjectNumber number, const String& text) {
  return WindowSetWideTitle(number, WideFromText(text));
}

int WindowResize(ObjectNumber number, int x, int y, int innerWidth, int innerHeight) {
  WindowRecord* window = LookupWindow(number);
  if (!window) return 0;
  RECT current;
  GetWindowRect(window->handle, &current);
  if (x == IGNORE) x = current.left;
  if (y == IGNORE) y = current.top;
  if (innerWidth != IGNORE) window->layoutWidth = innerWidth;
  if (innerHeight != IGNORE) window->layoutHeight = innerHeight;
  return ApplyLayoutSize(window, x, y, 0) ? 1 : 0;
}

int WindowSetTopmost(ObjectNumber number, int flag) {
  WindowRecord* window = LookupWindow(number);
  if (!window) return 0;
  return SetWindowPos(window->handle, flag ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                      SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE)
             ? 1
             : 0;
}

int WindowSetHidden(ObjectNumber number, int flag) {
  WindowRecord* window = LookupWindow(number);
  if (!window) return 0;
  HWND handle = window->handle;
  if (flag) {
    HWND owner = GetWindow(handle, GW_OWNER);
    if (owner) SetActiveWindow(owner);
    ShowWindow(handle, SW_HIDE);
  } else if (IsZoomed(handle)) {
    ShowWindow(handle, SW_SHOWMAXIMIZED);
  } else if (IsIconic(handle)) {
    ShowWindow(handle, SW_SHOWMINIMIZED);
  } else {
    ShowWindow(handle, SW_SHOWNORMAL);
  }
  return 1;
}

void WindowPaintNow(ObjectNumber number) {
  WindowRecord* window = LookupWindow(number);
  if (!window) return;
  RedrawWindow(window->handle, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  // Wine puts a window's pixels on the screen when its thread looks for a message and finds
  // none: paint messages are looked for, so that no other is taken (bounded, should a
  // window leave its paint pending).
  MSG message;
  for (int left = 100; left > 0 && PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE);
       --left)
    DispatchMessageW(&message);
}

int WindowSetColor(ObjectNumber number, int32_t color) {
  WindowRecord* window = LookupWindow(number);
  if (!window) return 0;
  if (window->backgroundBrush) BrushCacheRelease(window->backgroundBrush);
  window->backgroundBrush = color == -1 ? nullptr : BrushCacheGet(color);
  RedrawWindow(window->handle, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
  return 1;
}

int WindowSetSizeLimits(ObjectNumber number, int minWidth, int minHeight, int maxWidth,
                        int maxHeight) {
  WindowRecord* window = LookupWindow(number);
  if (!window) return 0;
  window->minWidth = static_cast<uint16_t>(minWidth);
  window->minHeight = static_cast<uint16_t>(minHeight);
  window->maxWidth = static_cast<uint16_t>(maxWidth);
  window->maxHeight = static_cast<uint16_t>(maxHeight);
  return 1;
}

int WindowAddShortcut(ObjectNumber number, int modifiers, int key, int command) {
  WindowRecord* window = LookupWindow(number);
  if (!window || command < 0 || command > 0xFFFF) return 0;
  window->shortcuts.push_back(
      {static_cast<BYTE>(FVIRTKEY | (modifiers & (FCONTROL | FSHIFT | FALT))),
       static_cast<WORD>(key), static_cast<WORD>(command)});
  HACCEL made =
      CreateAcceleratorTableW(window->shortcuts.data(), static_cast<int>(window->shortcuts.size()));
  if (!made) {
    window->shortcuts.pop_back();
    return 0;
  }
  if (window->accelerators) DestroyAcceleratorTable(window->accelerators);
  window->accelerators = made;
  return 1;
}

int WindowAddSystemMenuItem(ObjectNumber number, std::wstring_view text, int command) {
  WindowRecord* window = LookupWindow(number);
  HMENU menu = window ? GetSystemMenu(window->handle, FALSE) : nullptr;
  if (!menu || command <= 0 || command >= 0xF000 || (command & 0xF)) return 0;
  if (!window->systemMenuItems) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  if (!AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(command), std::wstring(text).c_str()))
    return 0;
  ++window->systemMenuItems;
  return 1;
}

int WindowSetCallback(ObjectNumber number, WindowCallback callback) {
  WindowRecord* window = LookupWindow(number);
  if (!window) return 0;
  window->callback = callback;
  return 1;
}

int WindowSetEraseCallback(ObjectNumber number, EraseCallback callback) {
  WindowRecord* window = LookupWindow(number);
  if (!window) return 0;
  window->eraseCallback = callback;
  return 1;
}

int WindowAddTimer(ObjectNumber number, int timer, int milliseconds) {
  WindowRecord* window = LookupWindow(number);
  if (!window || milliseconds < 0) return 0;
  return SetTimer(window->handle, static_cast<UINT_PTR>(timer), static_cast<UINT>(milliseconds),
                  nullptr) != 0;
}

int WindowRemoveTimer(ObjectNumber number, int timer) {
  WindowRecord* window = LookupWindow(number);
  return window && KillTimer(window->handle, static_cast<UINT_PTR>(timer));
}

int WindowSetDpiCallback(ObjectNumber number, DpiCallback callback) {
  WindowRecord* window = LookupWindow(number);
  if (!window) return 0;
  window->dpiCallback = callback;
  return 1;
}

int WindowDpi(ObjectNumber number) {
  WindowRecord* window = LookupWindow(number);
  return window ? window->dpi : 0;
}

void EventSetCallback(WindowCallback callback) { events.globalCallback = callback; }

int EventWaitFor(int milliseconds) {
  WindowsInit();
  if (events.droppedData) {
    GlobalFree(events.droppedData);
    events.droppedData = nullptr;
  }
  events.building.type = -1;
  events.building.item = -1;
  int result;
  if (!events.queue.empty()) {
    QueuedEvent head = events.queue.front();
    events.queue.pop_front();
    result = head.event;
    events.building.window = head.window;
    events.building.pending = 0;
    if (head.carriesValues) {
      events.building.gadget = head.gadget;
      events.building.type = head.type;
      events.building.item = head.item;
    }
  } else {
    MSG message;
    if (milliseconds == -1) {
      // 0 means WM_QUIT, -1 an error; neither carries a message to dispatch.
      if (GetMessageW(&message, nullptr, 0, 0) <= 0) return 0;
    } else if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) {
      if (milliseconds == 0) return 0;
      if (MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(milliseconds),
                                    QS_ALLINPUT) == WAIT_TIMEOUT)
        return 0;
      if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) return 0;
    }
    DispatchFetched(message);
    if (events.building.pending) {
      result = events.building.pending;
      events.building.pending = 0;
    } else {
      result = static_cast<int>(message.message);
      events.building.wParam = message.wParam;
      events.building.lParam = message.lParam;
    }
  }
  events.returned = events.building;
  return result;
}

int EventWait() { return EventWaitFor(-1); }
int EventPoll() { return EventWaitFor(0); }
ObjectNumber EventWindowNumber() { return events.returned.window; }
ObjectNumber EventGadgetNumber() { return events.returned.gadget; }
int EventTypeOf() { return events.returned.type; }
intptr_t EventItem() { return events.returned.item; }
WPARAM EventWParam() { return events.returned.wParam; }
LPARAM EventLParam() { return events.returned.lParam; }

namespace {

// A timer that fires again while an earlier firing waits in the queue counts once, as the
// system counts a timer that fires while its message waits.
bool AlreadyDeferredTimer(const QueuedEvent& event) {
  if (event.event != EVENT_TIMER) return false;
  for (const QueuedEvent& queued : events.queue)
    if (queued.event == EVENT_TIMER && queued.window == event.window &&
        queued.gadget == event.gadget)
      return true;
  return false;
}

bool Matches(const QueuedEvent& queued, int event, ObjectNumber window, ObjectNumber gadget) {
  return queued.event == event && queued.window == window &&
         (gadget == -1 || (queued.carriesValues && queued.gadget == gadget));
}

}  // namespace

int EventQueued(int event, ObjectNumber window, ObjectNumber gadget) {
  int count = 0;
  for (const QueuedEvent& queued : events.queue) count += Matches(queued, event, window, gadget);
  return count;
}

void EventDiscard(int event, ObjectNumber window, ObjectNumber gadget) {
  for (auto it = events.queue.begin(); it != events.queue.end();)
    it = Matches(*it, event, window, gadget) ? events.queue.erase(it) : it + 1;
}

bool ToolkitBusyCursor(int hitTest) {
  if (!events.pumping) return false;
  if (hitTest >= HTLEFT && hitTest <= HTBOTTOMRIGHT) return false;  // sizing borders keep theirs
  // Loaded when first needed, not at start.
  if (!busyCursor) busyCursor = StockCursor(IDC_APPSTARTING);
  if (!busyCursor) return false;
  SetCursor(busyCursor);
  return true;
}

int EventPumpUntil(HANDLE object, int milliseconds) {
  WindowsInit();
  // The values of the event the program is handling stay as they are for it.
  const EventValues saved = events.building;
  const bool outerPumping = events.pumping;
  events.pumping = true;
  events.closeRequested = false;
  if (!outerPumping) RefreshCursor();
  DWORD start = GetTickCount();
  int result = PUMP_TIMED_OUT;
  for (;;) {
    MSG message;
    bool quit = false;
    while (!events.closeRequested && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));  // for the main loop
        quit = true;
        break;
      }
      events.building.pending = 0;
      events.building.type = -1;
      DispatchFetched(message);
      if (events.building.pending) {
        QueuedEvent deferred{events.building.pending, events.building.window, true,
                             events.building.gadget, events.building.type};
        deferred.item = events.building.item;
        events.building.pending = 0;
        if (!AlreadyDeferredTimer(deferred)) {
          try {
            events.queue.push_back(deferred);
          } catch (const std::bad_alloc&) {
          }
        }
      }
    }
    if (events.closeRequested) {
      result = PUMP_CLOSE_REQUESTED;
      break;
    }
    if (quit) break;
    if (object && WaitForSingleObject(object, 0) == WAIT_OBJECT_0) {
      result = PUMP_SIGNALLED;
      break;
    }
    DWORD elapsed = GetTickCount() - start;
    if (milliseconds != -1 && elapsed >= static_cast<DWORD>(milliseconds)) break;
    DWORD left = milliseconds == -1 ? INFINITE : static_cast<DWORD>(milliseconds) - elapsed;
    MsgWaitForMultipleObjectsEx(object ? 1 : 0, object ? &object : nullptr, left, QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
  }
  events.pumping = outerPumping;
  events.building = saved;
  if (!outerPumping) RefreshCursor();
  return result;
}
