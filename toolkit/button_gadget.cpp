// Push button gadget. Its click arrives as the button's own notification (type 0); the
// state is the check mark of check-box styles.
#include "toolkit_internal.h"
#include "wide.h"

namespace {

intptr_t ButtonGetState(GadgetRecord& gadget) {
  return SendMessageW(gadget.handle, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void ButtonSetState(GadgetRecord& gadget, intptr_t value) {
  SendMessageW(gadget.handle, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace

const GadgetKind BUTTON_GADGET_KIND = {
    .kind = KIND_BUTTON, .getState = ButtonGetState, .setState = ButtonSetState};

intptr_t ButtonGadgetCreate(ObjectNumber number, int x, int y, int width, int height, TextArg text,
                            int flags) {
  HWND control = GadgetCreateControl(0, L"Button", WideFromText(text.view()),
                                     static_cast<DWORD>(flags) | 0x50030000, x, y, width, height);
  if (!control) return 0;
  return GadgetRegister(number, control, &BUTTON_GADGET_KIND);
}
