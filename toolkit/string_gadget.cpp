// String gadget: a single-line edit field. Colours as for text labels (default background
// the button highlight colour); it reports gaining and losing the keyboard focus.
#include "toolkit_internal.h"
#include "wide.h"

namespace {

LRESULT StringMessage(GadgetRecord& gadget, HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_CTLCOLOREDIT && message != WM_CTLCOLORSTATIC) return NOT_HANDLED;
  // A read-only field asks with WM_CTLCOLORSTATIC; a disabled one keeps the system look.
  if (message == WM_CTLCOLORSTATIC && !IsWindowEnabled(gadget.handle)) return NOT_HANDLED;
  return GadgetColorAnswer(gadget, reinterpret_cast<HDC>(wParam), COLOR_BTNHIGHLIGHT);
}

LRESULT StringControl(GadgetRecord&, HWND control, UINT message, WPARAM, LPARAM) {
  if (message == WM_SETFOCUS) GadgetPostEvent(control, TYPE_FOCUS);
  if (message == WM_KILLFOCUS) GadgetPostEvent(control, TYPE_LOST_FOCUS);
  return NOT_HANDLED;
}

}  // namespace

const GadgetKind STRING_GADGET_KIND = {.kind = KIND_STRING,
                                       .messageHandler = StringMessage,
                                       .controlProc = StringControl,
                                       .release = GadgetReleaseBackgroundBrush,
                                       .setColor = GadgetDefaultSetColor,
                                       .getColor = GadgetDefaultGetColor};

intptr_t StringGadgetCreate(ObjectNumber number, int x, int y, int width, int height, TextArg text,
                            int flags) {
  DWORD extended = (flags & STRING_BORDERLESS) ? 0 : WS_EX_CLIENTEDGE;
  HWND control = GadgetCreateControl(extended, L"Edit", WideFromText(text.view()),
                                     static_cast<DWORD>(flags) | 0x50030080, x, y, width, height);
  if (!control) return 0;
  return GadgetRegister(number, control, &STRING_GADGET_KIND, {-1, -1, 0, 0});
}
