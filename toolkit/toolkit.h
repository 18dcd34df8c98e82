// The window and gadget toolkit: numbered top-level windows, numbered gadgets (child
// controls) and the one event queue that the program's main loop waits on.
//
// Windows and gadgets are named by numbers the caller chooses (or ANY_NUMBER, in which
// case the record's address becomes the number). Every operation on a number that is not
// in use does nothing and returns 0 or the empty string.
//
// Texts are Windows-1251 (String, TextArg) here, as everywhere in the program; they reach
// Windows converted to UTF-16 (wide.h), and every window and control is a Unicode window,
// so that nothing depends on the system's code page. The few ...Wide operations take
// texts that Windows-1251 cannot hold (paths, characters named to the user).
//
// Display scale: every size and every position inside a window (window inner sizes and
// size limits, gadget places and sizes, list column widths) is given and answered in
// layout units, the pixels of a 96-DPI display. The toolkit shows them multiplied by the
// window's DPI / 96 (GetDpiForWindow, or the screen's LOGPIXELSY before Windows 10) and
// gives the gadgets a font made for that DPI; so a layout written once is the same at
// every display scale, and the numbers read back are the numbers set (exactly, at 96 DPI
// and above; a gadget the system moved itself answers its place rounded to layout units).
// When the window moves to a display of another DPI (WM_DPICHANGED) it takes the place
// the system suggests and lays itself and its gadgets out again. Positions of windows on
// the screen stay in screen pixels.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "objtable.h"
#include "text.h"

// winbase.h defines IGNORE as 0; here it is the "keep the current value" marker.
#ifdef IGNORE
#undef IGNORE
#endif
constexpr int IGNORE = -65535;

// ---------------------------------------------------------------------------------------
// Windows (window.cpp)

// WindowOpen flags. The lowest three bits, WINDOW_NO_GADGET_LIST and WINDOW_TOPMOST are the
// toolkit's own; WINDOW_INVISIBLE is removed before the style reaches the system; every
// other bit is a system window style and passes through.
constexpr int WINDOW_CENTERED = 0x1;
constexpr int WINDOW_CENTERED_ON_PARENT = 0x2;
constexpr int WINDOW_TOOL = 0x4;
constexpr int WINDOW_NO_GADGET_LIST = 0x8;
// Above the windows that are not (as WindowSetTopmost makes it), from its creation on.
constexpr int WINDOW_TOPMOST = 0x10;
constexpr int WINDOW_MAXIMIZE_GADGET = 0x00010000;
constexpr int WINDOW_MINIMIZE_GADGET = 0x00020000;
constexpr int WINDOW_SIZE_GADGET = 0x00040000;
constexpr int WINDOW_SYSTEM_MENU = 0x00080000;
constexpr int WINDOW_BORDERLESS = static_cast<int>(0x80000000);
constexpr int WINDOW_TITLE_BAR = 0x00C00000;
constexpr int WINDOW_MAXIMIZED = 0x01000000;
constexpr int WINDOW_INVISIBLE = 0x10000000;
constexpr int WINDOW_MINIMIZED = 0x20000000;

// Event numbers returned by EventWaitFor. Any other non-zero result is the raw number of
// a system message that was fetched and dispatched without a toolkit event arising.
constexpr int EVENT_MOVE = 3;
constexpr int EVENT_SIZE = 5;
constexpr int EVENT_REPAINT = 15;
constexpr int EVENT_CLOSE = 16;
constexpr int EVENT_GADGET = 13100;
constexpr int EVENT_MENU = 13101;
constexpr int EVENT_TRAY = 13102;
constexpr int EVENT_ACTIVATE = 13104;
constexpr int EVENT_DROP = 13105;
constexpr int EVENT_GADGET_DROP = 13106;
constexpr int EVENT_MINIMIZE = 13107;
constexpr int EVENT_MAXIMIZE = 13108;
constexpr int EVENT_RESTORE = 13109;
constexpr int EVENT_TIMER = 13110;

// Private message by which gadgets report: wParam = gadget number, lParam = event type.
constexpr UINT GADGET_EVENT_MESSAGE = 13103;

// Commands of the two keyboard shortcuts every window has (Tab, Shift+Tab).
constexpr int CMD_FOCUS_NEXT = 64001;
constexpr int CMD_FOCUS_PREVIOUS = 64002;

