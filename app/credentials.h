// The site login kept in Registration.ini (keys `mail` and `pass`, plain text, opened by
// this relative name, so it lives in the current directory).
#pragma once

#include "appstate.h"

constexpr const char* CREDENTIALS_FILE = "Registration.ini";

// Reads `mail` and `pass` into g_app; a value that is missing, or that holds
// characters Windows-1251 lacks, stays empty, so that the login dialog asks for it.
// Returns the message for the user about such characters (naming the file's full path),
// or "" when there is nothing to say.
String ReadCredentials();
// True when the login dialog must ask: either value is empty.
bool NeedsLoginDialog();
// Writes g_app's loginMail and loginPass to Registration.ini. Returns the message for the
// user when they could not be stored (the file is then unchanged and the values serve this
// run only), or "".
String StoreCredentials();
