// Shared between the toolkit's modules (and its tests): the records behind window and
// gadget numbers, the gadget kinds' operation tables and the brush cache.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "toolkit.h"

// ---------------------------------------------------------------------------------------
// Windows

struct WindowRecord {
  HWND handle = nullptr;
  HACCEL accelerators = nullptr;  // Tab and Shift+Tab, and the shortcuts added
  std::vector<ACCEL> shortcuts;   // what `accelerators` was made of
  int systemMenuItems = 0;        // items added to the system menu
  WindowCallback callback = nullptr;
  HBRUSH backgroundBrush = nullptr;  // from the brush cache; 0 = the class brush paints
  EraseCallback eraseCallback = nullptr;
  DpiCallback dpiCallback = nullptr;
  // Limits in layout units (96 DPI).
  uint16_t minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;
  int dpi = 96;               // the window's display scale; its gadgets share it
  HICON smallIcon = nullptr;  // the caption's icon for a DPI other than the system's; owned
  // The inner size in layout units: what the pixels are scaled from, so that a change of
  // DPI gives the same layout, and sizes read back are the numbers set.
  int layoutWidth = 0, layoutHeight = 0;
  bool sizingItself = false;  // the toolkit is setting the window's size
  HWND lastFocus = nullptr;   // the child that had the focus when the window was deactivated
  bool minimizedOrMaximized = false;
  bool toolWindow = false;
  bool InUse() const { return handle != nullptr; }
};

// The window number of `hwnd` or of its nearest ancestor that is a toolkit window, -1
// when there is none.
ObjectNumber WindowNumberOfHandle(HWND hwnd);
// Whether `hwnd` is one of the toolkit's numbered windows (not one of their children).
bool IsToolkitWindow(HWND hwnd);
// The DPI of the toolkit window that holds `hwnd` (or is it); for a window outside the
// toolkit, the system's DPI of its top-level window.
int ToolkitDpiOf(HWND hwnd);
// The toolkit's one window procedure (top-level windows; containers pass their messages
// on to it).
LRESULT CALLBACK ToolkitWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// While EventPumpUntil runs: sets the busy cursor for a WM_SETCURSOR with this hit-test
// code and answers true (the message is then handled); otherwise false.
bool ToolkitBusyCursor(int hitTest);
// Name of the property that marks a toolkit window (value: number + 1).
extern const wchar_t* const WINDOW_NUMBER_PROPERTY;
// A focused control carrying this property keeps Tab and Shift+Tab for itself.
extern const wchar_t* const HOTKEY_PROPERTY;
// A stock cursor (IDC_ARROW, IDC_HAND...): those names are resource numbers, the same for
// the wide function, but spelt for the narrow one.
inline HCURSOR StockCursor(LPCSTR id) {
  return LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(id));
}

// ---------------------------------------------------------------------------------------
// Gadgets

struct GadgetKind;

struct GadgetRecord {
  HWND handle = nullptr;
  const GadgetKind* kind = nullptr;
  WNDPROC previousProc = nullptr;
  // Kind-specific. Text, string, hyperlink: background colour, text colour, background
  // brush, kind extra. Image: picture, the copy drawn in its place (premultiplied, scaled),
  // not used, the image block.
  intptr_t data[4] = {0, 0, 0, 0};
  // Place and size in layout units (x, y, width, height), which the control's pixels are
  // scaled from at `dpi`, the DPI of the gadget's window.
  int layout[4] = {0, 0, 0, 0};
  int dpi = 96;
  bool InUse() const { return handle != nullptr; }
};