// Event types (EventTypeOf) of EVENT_GADGET.
constexpr int TYPE_LEFT_CLICK = 0;
constexpr int TYPE_RIGHT_CLICK = 1;
constexpr int TYPE_LEFT_DOUBLE_CLICK = 2;
constexpr int TYPE_RIGHT_DOUBLE_CLICK = 3;
constexpr int TYPE_CHANGE = 768;  // the edit control's EN_CHANGE
constexpr int TYPE_FOCUS = 14000;
constexpr int TYPE_LOST_FOCUS = 14001;
constexpr int TYPE_DRAG_START = 14002;
constexpr int TYPE_KEYBOARD_SELECT = 14003;  // the keyboard moved a list's selection
constexpr int TYPE_RETURN_KEY = 14004;       // Enter was pressed in a list

// A callback that sees a window's messages before the toolkit does; any result other
// than NOT_HANDLED is returned to the system as is.
using WindowCallback = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Called when a window's background is erased (and it has no background colour).
using EraseCallback = void (*)(HDC dc, HWND window);

// Result of a message handler that did not take the message.
constexpr LRESULT NOT_HANDLED = static_cast<LRESULT>(INTPTR_MIN);

// Initialises the window library (window table, event state). Called once at start;
// WindowOpen calls it itself when it was not.
void WindowsInit();
// Closes every open window; called at program end.
void WindowsEnd();

// Opens window `number` with the given inner (client) size. Returns the system window
// handle, for ANY_NUMBER the new number; 0 on failure (the number is then free).
intptr_t WindowOpen(ObjectNumber number, int x, int y, int innerWidth, int innerHeight,
                    TextArg title, int flags, HWND parent = nullptr);
void WindowClose(ObjectNumber number);
HWND WindowHandle(ObjectNumber number);
// Non-zero on success; a null text does nothing.
int WindowSetTitle(ObjectNumber number, const char* text);
int WindowSetTitle(ObjectNumber number, const String& text);
// The title from UTF-16 (WindowSetTitle is this with the text converted).
int WindowSetWideTitle(ObjectNumber number, std::wstring_view title);
// Any argument may be IGNORE. The size is the inner (client) size, in layout units; x and
// y are screen pixels.
int WindowResize(ObjectNumber number, int x, int y, int innerWidth, int innerHeight);
int WindowSetTopmost(ObjectNumber number, int flag);
int WindowSetHidden(ObjectNumber number, int flag);
// Paints now what waits to be painted in the window and its gadgets and lets the display
// show it, without taking any other message: the user sees the whole window before the
// thread turns to longer work.
void WindowPaintNow(ObjectNumber number);
// Background colour of the window (-1 = the class brush paints).
int WindowSetColor(ObjectNumber number, int32_t color);
// Size limits of the outer window in layout units (0 = no limit).
int WindowSetSizeLimits(ObjectNumber number, int minWidth, int minHeight, int maxWidth,
                        int maxHeight);
int WindowSetCallback(ObjectNumber number, WindowCallback callback);
// A keyboard shortcut of the window: `key` (a virtual key) with `modifiers` (FCONTROL,
// FSHIFT, FALT) gives an EVENT_MENU event, EventGadgetNumber `command`, while the window is
// active.
int WindowAddShortcut(ObjectNumber number, int modifiers, int key, int command);
// An item at the end of the window's system menu (after a separator) that gives an
// EVENT_MENU event with `command`. The system keeps the low four bits of its commands, so
// `command` is a multiple of 16 below 0xF000.
int WindowAddSystemMenuItem(ObjectNumber number, std::wstring_view text, int command);
int WindowSetEraseCallback(ObjectNumber number, EraseCallback callback);
// Starts (or restarts, with the same identifier) a timer of the window that reports
// EVENT_TIMER, with EventGadgetNumber the identifier, every `milliseconds` until removed.
int WindowAddTimer(ObjectNumber number, int timer, int milliseconds);
int WindowRemoveTimer(ObjectNumber number, int timer);
// Consulted for windows that have no callback of their own.
void EventSetCallback(WindowCallback callback);
// The window's DPI (96 = 100 %); 0 when the number is not in use.
int WindowDpi(ObjectNumber number);
// Called when the window has moved to a display of another DPI, after it has laid itself
// and its gadgets out anew: where the program chooses pictures drawn for that DPI.
using DpiCallback = void (*)(ObjectNumber window, int dpi);
int WindowSetDpiCallback(ObjectNumber number, DpiCallback callback);

