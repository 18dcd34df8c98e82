// Container gadget: a plain child window that holds other gadgets. Its messages go to the
// toolkit's window procedure, so the commands and notifications of its children become
// events of the window that contains it.
#include "toolkit_internal.h"

namespace {

const wchar_t* const CONTAINER_CLASS = L"VeroContainer";

HBRUSH ContainerBrush(HWND container) {
  return reinterpret_cast<HBRUSH>(GetWindowLongPtrW(container, 0));
}

LRESULT CALLBACK ContainerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) {
    HBRUSH brush = ContainerBrush(hwnd);
    if (!brush) return DefWindowProcW(hwnd, message, wParam, lParam);
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
    return 1;
  }
  return ToolkitWindowProc(hwnd, message, wParam, lParam);
}

bool RegisterContainerClass() {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSW windowClass = {};  // the wide class: containers are Unicode windows
  windowClass.lpfnWndProc = ContainerProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = StockCursor(IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.cbWndExtra = sizeof(LONG_PTR);  // the background brush
  windowClass.lpszClassName = CONTAINER_CLASS;
  registered = RegisterClassW(&windowClass) != 0;
  return registered;
}

void ContainerRelease(GadgetRecord& gadget) {
  HBRUSH brush = ContainerBrush(gadget.handle);
  if (brush) BrushCacheRelease(brush);
  SetWindowLongPtrW(gadget.handle, 0, 0);
}

void ContainerOpen(GadgetRecord& gadget) { GadgetListPush(gadget.handle); }

void ContainerSetColor(GadgetRecord& gadget, int slot, int32_t color) {
  if (slot != COLOR_BACK) return;
  ContainerRelease(gadget);
  HBRUSH brush = color == -1 ? nullptr : BrushCacheGet(color);
  SetWindowLongPtrW(gadget.handle, 0, reinterpret_cast<LONG_PTR>(brush));
  gadget.data[0] = color;
  GadgetRedraw(gadget.handle, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

int32_t ContainerGetColor(GadgetRecord& gadget, int slot) {
  return slot == COLOR_BACK ? static_cast<int32_t>(gadget.data[0]) : -1;
}

}  // namespace

const GadgetKind CONTAINER_GADGET_KIND = {.kind = KIND_CONTAINER,
                                          .release = ContainerRelease,
                                          .openForNewGadgets = ContainerOpen,
                                          .setColor = ContainerSetColor,
                                          .getColor = ContainerGetColor};

intptr_t ContainerGadgetCreate(ObjectNumber number, int x, int y, int width, int height,
                               int flags) {
  if (!RegisterContainerClass()) return 0;
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD extended = 0;
  if (flags & CONTAINER_BORDER)
    style |= WS_BORDER;
  else if (flags & CONTAINER_DIALOG_FRAME)
    style |= WS_DLGFRAME;
  if (!(flags & (CONTAINER_BORDER | CONTAINER_DIALOG_FRAME))) {
    if (flags & CONTAINER_STATIC_EDGE)
      extended = WS_EX_STATICEDGE;
    else if (flags & CONTAINER_SUNKEN_EDGE)
      extended = WS_EX_CLIENTEDGE;
  }
  HWND control = GadgetCreateControl(extended, CONTAINER_CLASS, L"", style, x, y, width, height);
  if (!control) return 0;
  intptr_t result = GadgetRegister(number, control, &CONTAINER_GADGET_KIND, {-1, 0, 0, 0});
  if (result) GadgetListPush(control);
  return result;
}
