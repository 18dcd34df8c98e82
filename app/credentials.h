// The site login kept in Registration.ini (keys `mail` and `pass`, plain text, opened by
// this relative name, so it lives in the current directory).
#pragma once

#include "appstate.h"

constexpr const char* CREDENTIALS_FILE = "Registration.ini";

// Reads `mail` and `pass` into the state; both stay empty when the file cannot be opened.
void ReadCredentials(AppState& app);
// True when the login dialog must ask: either value is empty.
bool NeedsLoginDialog(const AppState& app);
// Writes g_app's loginMail and loginPass to Registration.ini.
void StoreCredentials();