// Operation table of a gadget kind. A kind names the operations it has with designated
// initializers (the toolkit is built as C++20 for them); the others stay null and the
// generic call falls back: to the window text, the control's own rectangle, or doing
// nothing and returning 0.
//
// Texts reach a kind as the program keeps them (Windows-1251), except the gadget's own
// text, which it takes in UTF-16 so that GadgetSetWideText and GadgetSetText share one
// path. A kind that reads a text back converts it itself and stores the first character
// Windows-1251 lacks in `*lacking` when that is given (TextFromWide).
struct GadgetKind {
  int kind = 0;  // KIND_*
  // Parent-side messages about the control (commands, notifications, colour requests).
  LRESULT(*messageHandler)
  (GadgetRecord& gadget, HWND parent, UINT message, WPARAM wParam, LPARAM lParam) = nullptr;
  // Control-side procedure (its own painting, mouse and focus handling). It sees the
  // control's messages after the common gadget procedure and before the control's class
  // procedure; NOT_HANDLED passes a message on to the class procedure.
  LRESULT(*controlProc)
  (GadgetRecord& gadget, HWND control, UINT message, WPARAM wParam, LPARAM lParam) = nullptr;
  // Frees what the kind keeps beside the control, as the control is destroyed.
  void (*release)(GadgetRecord& gadget) = nullptr;
  intptr_t (*getState)(GadgetRecord& gadget) = nullptr;
  void (*setState)(GadgetRecord& gadget, intptr_t value) = nullptr;
  String (*getText)(GadgetRecord& gadget, char32_t* lacking) = nullptr;
  void (*setText)(GadgetRecord& gadget, const std::wstring& text) = nullptr;
  // Makes the gadget the parent of gadgets created next (containers).
  void (*openForNewGadgets)(GadgetRecord& gadget) = nullptr;
  void (*setColor)(GadgetRecord& gadget, int slot, int32_t color) = nullptr;
  int32_t (*getColor)(GadgetRecord& gadget, int slot) = nullptr;
  // Rows, columns, attributes, item colours and item data (gadget_items.h).
  intptr_t (*addItem)(GadgetRecord& gadget, int position, TextArg text, intptr_t picture) = nullptr;
  void (*removeItem)(GadgetRecord& gadget, int index) = nullptr;
  void (*clearItems)(GadgetRecord& gadget) = nullptr;
  int (*countItems)(GadgetRecord& gadget) = nullptr;
  intptr_t (*getItemState)(GadgetRecord& gadget, int index) = nullptr;
  void (*setItemState)(GadgetRecord& gadget, int index, intptr_t value) = nullptr;
  String (*getItemText)(GadgetRecord& gadget, int index, int column, char32_t* lacking) = nullptr;
  void (*setItemText)(GadgetRecord& gadget, int index, TextArg text, int column) = nullptr;
  void (*addColumn)(GadgetRecord& gadget, int position, TextArg title, int width) = nullptr;
  void (*removeColumn)(GadgetRecord& gadget, int index) = nullptr;
  intptr_t (*getAttribute)(GadgetRecord& gadget, int attribute) = nullptr;
  void (*setAttribute)(GadgetRecord& gadget, int attribute, intptr_t value) = nullptr;
  intptr_t (*getItemAttribute)(GadgetRecord& gadget, int index, int attribute,
                               int column) = nullptr;
  void (*setItemAttribute)(GadgetRecord& gadget, int index, int attribute, intptr_t value,
                           int column) = nullptr;
  void (*setItemColor)(GadgetRecord& gadget, int index, int slot, int32_t color,
                       int column) = nullptr;
  int32_t (*getItemColor)(GadgetRecord& gadget, int index, int slot, int column) = nullptr;
  void (*setItemData)(GadgetRecord& gadget, int index, intptr_t value) = nullptr;
  intptr_t (*getItemData)(GadgetRecord& gadget, int index) = nullptr;
  // The gadget's window moved to a display of another DPI (now gadget.dpi): the control is
  // placed and has its font already; the kind redoes what it sized in pixels.
  void (*followDpi)(GadgetRecord& gadget, int oldDpi) = nullptr;
};

// Registers a freshly created control (parent = the current gadget parent, identifier -1)
// under `number`: releases a gadget already using the number, subclasses the control,
// sets its identifier and property and the default font. Returns what creation returns.
// `data` gives the kind-specific fields; they are set before the font is.
intptr_t GadgetRegister(ObjectNumber number, HWND control, const GadgetKind* kind,
                        const std::array<intptr_t, 4>& data = {0, 0, 0, 0});
// Creates a child control (a Unicode window) in the current gadget parent with identifier
// -1, at the place and size given in layout units.
HWND GadgetCreateControl(DWORD extendedStyle, const wchar_t* className, const std::wstring& text,
                         DWORD style, int x, int y, int width, int height);
