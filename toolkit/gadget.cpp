// The gadget registry: numbers to controls and back, the per-kind operation tables behind
// every generic call, the gadget list (the parent of new gadgets, with a stack for nested
// containers and a saved copy per window) and the shared brush cache.
#include <list>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "dpi.h"
#include "toolkit_internal.h"
#include "wide.h"
// after windows.h
#include <commctrl.h>

const wchar_t* const GADGET_NUMBER_PROPERTY = L"VsGadgetNumber";

namespace {

void ReleaseGadgetNumber(ObjectNumber number) { GadgetFree(number); }

std::unique_ptr<ObjectTable<GadgetRecord>> gadgets;
// The number of each gadget's control, kept here because under Wine a property read is a
// round trip to the window server and the number is looked up for every forwarded message.
std::unordered_map<HWND, ObjectNumber> gadgetNumbers;
HFONT defaultFont = nullptr;
std::map<int, HFONT> scaledFonts;  // the default font for each DPI met (DpiScaledFont)

// The layout rectangle and DPI of the control GadgetCreateControl made last, for the
// registration that follows it.
struct NewControl {
  HWND control = nullptr;
  int layout[4] = {0, 0, 0, 0};
  int dpi = BASE_DPI;
};
NewControl newControl;

// The gadget list. `stack` holds the enclosing parents of open containers, the outermost
// (the window) at the bottom.
struct GadgetListState {
  HWND parent = nullptr;
  std::vector<HWND> stack;
};
GadgetListState gadgetList;
std::unordered_map<HWND, GadgetListState> savedLists;  // one per window used as list
constexpr UINT_PTR LIST_SUBCLASS_ID = 0x56534C;

struct BrushEntry {
  int32_t color;
  HBRUSH brush;
  int count;
};
CRITICAL_SECTION brushLock;
std::list<BrushEntry>* brushes = nullptr;

ObjectTable<GadgetRecord>& Gadgets() {
  GadgetsInit();
  return *gadgets;
}

HWND GadgetListWindow() {
  return gadgetList.stack.empty() ? gadgetList.parent : gadgetList.stack.front();
}

// Drops the saved gadget list of a window that is not the toolkit's when it goes away.
// (Toolkit windows are told apart and forget theirs themselves: a common-controls
// subclass costs every message of the window a look-up of a window property, which under
// Wine is a call to the window server.)
LRESULT CALLBACK ListOwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR) {
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, ListOwnerProc, LIST_SUBCLASS_ID);
    GadgetListForget(hwnd);
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

RECT ControlRect(HWND control) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// A control moved or sized by something else than its layout (the system, a kind sizing
// itself to its content): each value that its layout no longer gives becomes the layout.
void FollowMove(GadgetRecord& gadget) {
  RECT rect = ControlRect(gadget.handle);
  const int pixels[4] = {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
  for (int i = 0; i < 4; ++i)
    if (DpiScale(gadget.layout[i], gadget.dpi) != pixels[i])
      gadget.layout[i] = DpiUnscale(pixels[i], gadget.dpi);
}

// The common gadget procedure: every gadget control is subclassed with it, through the
// wide function, so that the control stays a Unicode window.
LRESULT CALLBACK GadgetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ObjectNumber number = static_cast<ObjectNumber>(GetWindowLongPtrW(hwnd, GWLP_ID));
  GadgetRecord* gadget = number != -1 && gadgets ? gadgets->Lookup(number) : nullptr;
  if (!gadget || gadget->handle != hwnd) return DefWindowProcW(hwnd, message, wParam, lParam);
  WNDPROC previous = gadget->previousProc;
  if (message == WM_SETCURSOR && ToolkitBusyCursor(LOWORD(lParam))) return TRUE;
  if (message == WM_WINDOWPOSCHANGED) FollowMove(*gadget);
  if (message != WM_NCDESTROY) {
    if (gadget->kind->controlProc) {
      LRESULT result = gadget->kind->controlProc(*gadget, hwnd, message, wParam, lParam);
      if (result != NOT_HANDLED) return result;
    }
    return CallWindowProcW(previous, hwnd, message, wParam, lParam);
  }
  LRESULT result = CallWindowProcW(previous, hwnd, message, wParam, lParam);
  gadget = gadgets->Lookup(number);
  if (gadget && gadget->handle == hwnd) {
    if (gadget->kind->release) gadget->kind->release(*gadget);
    RemovePropW(hwnd, GADGET_NUMBER_PROPERTY);
    gadgetNumbers.erase(hwnd);
    SetWindowLongPtrW(hwnd, GWLP_ID, -1);
    gadgets->Free(number);
  }
  return result;
}

}  // namespace

