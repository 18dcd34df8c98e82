// Text label gadget: a static control whose text and background colours the toolkit
// supplies through WM_CTLCOLORSTATIC.
#include "toolkit_internal.h"

namespace {

LRESULT TextMessage(GadgetRecord& gadget, HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_CTLCOLORSTATIC) return NOT_HANDLED;
  HDC dc = reinterpret_cast<HDC>(wParam);
  int32_t back = static_cast<int32_t>(gadget.data[0]);
  int32_t front = static_cast<int32_t>(gadget.data[1]);
  if (front != -1) SetTextColor(dc, static_cast<COLORREF>(front));
  if (back != -1 && gadget.data[2]) {
    SetBkColor(dc, static_cast<COLORREF>(back));
    return gadget.data[2];
  }
  if (front != -1) {
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  }
  return NOT_HANDLED;
}

}  // namespace

const GadgetKind TEXT_GADGET_KIND = [] {
  GadgetKind kind{};
  kind.kind = KIND_TEXT;
  kind.size = GADGET_KIND_SIZE;
  kind.messageHandler = TextMessage;
  kind.release = GadgetReleaseBackgroundBrush;
  kind.setColor = GadgetDefaultSetColor;
  kind.getColor = GadgetDefaultGetColor;
  return kind;
}();

intptr_t TextGadgetCreate(ObjectNumber number, int x, int y, int width, int height, TextArg text,
                          int flags) {
  DWORD extended = (flags & TEXT_BORDER) ? WS_EX_CLIENTEDGE : 0;
  HWND control = GadgetCreateControl(extended, "Static", text,
                                     static_cast<DWORD>(flags) | 0x50020000, x, y, width, height);
  if (!control) return 0;
  return GadgetRegister(number, control, &TEXT_GADGET_KIND, {-1, -1, 0, 0});
}
