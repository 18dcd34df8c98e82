// The site session: the login through the hidden web view (gadget 101), whether the site
// took it, and a new login when the site has forgotten the session.
#pragma once

#include "text.h"

// Logs in with g_app's values at start: opens the login address in view 101 and follows
// the outcome on a timer of the main window while the main loop runs. `unstored`: the
// values were typed at this start and go into Registration.ini once the site takes them.
// A refused login is told and the login dialog comes back over the main window; a site
// that cannot be reached changes nothing (a search then says so).
void StartLogin(bool unstored);
// The login timer's turn (TIMER_LOGIN_CHECK of the main window).
void LoginTimerTick();

// Whether the downloaded page `file` is the site's log-in page (FileIsLoginPage).
bool IsLoginPage(const String& file);
// For a page that came back as the site's log-in page: logs in again with g_app's values,
// silently (or waits for the login under way). When the site refuses them, the user is told
// and asked with the login dialog over the main window until the site takes a login or the
// user leaves the dialog. True when the site has taken a login, so that the page is worth
// asking for once more; false with the reason in `failure` (Russian, to follow a colon).
bool RenewSession(String* failure);
// For the `attempt`-th answer to one request that came back as the log-in page: the first
// time the session is renewed (RenewSession); empty when the request is worth making once
// more, else why the page cannot be had (Russian, to follow a colon).
String AfterLoginPage(int attempt);