void GadgetsInit() {
  if (gadgets) return;
  InitializeCriticalSection(&brushLock);
  brushes = new std::list<BrushEntry>();
  defaultFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  gadgets = std::make_unique<ObjectTable<GadgetRecord>>(50, ReleaseGadgetNumber);
  gadgetList = GadgetListState();
  INITCOMMONCONTROLSEX controls = {sizeof controls, 0xB48};
  InitCommonControlsEx(&controls);
}

void GadgetsEnd() {
  // Gadgets die with their windows (WindowsEnd); the cache is empty by then unless a
  // caller still holds a window colour, and is kept for a later start of the toolkit.
}

HFONT GadgetDefaultFont(int dpi) {
  GadgetsInit();
  if (dpi <= 0) return defaultFont;
  auto made = scaledFonts.find(dpi);
  if (made != scaledFonts.end()) return made->second;
  HFONT scaled = DpiScaledFont(defaultFont, dpi);
  if (!scaled) return defaultFont;
  scaledFonts[dpi] = scaled;
  return scaled;
}

HWND GadgetCreateControl(DWORD extendedStyle, const wchar_t* className, const std::wstring& text,
                         DWORD style, int x, int y, int width, int height) {
  GadgetsInit();
  int dpi = ToolkitDpiOf(gadgetList.parent);
  HWND control = CreateWindowExW(
      extendedStyle, className, text.c_str(), style, DpiScale(x, dpi), DpiScale(y, dpi),
      DpiScale(width, dpi), DpiScale(height, dpi), gadgetList.parent,
      reinterpret_cast<HMENU>(static_cast<intptr_t>(-1)), GetModuleHandleW(nullptr), nullptr);
  newControl = {control, {x, y, width, height}, dpi};
  return control;
}

void GadgetApplyLayout(GadgetRecord& gadget) {
  const int* layout = gadget.layout;
  MoveWindow(gadget.handle, DpiScale(layout[0], gadget.dpi), DpiScale(layout[1], gadget.dpi),
             DpiScale(layout[2], gadget.dpi), DpiScale(layout[3], gadget.dpi), TRUE);
}

intptr_t GadgetRegister(ObjectNumber number, HWND control, const GadgetKind* kind,
                        const std::array<intptr_t, 4>& data) {
  ObjectTable<GadgetRecord>& table = Gadgets();
  GadgetRecord* gadget = table.Slot(number);  // destroys a gadget that used the number
  if (!gadget) {
    DestroyWindow(control);
    return 0;
  }
  if (!IsWindow(control)) {
    // The gadget released under the number was the new control's own parent (a
    // container reused as the number of a gadget created inside it).
    return 0;
  }
  ObjectNumber actual = number == ANY_NUMBER ? table.NumberOf(gadget) : number;
  gadget->handle = control;
  gadget->kind = kind;
  if (newControl.control == control) {
    gadget->dpi = newControl.dpi;
    for (int i = 0; i < 4; ++i) gadget->layout[i] = newControl.layout[i];
  } else {
    gadget->dpi = ToolkitDpiOf(control);
    FollowMove(*gadget);
  }
  newControl = NewControl();
  for (int i = 0; i < 4; ++i) gadget->data[i] = data[static_cast<size_t>(i)];
  gadget->previousProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetProc)));
  SetWindowLongPtrW(control, GWLP_ID, actual);
  // The property holds number + 1 so that gadget 0 carries a non-zero value too.
  SetPropW(control, GADGET_NUMBER_PROPERTY, reinterpret_cast<HANDLE>(actual + 1));
  gadgetNumbers[control] = actual;
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GadgetDefaultFont(gadget->dpi)), TRUE);
  return number == ANY_NUMBER ? actual : reinterpret_cast<intptr_t>(control);
}

GadgetRecord* GadgetLookup(ObjectNumber number) { return Gadgets().Lookup(number); }

ObjectNumber GadgetNumberOfControl(HWND control) {
  return static_cast<ObjectNumber>(GetWindowLongPtrW(control, GWLP_ID));
}

GadgetRecord* GadgetOfControl(HWND control) {
  if (!control || !gadgets) return nullptr;
  auto found = gadgetNumbers.find(control);
  if (found == gadgetNumbers.end()) return nullptr;
  ObjectNumber number = found->second;
  if (GadgetNumberOfControl(control) != number) return nullptr;
  GadgetRecord* gadget = gadgets->Lookup(number);
  return gadget && gadget->handle == control ? gadget : nullptr;
}

