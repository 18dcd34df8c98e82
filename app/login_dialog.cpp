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

// An edit field created with a long text can come up empty (Wine drops a creation text of
// 100,000 bytes), and the button would then store the empty field: the text is set after
// creation, with the field's limit of 30,000 typed characters lifted too.
void StringFieldCreate(ObjectNumber number, int y, const String& text, int flags = 0) {
  StringGadgetCreate(number, 60, y, 220, 20, "", flags);
  SendMessageW(GadgetHandle(number), EM_SETLIMITTEXT, 0, 0);
  GadgetSetText(number, text);
}

// Puts the keyboard focus into the field, its text selected, so that typing replaces it.
void FocusField(ObjectNumber number) {
  HWND field = GadgetHandle(number);
  SetFocus(field);
  SendMessageW(field, EM_SETSEL, 0, -1);
}

// Takes the field's text into `value`. A character Windows-1251 lacks would reach the site
// and the file as "?", and an empty field cannot log in: the field is refused instead,
// with a word naming the character or the field; false then, the field focused.
bool TakeField(ObjectNumber number, const char* name, String& value) {
  char32_t lacking = 0;
  String text = GadgetGetText(number, &lacking);
  if (lacking) {
    AskUser(TEXT_MAIN_TITLE,
            WideFromText(TEXT_FIELD_LACKS_BEFORE) + WideFromText(name) +
                WideFromText(TEXT_FIELD_LACKS_CHARACTER) + WideFromCodePoint(lacking) +
                WideFromText(TEXT_FIELD_LACKS_AFTER),
            MB_OK | MB_ICONWARNING);
  } else if (text.empty()) {
    AskUser(TEXT_MAIN_TITLE, String(TEXT_FIELD_EMPTY_BEFORE) + name + TEXT_FIELD_EMPTY_AFTER,
            MB_OK | MB_ICONWARNING);
  } else {
    value = text;
    return true;
  }
  FocusField(number);
  return false;
}

// The window is no dialog box of the system, so Enter and Esc in its fields reach the loop
// only as the key-down messages it dispatched. The character message the key also made
// would make the field beep on Windows: it is taken off the queue.
int PressedKey(int event, HWND dialog) {
  if (event != WM_KEYDOWN || GetActiveWindow() != dialog) return 0;
  int key = static_cast<int>(EventWParam());
  if (key != VK_RETURN && key != VK_ESCAPE) return 0;
  MSG typed;
  if (PeekMessageW(&typed, nullptr, WM_CHAR, WM_CHAR, PM_NOREMOVE) &&
      typed.wParam == (key == VK_RETURN ? L'\r' : 0x1B))
    PeekMessageW(&typed, typed.hwnd, WM_CHAR, WM_CHAR, PM_REMOVE);
  return key;
}

}  // namespace

void ShowNotice(const PathMessage& message) {
  if (message.empty()) return;
  // In UTF-16, so that a file's path appears as its folders are really named.
  AskUser(TEXT_MAIN_TITLE,
          WideFromText(message.before) + WideFromPath(message.path) + WideFromText(message.after),
          MB_OK | MB_ICONWARNING);
}

bool RunLoginDialog(const PathMessage& notice, String& mail, String& pass, LoginDialogPlace place) {
  String title = TEXT_LOGIN_TITLE;
  title += SiteDomain(SITE_BASE_ADDRESS);
  // A close box and system menu, so that Alt+F4 leaves it too. Over the main window it is
  // owned by it (and so stays above it, topmost as it is) and the main window is disabled.
  HWND owner = place == LoginDialogPlace::OVER_MAIN ? WindowHandle(WIN_MAIN) : nullptr;
  WindowOpen(WIN_LOGIN, 0, 0, 300, 110, title,
             WINDOW_TITLE_BAR | WINDOW_SYSTEM_MENU | WINDOW_CENTERED, owner);
  if (owner) EnableWindow(owner, FALSE);
  TextGadgetCreate(GADGET_LOGIN_LABEL, 10, 15, 45, 15, TEXT_LOGIN_LABEL);
  StringFieldCreate(GADGET_LOGIN_MAIL, 13, mail);
  TextGadgetCreate(GADGET_PASS_LABEL, 10, 45, 45, 15, TEXT_PASS_LABEL);
  StringFieldCreate(GADGET_LOGIN_PASS, 43, pass, STRING_PASSWORD);
  ButtonGadgetCreate(GADGET_LOGIN_OK, 110, 75, 70, 20, TEXT_LOGIN_OK);
  ShowNotice(notice);  // over the dialog, whose fields it speaks of
  FocusField(mail.empty() ? GADGET_LOGIN_MAIL : GADGET_LOGIN_PASS);

  // Typing and focus changes in the fields do not end the wait; events meant for the main
  // window (it takes no input meanwhile) are let go.
  HWND dialog = WindowHandle(WIN_LOGIN);
  String typedMail, typedPass;
  bool submitted = false;
  for (;;) {
    int event = g_app.lastEvent = EventWait();
    int key = PressedKey(event, dialog);
    if (key == VK_ESCAPE || (event == EVENT_CLOSE && EventWindowNumber() == WIN_LOGIN)) break;
    bool yes =
        key == VK_RETURN || (event == EVENT_GADGET && EventGadgetNumber() == GADGET_LOGIN_OK);
    if (yes && TakeField(GADGET_LOGIN_MAIL, TEXT_FIELD_MAIL, typedMail) &&
        TakeField(GADGET_LOGIN_PASS, TEXT_FIELD_PASS, typedPass)) {
      submitted = true;
      break;
    }
  }
  if (submitted) {
    mail = typedMail;
    pass = typedPass;
  }
  // The owner takes input again before the dialog goes, so that it becomes the active
  // window rather than another program's.
  if (owner) EnableWindow(owner, TRUE);
  WindowClose(WIN_LOGIN);
  return submitted;
}
