#include "login_dialog.h"

#include "addresses.h"
#include "appstate.h"
#include "client_ids.h"
#include "config.h"
#include "credentials.h"
#include "launcher.h"
#include "texts.h"
#include "toolkit.h"

namespace {

void ShowNotice(const String& text) {
  if (!text.empty()) AskUser(TEXT_MAIN_TITLE, text, MB_OK | MB_ICONWARNING);
}

// An edit field created with a long text can come up empty (Wine drops a creation text of
// 100,000 bytes), and the button would then store the empty field: the text is set after
// creation, with the field's limit of 30,000 typed characters lifted too.
void StringFieldCreate(ObjectNumber number, int y, const String& text) {
  StringGadgetCreate(number, 60, y, 220, 20, "");
  SendMessageA(GadgetHandle(number), EM_SETLIMITTEXT, 0, 0);
  GadgetSetText(number, text);
}

}  // namespace

void RunLoginDialog(const String& notice) {
  String title = TEXT_LOGIN_TITLE;
  title += SiteDomain(SITE_BASE_ADDRESS);
  // No style bit: the toolkit gives the frame a title bar only (no close box).
  WindowOpen(WIN_LOGIN, 0, 0, 300, 110, title, WINDOW_CENTERED);
  TextGadgetCreate(GADGET_LOGIN_LABEL, 10, 15, 45, 15, TEXT_LOGIN_LABEL);
  StringFieldCreate(GADGET_LOGIN_MAIL, 13, g_app.loginMail);
  TextGadgetCreate(GADGET_PASS_LABEL, 10, 45, 45, 15, TEXT_PASS_LABEL);
  StringFieldCreate(GADGET_LOGIN_PASS, 43, g_app.loginPass);
  ButtonGadgetCreate(GADGET_LOGIN_OK, 110, 75, 70, 20, TEXT_LOGIN_OK);
  ShowNotice(notice);  // over the dialog, whose fields it speaks of

  // Only the button ends the wait; typing and focus changes in the fields do not.
  for (;;) {
    g_app.lastEvent = EventWait();
    if (g_app.lastEvent == EVENT_GADGET && EventGadgetNumber() == GADGET_LOGIN_OK) break;
  }
  g_app.loginMail = GadgetGetText(GADGET_LOGIN_MAIL);
  g_app.loginPass = GadgetGetText(GADGET_LOGIN_PASS);
  ShowNotice(StoreCredentials());
  // Nothing reads the dialog again; closing it keeps it from lingering under the main
  // window for the whole run.
  WindowClose(WIN_LOGIN);
}