GadgetRecord* GadgetLookup(ObjectNumber number);
// The gadget's control moved to the place and size of its layout rectangle at its DPI.
void GadgetApplyLayout(GadgetRecord& gadget);
// The gadget that owns `control` if the control carries the gadget property and its
// identifier matches; else null.
GadgetRecord* GadgetOfControl(HWND control);
ObjectNumber GadgetNumberOfControl(HWND control);
// Hands a parent-side message about `control` to its kind's message handler.
LRESULT GadgetForwardMessage(HWND control, HWND parent, UINT message, WPARAM wParam, LPARAM lParam);
// Makes `container` the current parent, pushing the previous one.
void GadgetListPush(HWND container);
// Drops the gadget list saved for `window`, which goes away; no list is current after it
// when it was that window's.
void GadgetListForget(HWND window);
HWND GadgetListCurrentParent();
// The default font of gadgets made for `dpi`: the system's GUI font at 96 DPI, the same
// face scaled with the layout at others (DpiScaledFont; kept until the program ends).
HFONT GadgetDefaultFont(int dpi);
// Lays every gadget inside the toolkit window `window` out again for its new `dpi`: their
// layout rectangles scaled, the font for the DPI, then what each kind draws at its size.
void GadgetsFollowDpi(HWND window, int dpi);
// RedrawWindow for a change of look (colour, picture), skipped while `control` is not
// visible: showing a window paints it whole, and a window being built is not seen yet.
void GadgetRedraw(HWND control, const RECT* area, UINT flags);
extern const wchar_t* const GADGET_NUMBER_PROPERTY;

// Default colour operations of the text, string and hyperlink kinds (fields: background
// colour, text colour, background brush).
void GadgetDefaultSetColor(GadgetRecord& gadget, int slot, int32_t color);
int32_t GadgetDefaultGetColor(GadgetRecord& gadget, int slot);
void GadgetReleaseBackgroundBrush(GadgetRecord& gadget);
// The answer of a text or string gadget to its colour request (WM_CTLCOLORSTATIC,
// WM_CTLCOLOREDIT) on `dc`: its text colour when it has one, and its background brush;
// with a text colour but no background, the system colour `defaultBack`. NOT_HANDLED
// when it has neither, so that the system's colours apply.
LRESULT GadgetColorAnswer(GadgetRecord& gadget, HDC dc, int defaultBack);
// Fills `area` of a control that paints itself as its parent's colour answer asks (the
// button face when the parent gives none); the answer's text colour stays in `dc`.
void FillWithParentBackground(HWND control, HDC dc, const RECT& area);
// The control's whole window text.
std::wstring ControlText(HWND control);
// The answer of a control that draws an "&" as itself to WM_GETOBJECT (accessible.cpp): for
// its client object, the system's with its whole window text as its name; NOT_HANDLED for
// other objects or when the system has none.
LRESULT AnswerAccessibleName(HWND control, WPARAM flags, LPARAM objectId);
// The dotted focus mark along the inside of `rect`, as thick as one pixel is at `dpi`
// (two at 150 %), so that it stays as visible as at 96 DPI; white on a dark ground, black
// on a light one.
void DrawFocusMark(HDC dc, const RECT& rect, int dpi);
// Whether a key message is Enter or Space pressed (not repeated): the keys that act on a
// focused link or picture button as a click does.
bool IsActivationKey(UINT message, WPARAM key, LPARAM flags);

// Brush cache: one solid brush per colour, shared by reference count.
HBRUSH BrushCacheGet(int32_t color);
void BrushCacheRelease(HBRUSH brush);
// Reference count of a cached brush, 0 when it is not in the cache.
int BrushCacheCount(HBRUSH brush);
size_t BrushCacheSize();

// Tooltips (tooltip.cpp): a tooltip window for a gadget's control, whose one tool is the
// whole control; an empty text shows no tip. TooltipText reads the tip back.
HWND TooltipCreate(HWND control);
void TooltipSetText(HWND tooltip, HWND control, std::wstring_view text);
std::wstring TooltipText(HWND tooltip, HWND control);
// The tooltip of a list-icon's cut cells (null until one was hovered).
HWND ListIconTooltip(HWND list);

// What a TEXT_ELLIPSIS label draws (its text, or the beginning of it and "..."), and its
// tooltip (null until a text was first cut); empty and null for other controls.
std::wstring TextLabelShownText(HWND control);
HWND TextLabelTooltip(HWND control);

extern const GadgetKind TEXT_GADGET_KIND;
extern const GadgetKind STRING_GADGET_KIND;
extern const GadgetKind BUTTON_GADGET_KIND;
extern const GadgetKind HYPERLINK_GADGET_KIND;
extern const GadgetKind IMAGE_GADGET_KIND;
extern const GadgetKind CONTAINER_GADGET_KIND;
