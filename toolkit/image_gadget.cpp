// Image gadget: shows a bitmap or icon that the image table owns. A picture with an alpha
// channel is drawn from a premultiplied copy with per-pixel blending over whatever the
// parent painted beneath. It reports clicks, double clicks, right clicks and drag starts.
//
// A picture is drawn for a DPI (96 unless ImageGadgetSetPicture says otherwise); at the
// gadget's DPI it is shown scaled by the ratio of the two, from a copy resampled with a
// smoothing filter, and in a gadget made with IMAGE_FIT_FRAME scaled down further to fit
// the gadget. The copy is made when the picture or the DPI changes, never while painting.
#include <new>

#include "image.h"
#include "toolkit_internal.h"

namespace {

// Beside the record's fields (data[0] picture, data[1] the copy drawn in its place or 0,
// data[3] this block).
struct ImageBlock {
  int flags = 0;  // IMAGE_FIT_FRAME, IMAGE_BUTTON
  int pictureDpi = 96;
  bool copyBlends = false;              // the copy is premultiplied and drawn with alpha blending
  int shownWidth = 0, shownHeight = 0;  // the picture's size on screen, in pixels
  bool dragging = false;
  LPARAM dragStart = 0;
};

ImageBlock* BlockOf(GadgetRecord& gadget) { return reinterpret_cast<ImageBlock*>(gadget.data[3]); }

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
// pixels show the parent's background; at once, or with the next paint when `now` is false.
void RedrawParentArea(HWND control, bool now = true) {
  HWND parent = GetParent(control);
  if (!parent) return;
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  GadgetRedraw(parent, &rect,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | (now ? RDW_UPDATENOW : 0));
}

void DropCopy(GadgetRecord& gadget) {
  if (gadget.data[1]) DeleteObject(reinterpret_cast<HGDIOBJ>(gadget.data[1]));
  gadget.data[1] = 0;
}

// The picture's size on screen: its own scaled from its DPI to the gadget's; in a frame,
// reduced to fit the gadget's client area where larger, keeping the aspect ratio.
void ChooseShownSize(GadgetRecord& gadget, ImageBlock& block, int width, int height) {
  int shownWidth = MulDiv(width, gadget.dpi, block.pictureDpi);
  int shownHeight = MulDiv(height, gadget.dpi, block.pictureDpi);
  RECT frame;
  if ((block.flags & IMAGE_FIT_FRAME) && GetClientRect(gadget.handle, &frame) &&
      (shownWidth > frame.right || shownHeight > frame.bottom) && frame.right > 0 &&
      frame.bottom > 0) {
    // The side that overflows most sets the scale; the other follows it, rounded.
    if (static_cast<long long>(shownWidth) * frame.bottom >=
        static_cast<long long>(shownHeight) * frame.right) {
      shownHeight = MulDiv(shownHeight, frame.right, shownWidth);
      shownWidth = frame.right;
    } else {
      shownWidth = MulDiv(shownWidth, frame.bottom, shownHeight);
      shownHeight = frame.bottom;
    }
    if (shownWidth < 1) shownWidth = 1;
    if (shownHeight < 1) shownHeight = 1;
  }
  block.shownWidth = shownWidth;
  block.shownHeight = shownHeight;
}

// Makes the copy drawn in the picture's place: premultiplied for a picture with alpha,
// resampled to the shown size where that is not the picture's own. Icons are scaled as
// they are drawn.
void MakeCopy(GadgetRecord& gadget, ImageBlock& block, int width, int height) {
  DropCopy(gadget);
  block.copyBlends = false;
  HBITMAP bitmap = PictureBitmap(gadget);
  if (!bitmap) return;
  HBITMAP premultiplied = ImageNeedsAlpha(bitmap) ? ImagePremultipliedCopy(bitmap) : nullptr;
  HBITMAP source = premultiplied ? premultiplied : bitmap;
  HBITMAP copy = premultiplied;
  if (block.shownWidth != width || block.shownHeight != height) {
    copy = ImageScaledCopy(source, block.shownWidth, block.shownHeight);
    if (premultiplied) DeleteObject(premultiplied);
  }
  gadget.data[1] = reinterpret_cast<intptr_t>(copy);
  block.copyBlends = copy && premultiplied;
}

// Shows the picture the record holds at the gadget's DPI: the copy, and the gadget's size
// (a framed gadget keeps its own).
void ShowPicture(GadgetRecord& gadget) {
  ImageBlock* block = BlockOf(gadget);
  HWND control = gadget.handle;
  HANDLE picture = reinterpret_cast<HANDLE>(gadget.data[0]);
  int width = 0, height = 0;
  if (!picture || !PictureSize(picture, &width, &height)) {
    DropCopy(gadget);
    block->shownWidth = block->shownHeight = 0;
    RedrawParentArea(control);
    return;
  }
  ChooseShownSize(gadget, *block, width, height);
  MakeCopy(gadget, *block, width, height);
  if (!(block->flags & IMAGE_FIT_FRAME)) {
    int outerWidth = block->shownWidth, outerHeight = block->shownHeight;
    if (GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) {
      outerWidth += 4;
      outerHeight += 4;
    }
    SetWindowPos(control, nullptr, 0, 0, outerWidth, outerHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // What shows through (alpha, the frame around a smaller picture) comes from the parent.
  bool opaqueWhole =
      !block->copyBlends && PictureBitmap(gadget) && !(block->flags & IMAGE_FIT_FRAME);
  if (opaqueWhole)
    GadgetRedraw(control, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  else
    RedrawParentArea(control);
}

void SetPicture(GadgetRecord& gadget, intptr_t picture, int pictureDpi) {
  gadget.data[0] = picture;
  BlockOf(gadget)->pictureDpi = pictureDpi > 0 ? pictureDpi : 96;
  ShowPicture(gadget);
}

void ImageSetState(GadgetRecord& gadget, intptr_t value) { SetPicture(gadget, value, 96); }

intptr_t ImageGetState(GadgetRecord& gadget) { return gadget.data[0]; }

void ImageRelease(GadgetRecord& gadget) {
  DropCopy(gadget);
  delete BlockOf(gadget);
  gadget.data[3] = 0;
}

void ImageFollowDpi(GadgetRecord& gadget, int) { ShowPicture(gadget); }

void PaintPicture(GadgetRecord& gadget, HWND control, HDC dc) {
  ImageBlock* block = BlockOf(gadget);
  HANDLE picture = reinterpret_cast<HANDLE>(gadget.data[0]);
  if (picture) {
    HBITMAP copy = reinterpret_cast<HBITMAP>(gadget.data[1]);
    if (copy && block->copyBlends) {
      ImageAlphaDraw(dc, 0, 0, 0, 0, copy, 255);
    } else if (GetObjectType(picture) == OBJ_BITMAP) {
      UINT type = DST_BITMAP;
      DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(copy ? copy : picture), 0, 0, 0, 0,
                 0, type);
    } else {
      DrawIconEx(dc, 0, 0, static_cast<HICON>(picture), block->shownWidth, block->shownHeight, 0,
                 nullptr, DI_NORMAL);
    }
  }
  if ((block->flags & IMAGE_BUTTON) && GetFocus() == control) {
    RECT client;
    GetClientRect(control, &client);
    DrawFocusMark(dc, client, gadget.dpi);
  }
}

LRESULT ImageMessage(GadgetRecord&, HWND, UINT message, WPARAM wParam, LPARAM) {
  // The static's click notification is the left click; its other notifications (double
  // click, enable, disable) would otherwise arrive as events with unrelated type numbers.
  if (message == WM_COMMAND) return HIWORD(wParam) == STN_CLICKED ? NOT_HANDLED : 0;
  return NOT_HANDLED;
}

LRESULT ImageControl(GadgetRecord& gadget, HWND control, UINT message, WPARAM wParam,
                     LPARAM lParam) {
  ImageBlock* block = BlockOf(gadget);
  if (!block) return NOT_HANDLED;
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(control, &paint);
      if (dc) PaintPicture(gadget, control, dc);
      EndPaint(control, &paint);
      return 0;
    }
    case WM_PRINT:
    case WM_PRINTCLIENT:
      PaintPicture(gadget, control, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the parent's background shows through
    case WM_MOVE:
      RedrawParentArea(control);
      return NOT_HANDLED;
    case WM_SIZE:
      // A framed picture is fitted to the new size (the sized kind is sized by its picture).
      if (block->flags & IMAGE_FIT_FRAME) ShowPicture(gadget);
      return NOT_HANDLED;
    case WM_ENABLE:
      RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      return NOT_HANDLED;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      // The mark lies over the picture: the picture is drawn anew beneath it. While the
      // focus leaves, the control still has it: painted afterwards.
      if (block->flags & IMAGE_BUTTON) RedrawParentArea(control, message == WM_SETFOCUS);
      return NOT_HANDLED;
    case WM_KEYDOWN:
      if (!(block->flags & IMAGE_BUTTON) || !IsActivationKey(message, wParam, lParam)) break;
      GadgetPostEvent(control, TYPE_LEFT_CLICK);
      return 0;
    case STM_GETIMAGE:
      return gadget.data[0];
    case WM_LBUTTONDOWN:
      block->dragging = true;
      block->dragStart = lParam;
      SetCapture(control);
      return NOT_HANDLED;
    case WM_MOUSEMOVE:
      if (block->dragging) {
        int startX = static_cast<short>(LOWORD(block->dragStart));
        int startY = static_cast<short>(HIWORD(block->dragStart));
        int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
        int dx = GetSystemMetrics(SM_CXDRAG), dy = GetSystemMetrics(SM_CYDRAG);
        if (x < startX - dx || x > startX + dx || y < startY - dy || y > startY + dy) {
          block->dragging = false;
          ReleaseCapture();
          GadgetPostEvent(control, TYPE_DRAG_START);
        }
      }
      return NOT_HANDLED;
    case WM_LBUTTONUP:
      if (block->dragging) {
        block->dragging = false;
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
                                      .setState = ImageSetState,
                                      .followDpi = ImageFollowDpi};

intptr_t ImageGadgetCreate(ObjectNumber number, int x, int y, int width, int height,
                           intptr_t picture, int extendedStyle) {
  const int ownFlags = IMAGE_FIT_FRAME | IMAGE_BUTTON;
  DWORD style = 0x50000100 | ((extendedStyle & IMAGE_BUTTON) ? WS_TABSTOP : 0);
  HWND control = GadgetCreateControl(static_cast<DWORD>(extendedStyle & ~ownFlags), L"STATIC", L"",
                                     style, x, y, width, height);
  if (!control) return 0;
  ImageBlock* block = new (std::nothrow) ImageBlock();
  if (!block) {
    DestroyWindow(control);
    return 0;
  }
  block->flags = extendedStyle & ownFlags;
  intptr_t result = GadgetRegister(number, control, &IMAGE_GADGET_KIND,
                                   {0, 0, 0, reinterpret_cast<intptr_t>(block)});
  if (!result) {
    delete block;
    return 0;
  }
  GadgetRecord* gadget = GadgetOfControl(control);
  if (gadget) SetPicture(*gadget, picture, 96);
  return result;
}

void ImageGadgetSetPicture(ObjectNumber number, intptr_t picture, int pictureDpi) {
  GadgetRecord* gadget = GadgetLookup(number);
  if (gadget && gadget->kind == &IMAGE_GADGET_KIND) SetPicture(*gadget, picture, pictureDpi);
}