// Waits up to `milliseconds` (-1: without limit) and returns the next event number, or 0
// when nothing arrived.
int EventWaitFor(int milliseconds);
int EventWait();
int EventPoll();
// Dispatches messages until `object` is signalled (null: none), `milliseconds` have passed
// (-1: no limit) or the user asks to close a window. Toolkit events arising meanwhile are
// deferred to the queue in order, for EventWait to hand out later; raw messages are
// dispatched only. While it pumps, the cursor over the program's windows is the busy
// (arrow and hourglass) cursor. The close request stays queued as EVENT_CLOSE as well.
constexpr int PUMP_SIGNALLED = 1;
constexpr int PUMP_TIMED_OUT = 2;
constexpr int PUMP_CLOSE_REQUESTED = 3;
int EventPumpUntil(HANDLE object, int milliseconds);
// Deferred events of kind `event` for `window` (gadget events: for `gadget`, -1 any) that
// wait in the queue: how many, so that a wait can give way to a newer request of the same
// kind; and dropping them, for events that no longer apply (a close the user declined, a
// click on rows that were replaced).
int EventQueued(int event, ObjectNumber window, ObjectNumber gadget = -1);
void EventDiscard(int event, ObjectNumber window, ObjectNumber gadget = -1);
// About the event last returned.
ObjectNumber EventWindowNumber();
ObjectNumber EventGadgetNumber();
int EventTypeOf();
// The row a list-icon gadget's event was made on, as the list stood when the event arose
// (the clicked row, the row Enter or a key chose); -1 for other events. A deferred event
// keeps its row, so that a click handled after a wait acts on the row that was clicked.
intptr_t EventItem();
WPARAM EventWParam();
LPARAM EventLParam();

// ---------------------------------------------------------------------------------------
// Gadgets (gadget.cpp)

constexpr int KIND_BUTTON = 1;
constexpr int KIND_STRING = 2;
constexpr int KIND_TEXT = 3;
constexpr int KIND_IMAGE = 9;
constexpr int KIND_HYPERLINK = 10;
constexpr int KIND_CONTAINER = 11;
constexpr int KIND_LIST_ICON = 12;
constexpr int KIND_WEB = 18;

constexpr int COLOR_FRONT = 1;
constexpr int COLOR_BACK = 2;
constexpr int COLOR_LINE = 3;

// Creates the gadget table, the brush cache and the default font and initialises the
// common controls. Called once at start; gadget creation calls it itself when it was not.
void GadgetsInit();
void GadgetsEnd();

HWND GadgetHandle(ObjectNumber number);
// Destroys the gadget's control and frees its number.
void GadgetFree(ObjectNumber number);
int GadgetKindOf(ObjectNumber number);
void GadgetSetText(ObjectNumber number, TextArg text);
// The text from UTF-16, for a text that Windows-1251 cannot hold (a label showing a path, a
// character named to the user): text labels (TEXT_ELLIPSIS ones and their tips too),
// hyperlinks, string fields and buttons show it as given. GadgetSetText is this with the
// text converted.
void GadgetSetWideText(ObjectNumber number, std::wstring_view text);
// A character of the text that Windows-1251 lacks (typed into a string field, or set with
// GadgetSetWideText) comes back as '?'; the first one is stored in `*lacking` when given
// (0 when there is none), so that the caller can refuse the text instead of using it
// altered.
String GadgetGetText(ObjectNumber number, char32_t* lacking = nullptr);
intptr_t GadgetGetState(ObjectNumber number);
void GadgetSetState(ObjectNumber number, intptr_t value);
// `*lacking` as for GadgetGetText.
String GadgetGetItemText(ObjectNumber number, int index, int column = 0,
                         char32_t* lacking = nullptr);
intptr_t GadgetAddItem(ObjectNumber number, int position, TextArg text, intptr_t picture);
void GadgetClearItems(ObjectNumber number);
// Place and size in layout units, relative to the gadget's parent (the window or its
// container); IGNORE keeps a value.
void GadgetResize(ObjectNumber number, int x, int y, int width, int height);
int GadgetX(ObjectNumber number);
int GadgetY(ObjectNumber number);
int GadgetWidth(ObjectNumber number);
int GadgetHeight(ObjectNumber number);
void GadgetSetColor(ObjectNumber number, int slot, int32_t color);
// The colour of a slot; -1 when the slot has none (or the kind keeps no colours).
int32_t GadgetGetColor(ObjectNumber number, int slot);

