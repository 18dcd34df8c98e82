// Image gadget: shows a bitmap or icon that the image table owns. A picture with an alpha
// channel is drawn from a premultiplied copy with per-pixel blending over whatever the
// parent painted beneath. It reports clicks, double clicks, right clicks and drag starts.
#include "image.h"
#include "toolkit_internal.h"

namespace {

// data[0] picture, data[1] alpha copy, data[2] drag tracking, data[3] drag start point.
HBITMAP PictureBitmap(GadgetRecord& gadget) {
  HGDIOBJ picture = reinterpret_cast<HGDIOBJ>(gadget.data[0]);
  return picture && GetObjectType(picture) == OBJ_BITMAP ? static_cast<HBITMAP>(picture) : nullptr;
}

// One mark for all image gadgets: the next right button release ends a double click.
bool rightReleaseAfterDoubleClick = false;

bool PictureSize(HANDLE picture, int* width, int* height) {
  if (GetObjectType(picture) == OBJ_BITMAP) {
    BITMAP info;
    if (GetObjectW(picture, sizeof info, &info) < static_cast<int>(sizeof info)) return false;
    *width = info.bmWidth;
    *height = info.bmHeight;
    return true;
  }
  ICONINFO icon;
  if (!GetIconInfo(static_cast<HICON>(picture), &icon)) return false;
  BITMAP info;
  HBITMAP shape = icon.hbmColor ? icon.hbmColor : icon.hbmMask;
  bool ok = GetObjectW(shape, sizeof info, &info) >= static_cast<int>(sizeof info);
  if (ok) {
    *width = info.bmWidth;
    *height = icon.hbmColor ? info.bmHeight : info.bmHeight / 2;
  }
  if (icon.hbmColor) DeleteObject(icon.hbmColor);
  if (icon.hbmMask) DeleteObject(icon.hbmMask);
  return ok;
}

// Repaints the parent under the gadget (and the gadget after it), so that transparent
// pixels show the parent's background.
void RedrawParentArea(HWND control) {
  HWND parent = GetParent(control);
  if (!parent) return;
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  RedrawWindow(parent, &rect, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void ImageSetState(GadgetRecord& gadget, intptr_t value) {
  HWND control = gadget.handle;
  gadget.data[0] = value;
  if (gadget.data[1]) DeleteObject(reinterpret_cast<HGDIOBJ>(gadget.data[1]));
  gadget.data[1] = 0;
  HBITMAP bitmap = PictureBitmap(gadget);
  if (bitmap && ImageNeedsAlpha(bitmap))
    gadget.data[1] = reinterpret_cast<intptr_t>(ImagePremultipliedCopy(bitmap));
  bool plainBitmap = bitmap && !gadget.data[1];
  if (!plainBitmap) RedrawParentArea(control);
  if (!value) return;
  int width = 0, height = 0;
  if (PictureSize(reinterpret_cast<HANDLE>(value), &width, &height)) {
    if (GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) {
      width += 4;
      height += 4;
    }
    SetWindowPos(control, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (!gadget.data[1]) RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

intptr_t ImageGetState(GadgetRecord& gadget) { return gadget.data[0]; }

void ImageRelease(GadgetRecord& gadget) {
  if (gadget.data[1]) DeleteObject(reinterpret_cast<HGDIOBJ>(gadget.data[1]));
  gadget.data[1] = 0;
}

void PaintPicture(GadgetRecord& gadget, HDC dc) {
  HANDLE picture = reinterpret_cast<HANDLE>(gadget.data[0]);
  if (!picture) return;
  if (gadget.data[1]) {
    ImageAlphaDraw(dc, 0, 0, 0, 0, reinterpret_cast<HBITMAP>(gadget.data[1]), 255);
    return;
  }
  UINT type = GetObjectType(picture) == OBJ_BITMAP ? DST_BITMAP : DST_ICON;
  DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(picture), 0, 0, 0, 0, 0, type);
}

LRESULT ImageMessage(GadgetRecord&, HWND, UINT message, WPARAM wParam, LPARAM) {
  // The static's click notification is the left click; its other notifications (double
  // click, enable, disable) would otherwise arrive as events with unrelated type numbers.
  if (message == WM_COMMAND) return HIWORD(wParam) == STN_CLICKED ? NOT_HANDLED : 0;
  return NOT_HANDLED;
}

LRESULT ImageControl(GadgetRecord& gadget, HWND control, UINT message, WPARAM wParam,
                     LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(control, &paint);
      if (dc) PaintPicture(gadget, dc);
      EndPaint(control, &paint);
      return 0;
    }
    case WM_PRINT:
    case WM_PRINTCLIENT:
      PaintPicture(gadget, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the parent's background shows through
    case WM_MOVE:
      RedrawParentArea(control);
      return NOT_HANDLED;
    case WM_ENABLE:
      RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      return NOT_HANDLED;
    case STM_GETIMAGE:
      return gadget.data[0];
    case WM_LBUTTONDOWN:
      gadget.data[2] = 1;
      gadget.data[3] = static_cast<intptr_t>(static_cast<uint32_t>(lParam));
      SetCapture(control);
      return NOT_HANDLED;
    case WM_MOUSEMOVE:
      if (gadget.data[2]) {
        int startX = static_cast<short>(LOWORD(gadget.data[3]));
        int startY = static_cast<short>(HIWORD(gadget.data[3]));
        int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
        int dx = GetSystemMetrics(SM_CXDRAG), dy = GetSystemMetrics(SM_CYDRAG);
        if (x < startX - dx || x > startX + dx || y < startY - dy || y > startY + dy) {
          gadget.data[2] = 0;
          ReleaseCapture();
          GadgetPostEvent(control, TYPE_DRAG_START);
        }
      }
      return NOT_HANDLED;
    case WM_LBUTTONUP:
      if (gadget.data[2]) {
        gadget.data[2] = 0;
        if (GetCapture() == control) ReleaseCapture();
      }
      return NOT_HANDLED;
    case WM_LBUTTONDBLCLK:
      GadgetPostEvent(control, TYPE_LEFT_DOUBLE_CLICK);
      return 0;
    case WM_RBUTTONDBLCLK:
      GadgetPostEvent(control, TYPE_RIGHT_DOUBLE_CLICK);
      rightReleaseAfterDoubleClick = true;
      return 0;
    case WM_RBUTTONUP:
      if (rightReleaseAfterDoubleClick)
        rightReleaseAfterDoubleClick = false;
      else
        GadgetPostEvent(control, TYPE_RIGHT_CLICK);
      return NOT_HANDLED;
  }
  return NOT_HANDLED;
}

}  // namespace

const GadgetKind IMAGE_GADGET_KIND = {.kind = KIND_IMAGE,
                                      .messageHandler = ImageMessage,
                                      .controlProc = ImageControl,
                                      .release = ImageRelease,
                                      .getState = ImageGetState,
                                      .setState = ImageSetState};

intptr_t ImageGadgetCreate(ObjectNumber number, int x, int y, int width, int height,
                           intptr_t picture, int extendedStyle) {
  HWND control = GadgetCreateControl(static_cast<DWORD>(extendedStyle), L"STATIC", L"", 0x50000100,
                                     x, y, width, height);
  if (!control) return 0;
  intptr_t result = GadgetRegister(number, control, &IMAGE_GADGET_KIND);
  if (!result) return 0;
  GadgetRecord* gadget = GadgetOfControl(control);
  if (gadget) ImageSetState(*gadget, picture);
  return result;
}
