// The site login kept in Registration.ini (keys `mail` and `pass`, plain text, opened by
// this relative name, so it lives in the current directory).
#pragma once

#include "appstate.h"

constexpr const char* CREDENTIALS_FILE = "Registration.ini";

// A message for the user that names the file: Windows-1251 words around its full path,
// which is UTF-8 (os.h) and may hold characters the words cannot, so that it is shown as
// WideFromText(before) + WideFromPath(path) + WideFromText(after). Empty: nothing to say.
struct PathMessage {
  String before;
  std::string path;
  String after;
  bool empty() const { return before.empty() && path.empty() && after.empty(); }
};

// Reads `mail` and `pass` into g_app; a value that is missing, or that holds
// characters Windows-1251 lacks, stays empty, so that the login dialog asks for it.
// Returns the message for the user about such characters, or an empty one.
PathMessage ReadCredentials();
// True when the login dialog must ask: either value is empty.
bool NeedsLoginDialog();
// Writes g_app's loginMail and loginPass to Registration.ini. Returns the message for the
// user when they could not be stored (the file is then unchanged and the values serve this
// run only), or an empty one.
PathMessage StoreCredentials();