LRESULT GadgetForwardMessage(HWND control, HWND parent, UINT message, WPARAM wParam,
                             LPARAM lParam) {
  GadgetRecord* gadget = GadgetOfControl(control);
  if (!gadget || !gadget->kind->messageHandler) return NOT_HANDLED;
  return gadget->kind->messageHandler(*gadget, parent, message, wParam, lParam);
}

HWND GadgetHandle(ObjectNumber number) {
  GadgetRecord* gadget = GadgetLookup(number);
  return gadget ? gadget->handle : nullptr;
}

void GadgetFree(ObjectNumber number) {
  GadgetRecord* gadget = GadgetLookup(number);
  if (gadget) DestroyWindow(gadget->handle);  // WM_NCDESTROY empties the slot
}

int GadgetKindOf(ObjectNumber number) {
  GadgetRecord* gadget = GadgetLookup(number);
  return gadget ? gadget->kind->kind : 0;
}

namespace {

void SetGadgetText(ObjectNumber number, const std::wstring& text) {
  GadgetRecord* gadget = GadgetLookup(number);
  if (!gadget) return;
  if (gadget->kind->setText)
    gadget->kind->setText(*gadget, text);
  else
    SetWindowTextW(gadget->handle, text.c_str());
}

}  // namespace

void GadgetSetText(ObjectNumber number, TextArg text) {
  SetGadgetText(number, WideFromText(text.view()));
}

void GadgetSetWideText(ObjectNumber number, std::wstring_view text) {
  SetGadgetText(number, std::wstring(text));
}

String GadgetGetText(ObjectNumber number, char32_t* lacking) {
  if (lacking) *lacking = 0;
  GadgetRecord* gadget = GadgetLookup(number);
  if (!gadget) return String();
  if (gadget->kind->getText) return gadget->kind->getText(*gadget, lacking);
  return TextFromWide(ControlText(gadget->handle), lacking);
}

