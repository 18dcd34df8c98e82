#include "login_dialog.h"

#include <string>

#include "addresses.h"
#include "appstate.h"
#include "client_ids.h"
#include "config.h"
#include "launcher.h"
#include "texts.h"
#include "toolkit.h"
#include "wide.h"

namespace {

// Shown in UTF-16, so that the file's path appears as its folders are really named.
void ShowNotice(const PathMessage& message) {
  if (message.empty()) return;
  AskUser(TEXT_MAIN_TITLE,
          WideFromText(message.before) + WideFromPath(message.path) + WideFromText(message.after),
          MB_OK | MB_ICONWARNING);
}

// An edit field created with a long text can come up empty (Wine drops a creation text of
// 100,000 bytes), and the button would then store the empty field: the text is set after
// creation, with the field's limit of 30,000 typed characters lifted too.
void StringFieldCreate(ObjectNumber number, int y, const String& text) {
  StringGadgetCreate(number, 60, y, 220, 20, "");
  SendMessageW(GadgetHandle(number), EM_SETLIMITTEXT, 0, 0);
  GadgetSetText(number, text);
}

// Takes the field's text into `value`. A character Windows-1251 lacks would reach the site
// and the file as "?": the field is refused instead, naming the character; false then.
bool TakeField(ObjectNumber number, const char* name, String& value) {
  char32_t lacking = 0;
  String text = GadgetGetText(number, &lacking);
  if (lacking) {
    AskUser(TEXT_MAIN_TITLE,
            WideFromText(TEXT_FIELD_LACKS_BEFORE) + WideFromText(name) +
                WideFromText(TEXT_FIELD_LACKS_CHARACTER) + WideFromCodePoint(lacking) +
                WideFromText(TEXT_FIELD_LACKS_AFTER),
            MB_OK | MB_ICONWARNING);
    return false;
  }
  value = text;
  return true;
}

}  // namespace

void RunLoginDialog(const PathMessage& notice) {
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

  // Only the button ends the wait, and only with both fields acceptable; typing and focus
  // changes in the fields do not.
  String mail, pass;
  for (;;) {
    g_app.lastEvent = EventWait();
    if (g_app.lastEvent != EVENT_GADGET || EventGadgetNumber() != GADGET_LOGIN_OK) continue;
    if (TakeField(GADGET_LOGIN_MAIL, TEXT_FIELD_MAIL, mail) &&
        TakeField(GADGET_LOGIN_PASS, TEXT_FIELD_PASS, pass))
      break;
  }
  g_app.loginMail = mail;
  g_app.loginPass = pass;
  ShowNotice(StoreCredentials());
  // Nothing reads the dialog again; closing it keeps it from lingering under the main
  // window for the whole run.
  WindowClose(WIN_LOGIN);
}
