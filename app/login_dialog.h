// The small window that asks for the site login: at the first start, before the main window,
// and over the main window when the site has refused a login.
#pragma once

#include "credentials.h"

enum class LoginDialogPlace {
  FIRST_START,  // alone on the screen, before the main window exists
  OVER_MAIN,    // owned by the main window, which takes no input while it shows
};

// Shows window 0 with `mail` and `pass` and, over it, `notice` when it is not empty. The
// mail field has the focus, or the password field (masked) when the mail is known. Yes or
// Enter with both fields filled and every character in Windows-1251 closes it with the
// typed values in `mail` and `pass`: true. An empty field or a character Windows-1251 lacks
// is refused with a word over the dialog, which then waits again. Esc, Alt+F4 or the close
// box close it leaving `mail` and `pass` as they were: false. Nothing is stored here.
bool RunLoginDialog(const PathMessage& notice, String& mail, String& pass, LoginDialogPlace place);

// Shows a message for the user (a warning box) unless it is empty.
void ShowNotice(const PathMessage& message);
