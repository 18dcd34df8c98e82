// Hyperlink gadget: a static control that paints its own text, shows the hover colour
// while the mouse is over it (it holds the mouse capture meanwhile), always shows the
// hand cursor, and reports a click when the left button is released over it. It is a tab
// stop: focused, it shows a focus mark around itself, and Enter or Space click it.
#include <new>
#include <string>

#include "toolkit_internal.h"
#include "wide.h"

namespace {

struct HyperlinkBlock {
  HFONT font = nullptr;
  int flags = 0;
  COLORREF hoverColor = 0;
};

HCURSOR handCursor = nullptr;

// The pointing hand, loaded when a link first needs it rather than while the window is made.
HCURSOR HandCursor() {
  if (!handCursor) handCursor = StockCursor(IDC_HAND);
  if (!handCursor) handCursor = StockCursor(IDC_ARROW);
  return handCursor;
}

HyperlinkBlock* BlockOf(GadgetRecord& gadget) {
  return reinterpret_cast<HyperlinkBlock*>(gadget.data[3]);
}

LRESULT HyperlinkMessage(GadgetRecord& gadget, HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_COMMAND) return 0;  // the static's own notifications are not events
  if (message != WM_CTLCOLORSTATIC) return NOT_HANDLED;
  if (gadget.data[0] == -1 || !gadget.data[2]) return NOT_HANDLED;
  SetBkColor(reinterpret_cast<HDC>(wParam), static_cast<COLORREF>(gadget.data[0]));
  return gadget.data[2];
}

void Paint(GadgetRecord& gadget, HWND control, HDC dc, const RECT& area) {
  HyperlinkBlock* block = BlockOf(gadget);
  FillWithParentBackground(control, dc, area);

  std::wstring text = ControlText(control);
  int length = static_cast<int>(text.size());
  HGDIOBJ oldFont = block->font ? SelectObject(dc, block->font) : nullptr;
  RECT client;
  GetClientRect(control, &client);
  IntersectClipRect(dc, client.left, client.top, client.right, client.bottom);
  if (IsWindowEnabled(control)) {
    COLORREF color =
        GetCapture() == control ? block->hoverColor : static_cast<COLORREF>(gadget.data[1]);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, color);
    TextOutW(dc, 0, 0, text.c_str(), length);
    if (block->flags & HYPERLINK_UNDERLINE) {
      SIZE size = {0, 0};
      GetTextExtentPoint32W(dc, text.c_str(), length, &size);
      HPEN pen = CreatePen(PS_SOLID, 1, color);
      HGDIOBJ oldPen = SelectObject(dc, pen);
      MoveToEx(dc, 0, size.cy, nullptr);
      LineTo(dc, size.cx, size.cy);
      SelectObject(dc, oldPen);
      DeleteObject(pen);
    }
  } else {
    DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(text.c_str()),
               static_cast<WPARAM>(length), 0, 0, 0, 0, DST_TEXT | DSS_DISABLED);
  }
  if (GetFocus() == control) DrawFocusMark(dc, client, gadget.dpi);
  if (oldFont) SelectObject(dc, oldFont);
}

LRESULT HyperlinkControl(GadgetRecord& gadget, HWND control, UINT message, WPARAM wParam,
                         LPARAM lParam) {
  HyperlinkBlock* block = BlockOf(gadget);
  if (!block) return NOT_HANDLED;
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(control, &paint);
      if (dc) Paint(gadget, control, dc, paint.rcPaint);
      EndPaint(control, &paint);
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT client;
      GetClientRect(control, &client);
      Paint(gadget, control, reinterpret_cast<HDC>(wParam), client);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // painting fills the background
    case WM_NCHITTEST:
      return HTCLIENT;  // statics are transparent to the mouse otherwise
    case WM_SETCURSOR:
      SetCursor(HandCursor());
      return TRUE;
    case WM_MOUSEMOVE: {
      if (GetCapture() != control) {
        SetCapture(control);
        SetCursor(HandCursor());
        InvalidateRect(control, nullptr, TRUE);
        return 0;
      }
      RECT client;
      GetClientRect(control, &client);
      int x = static_cast<short>(LOWORD(lParam));
      int y = static_cast<short>(HIWORD(lParam));
      bool outside = x < 0 || y < 0 || x > client.right || y > client.bottom;
      if (outside || !IsWindowEnabled(GetParent(control))) ReleaseCapture();
      return 0;
    }
    case WM_CAPTURECHANGED:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(control, nullptr, TRUE);
      return 0;
    case WM_GETOBJECT:
      return AnswerAccessibleName(control, wParam, lParam);  // its "&" is an "&"
    case WM_KEYDOWN:
      if (!IsActivationKey(message, wParam, lParam)) break;
      GadgetPostEvent(control, TYPE_LEFT_CLICK);
      return 0;
    case WM_LBUTTONUP: {
      RECT client;
      GetClientRect(control, &client);
      POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      // Under the capture the release may be reported from outside; only one over the
      // link is a click.
      if (at.x >= 0 && at.y >= 0 && at.x <= client.right && at.y <= client.bottom)
        GadgetPostEvent(control, TYPE_LEFT_CLICK);
      return 0;
    }
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_COMMAND:
      return 0;
    case WM_SETTEXT: {
      LRESULT result = CallWindowProcW(gadget.previousProc, control, message, wParam, lParam);
      RedrawWindow(control, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE);
      return result;
    }
    case WM_ENABLE:
      InvalidateRect(control, nullptr, TRUE);
      return 0;
    case WM_SETFONT:
      block->font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) InvalidateRect(control, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(block->font);
  }
  return NOT_HANDLED;
}

void HyperlinkRelease(GadgetRecord& gadget) {
  GadgetReleaseBackgroundBrush(gadget);
  delete BlockOf(gadget);
  gadget.data[3] = 0;
}

}  // namespace

const GadgetKind HYPERLINK_GADGET_KIND = {.kind = KIND_HYPERLINK,
                                          .messageHandler = HyperlinkMessage,
                                          .controlProc = HyperlinkControl,
                                          .release = HyperlinkRelease,
                                          .setColor = GadgetDefaultSetColor,
                                          .getColor = GadgetDefaultGetColor};

intptr_t HyperlinkGadgetCreate(ObjectNumber number, int x, int y, int width, int height,
                               TextArg text, int32_t hoverColor, int flags) {
  // A window not yet shown paints nothing, so a link in it may be visible from the start;
  // in a shown one it appears once it paints as a link.
  bool early = !IsWindowVisible(GadgetListCurrentParent());
  HWND control =
      GadgetCreateControl(0, L"STATIC", WideFromText(text.view()),
                          WS_CHILD | WS_TABSTOP | (early ? WS_VISIBLE : 0), x, y, width, height);
  if (!control) return 0;
  HyperlinkBlock* block = new (std::nothrow) HyperlinkBlock();
  if (!block) {
    DestroyWindow(control);
    return 0;
  }
  block->flags = flags;
  block->hoverColor = static_cast<COLORREF>(hoverColor);
  // Background colour none, text colour black, no brush, the block.
  intptr_t result = GadgetRegister(number, control, &HYPERLINK_GADGET_KIND,
                                   {-1, 0, 0, reinterpret_cast<intptr_t>(block)});
  if (!result) {
    delete block;
    return 0;
  }
  if (!early) ShowWindow(control, SW_SHOWNA);
  return result;
}