// Makes `window` the parent of gadgets created next and returns the window of the gadget
// list that was current; with a null window it only returns that.
HWND GadgetListUse(HWND window);
// Ends the contents of the innermost open container.
void GadgetListClose();
// Posts an event of the given type for the gadget that owns `control` to its window.
void GadgetPostEvent(HWND control, int type);
// Tab and Shift+Tab visit the enabled gadgets with tab stops that the user can see (some
// part of them inside the window's client area, not cut off by their containers) in the
// order of their controls among their siblings, which is the order of creation unless
// set here: the gadgets given, all children of one parent, come first, in this order. A
// container given places the gadgets inside it there.
void GadgetSetTabOrder(const ObjectNumber* gadgets, int count);
// The same for an event made on row `item` of a list (EventItem).
void GadgetPostItemEvent(HWND control, int type, intptr_t item);

// ---------------------------------------------------------------------------------------
// Simple gadgets (text_gadget.cpp ... container_gadget.cpp). Each returns the control's
// handle (for ANY_NUMBER the new number), or 0 when the system refuses the control.

// 0x20000 gives a text label the sunken edge and takes it away from a string field.
constexpr int TEXT_BORDER = 0x20000;
constexpr int STRING_BORDERLESS = 0x20000;
// A string field that shows its text as mask characters (a password).
constexpr int STRING_PASSWORD = ES_PASSWORD;
constexpr int TEXT_CENTER = 0x1;
constexpr int TEXT_RIGHT = 0x2;
// A text label's text that does not fit ends with "..." and shows whole as a tooltip;
// an "&" in it is shown as it is.
constexpr int TEXT_ELLIPSIS = 0x4000;
constexpr int HYPERLINK_UNDERLINE = 0x1;
constexpr int CONTAINER_BORDER = 0x1;
constexpr int CONTAINER_DIALOG_FRAME = 0x2;
constexpr int CONTAINER_STATIC_EDGE = 0x4;
constexpr int CONTAINER_SUNKEN_EDGE = 0x8;

intptr_t TextGadgetCreate(ObjectNumber number, int x, int y, int width, int height, TextArg text,
                          int flags = 0);
intptr_t StringGadgetCreate(ObjectNumber number, int x, int y, int width, int height, TextArg text,
                            int flags = 0);
intptr_t ButtonGadgetCreate(ObjectNumber number, int x, int y, int width, int height, TextArg text,
                            int flags = 0);
// A hyperlink is a tab stop: with the focus it shows a focus mark, and Enter or Space
// report a click as a release of the mouse button over it does.
intptr_t HyperlinkGadgetCreate(ObjectNumber number, int x, int y, int width, int height,
                               TextArg text, int32_t hoverColor, int flags = 0);
// `picture` is a bitmap or icon handle (an image's handle) or 0; it stays owned by the
// caller (the image table). A picture counts as drawn for 96 DPI: its pixels are layout
// units, shown scaled with a smoothing filter at other DPIs (ImageGadgetSetPicture tells
// of a picture drawn for another DPI). The gadget takes the picture's size, unless made
// with IMAGE_FIT_FRAME: it then keeps its own size, and a picture larger than that is
// shown scaled down to fit it, keeping its aspect ratio, at its top-left corner. With
// IMAGE_BUTTON the picture acts as a button: it is a tab stop, shows a focus mark when it
// has the focus, and Enter or Space on it reports a click (TYPE_LEFT_CLICK). The two flags
// go with the system's extended window styles, which the other bits are.
constexpr int IMAGE_FIT_FRAME = 0x40000000;
constexpr int IMAGE_BUTTON = 0x20000000;
intptr_t ImageGadgetCreate(ObjectNumber number, int x, int y, int width, int height,
                           intptr_t picture, int extendedStyle = 0);
// Shows `picture` (as GadgetSetState does), drawn for `pictureDpi`: at that DPI pixel for
// pixel, at others scaled by the ratio.
void ImageGadgetSetPicture(ObjectNumber number, intptr_t picture, int pictureDpi);
intptr_t ContainerGadgetCreate(ObjectNumber number, int x, int y, int width, int height,
                               int flags = 0);