std::wstring ControlText(HWND control) {
  int length = GetWindowTextLengthW(control);
  if (length <= 0) return std::wstring();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(control, &text[0], length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

void DrawFocusMark(HDC dc, const RECT& rect, int dpi) {
  // Every other pixel, in black or white as the corner beneath is light or dark. Unlike
  // the system's inverting focus rectangle it may be drawn again over itself: a partial
  // repaint never wipes part of it out.
  COLORREF under = GetPixel(dc, rect.left, rect.top);
  int light = under == CLR_INVALID
                  ? 0
                  : GetRValue(under) * 299 + GetGValue(under) * 587 + GetBValue(under) * 114;
  LOGBRUSH solid = {BS_SOLID, light > 128000 ? RGB(0, 0, 0) : RGB(255, 255, 255), 0};
  HPEN pen = ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &solid, 0, nullptr);
  if (!pen) return;
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  int oldMode = SetBkMode(dc, TRANSPARENT);
  RECT line = rect;
  // As thick as a pixel is at the DPI, ring inside ring.
  for (int i = 0, thickness = DpiScale(1, dpi);
       i < thickness && line.right - line.left > 2 && line.bottom - line.top > 2; ++i) {
    Rectangle(dc, line.left, line.top, line.right, line.bottom);
    InflateRect(&line, -1, -1);
  }
  SetBkMode(dc, oldMode);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

bool IsActivationKey(UINT message, WPARAM key, LPARAM flags) {
  bool repeated = (flags & 0x40000000) != 0;
  return message == WM_KEYDOWN && !repeated && (key == VK_RETURN || key == VK_SPACE);
}

void FillWithParentBackground(HWND control, HDC dc, const RECT& area) {
  HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(control), WM_CTLCOLORSTATIC,
                                                       reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(control)));
  FillRect(dc, &area, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
}

intptr_t GadgetGetState(ObjectNumber number) {
  GadgetRecord* gadget = GadgetLookup(number);
  return gadget && gadget->kind->getState ? gadget->kind->getState(*gadget) : 0;
}

void GadgetSetState(ObjectNumber number, intptr_t value) {
  GadgetRecord* gadget = GadgetLookup(number);
  if (gadget && gadget->kind->setState) gadget->kind->setState(*gadget, value);
}

String GadgetGetItemText(ObjectNumber number, int index, int column, char32_t* lacking) {
  if (lacking) *lacking = 0;
  GadgetRecord* gadget = GadgetLookup(number);
  if (!gadget || !gadget->kind->getItemText) return String();
  return gadget->kind->getItemText(*gadget, index, column, lacking);
}

intptr_t GadgetAddItem(ObjectNumber number, int position, TextArg text, intptr_t picture) {
  GadgetRecord* gadget = GadgetLookup(number);
  if (!gadget) return 0;
  return gadget->kind->addItem ? gadget->kind->addItem(*gadget, position, text, picture) : 0;
}

void GadgetClearItems(ObjectNumber number) {
  GadgetRecord* gadget = GadgetLookup(number);
  if (gadget && gadget->kind->clearItems) gadget->kind->clearItems(*gadget);
}

void GadgetResize(ObjectNumber number, int x, int y, int width, int height) {
  GadgetRecord* gadget = GadgetLookup(number);
  if (!gadget) return;
  const int given[4] = {x, y, width, height};
  for (int i = 0; i < 4; ++i)
    if (given[i] != IGNORE) gadget->layout[i] = given[i];
  GadgetApplyLayout(*gadget);
  if (gadget->kind->kind == KIND_BUTTON)
    RedrawWindow(gadget->handle, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE);
  else if (gadget->kind->kind == KIND_TEXT)
    InvalidateRect(gadget->handle, nullptr, FALSE);
}

int GadgetX(ObjectNumber number) {
  GadgetRecord* gadget = GadgetLookup(number);
  return gadget ? gadget->layout[0] : 0;
}

int GadgetY(ObjectNumber number) {
  GadgetRecord* gadget = GadgetLookup(number);
  return gadget ? gadget->layout[1] : 0;
}

int GadgetWidth(ObjectNumber number) {
  GadgetRecord* gadget = GadgetLookup(number);
  return gadget ? gadget->layout[2] : 0;
}

int GadgetHeight(ObjectNumber number) {
  GadgetRecord* gadget = GadgetLookup(number);
  return gadget ? gadget->layout[3] : 0;
}

namespace {

BOOL CALLBACK CollectChild(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

}  // namespace

void GadgetsFollowDpi(HWND window, int dpi) {
  // Collected first: laying out may create or destroy windows (tooltips). Parents come
  // before their children.
  std::vector<HWND> children;
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
  HFONT font = GadgetDefaultFont(dpi);
  for (HWND child : children) {
    GadgetRecord* gadget = GadgetOfControl(child);
    if (!gadget || gadget->dpi == dpi) continue;
    int oldDpi = gadget->dpi;
    gadget->dpi = dpi;
    GadgetApplyLayout(*gadget);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (gadget->kind->followDpi) gadget->kind->followDpi(*gadget, oldDpi);
  }
}

void GadgetSetTabOrder(const ObjectNumber* numbers, int count) {
  HWND previous = HWND_TOP;
  for (int i = 0; i < count; ++i) {
    HWND control = GadgetHandle(numbers[i]);
    if (!control) continue;
    bool inPlace = previous == HWND_TOP ? !GetWindow(control, GW_HWNDPREV)
                                        : GetWindow(control, GW_HWNDPREV) == previous;
    if (!inPlace)
      SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    previous = control;
  }
}

void GadgetSetColor(ObjectNumber number, int slot, int32_t color) {
  GadgetRecord* gadget = GadgetLookup(number);
  if (gadget && gadget->kind->setColor) gadget->kind->setColor(*gadget, slot, color);
}

int32_t GadgetGetColor(ObjectNumber number, int slot) {
  GadgetRecord* gadget = GadgetLookup(number);
  if (!gadget) return 0;
  return gadget->kind->getColor ? gadget->kind->getColor(*gadget, slot) : -1;
}

void GadgetReleaseBackgroundBrush(GadgetRecord& gadget) {
  if (gadget.data[2]) BrushCacheRelease(reinterpret_cast<HBRUSH>(gadget.data[2]));
  gadget.data[2] = 0;
}

void GadgetRedraw(HWND control, const RECT* area, UINT flags) {
  if (IsWindowVisible(control)) RedrawWindow(control, area, nullptr, flags);
}

void GadgetDefaultSetColor(GadgetRecord& gadget, int slot, int32_t color) {
  if (slot == COLOR_FRONT) {
    gadget.data[1] = color;
  } else if (slot == COLOR_BACK) {
    GadgetReleaseBackgroundBrush(gadget);
    if (color != -1) gadget.data[2] = reinterpret_cast<intptr_t>(BrushCacheGet(color));
    gadget.data[0] = color;
  } else {
    return;
  }
  GadgetRedraw(gadget.handle, nullptr, RDW_FRAME | RDW_ERASE | RDW_INVALIDATE);
}

int32_t GadgetDefaultGetColor(GadgetRecord& gadget, int slot) {
  if (slot == COLOR_FRONT) return static_cast<int32_t>(gadget.data[1]);
  if (slot == COLOR_BACK) return static_cast<int32_t>(gadget.data[0]);
  return -1;
}

LRESULT GadgetColorAnswer(GadgetRecord& gadget, HDC dc, int defaultBack) {
  int32_t back = static_cast<int32_t>(gadget.data[0]);
  int32_t front = static_cast<int32_t>(gadget.data[1]);
  if (front != -1) SetTextColor(dc, static_cast<COLORREF>(front));
  if (back != -1 && gadget.data[2]) {
    SetBkColor(dc, static_cast<COLORREF>(back));
    return gadget.data[2];
  }
  if (front != -1) {
    SetBkColor(dc, GetSysColor(defaultBack));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(defaultBack));
  }
  return NOT_HANDLED;
}

HWND GadgetListUse(HWND window) {
  GadgetsInit();
  HWND previous = GadgetListWindow();
  if (!window) return previous;
  if (previous) savedLists[previous] = gadgetList;
  auto saved = savedLists.find(window);
  if (saved != savedLists.end()) {
    gadgetList = saved->second;
  } else {
    gadgetList = GadgetListState();
    gadgetList.parent = window;
    gadgetList.stack.reserve(10);
    savedLists[window] = GadgetListState();
    if (!IsToolkitWindow(window)) SetWindowSubclass(window, ListOwnerProc, LIST_SUBCLASS_ID, 0);
  }
  return previous;
}

void GadgetListForget(HWND window) {
  savedLists.erase(window);
  if (GadgetListWindow() == window) gadgetList = GadgetListState();
}

void GadgetListPush(HWND container) {
  GadgetsInit();
  gadgetList.stack.push_back(gadgetList.parent);
  gadgetList.parent = container;
}

void GadgetListClose() {
  if (gadgetList.stack.empty()) return;
  gadgetList.parent = gadgetList.stack.back();
  gadgetList.stack.pop_back();
}

HWND GadgetListCurrentParent() { return gadgetList.parent; }

void GadgetPostEvent(HWND control, int type) { GadgetPostItemEvent(control, type, -1); }

void GadgetPostItemEvent(HWND control, int type, intptr_t item) {
  HWND desktop = GetDesktopWindow();
  HWND target = control;
  for (HWND h = control; h && h != desktop; h = GetAncestor(h, GA_PARENT)) {
    target = h;
    if (IsToolkitWindow(h)) break;
  }
  // One message carries both: the type in the low half of the parameter, the row plus one in
  // the high half (the program is 64-bit only).
  static_assert(sizeof(LPARAM) == 8, "the row needs the high half of the parameter");
  LPARAM both =
      static_cast<LPARAM>((static_cast<uint64_t>(item + 1) << 32) | static_cast<uint32_t>(type));
  PostMessageW(target, GADGET_EVENT_MESSAGE, static_cast<WPARAM>(GadgetNumberOfControl(control)),
               both);
}

HBRUSH BrushCacheGet(int32_t color) {
  GadgetsInit();
  HBRUSH result = nullptr;
  EnterCriticalSection(&brushLock);
  for (BrushEntry& entry : *brushes) {
    if (entry.color == color && entry.brush) {
      ++entry.count;
      result = entry.brush;
      break;
    }
  }
  if (!result) {
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(color));
    if (brush) {
      try {
        brushes->push_back({color, brush, 1});
        result = brush;
      } catch (const std::bad_alloc&) {
        DeleteObject(brush);
      }
    }
  }
  LeaveCriticalSection(&brushLock);
  return result;
}

void BrushCacheRelease(HBRUSH brush) {
  if (!brush || !brushes) return;
  EnterCriticalSection(&brushLock);
  for (auto it = brushes->begin(); it != brushes->end(); ++it) {
    if (it->brush != brush) continue;
    if (--it->count <= 0) {
      DeleteObject(it->brush);
      brushes->erase(it);
    }
    break;
  }
  LeaveCriticalSection(&brushLock);
}

int BrushCacheCount(HBRUSH brush) {
  if (!brushes) return 0;
  int count = 0;
  EnterCriticalSection(&brushLock);
  for (const BrushEntry& entry : *brushes)
    if (entry.brush == brush) count = entry.count;
  LeaveCriticalSection(&brushLock);
  return count;
}

size_t BrushCacheSize() {
  if (!brushes) return 0;
  EnterCriticalSection(&brushLock);
  size_t size = brushes->size();
  LeaveCriticalSection(&brushLock);
  return size;
}
