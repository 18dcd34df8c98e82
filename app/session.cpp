// How the program knows whether the site took a login.
//
// The login is the web view's navigation to the login address. The site answers values it
// takes with a redirect that sets a new session cookie, and values it refuses with its
// log-in page and no cookie. The browser keeps its cookies in the process's WinINet store,
// where InternetGetCookieExW reads them (the session cookie is HttpOnly, hence
// INTERNET_COOKIE_HTTPONLY). Measured under Wine: the new cookie shows there no later than
// the navigation ends (with a navigation error, there being no HTML engine), 35-80 ms after
// it starts; a refused login ends the same way, without a cookie, and the store keeps the
// cookies of earlier runs.
//
// So a login counts as taken when the site's cookies changed (a new session) and the site's
// home page, asked for right afterwards with those cookies, is not its log-in page: the site
// shows its log-in form to every visitor without a live session and never to a member, and
// a site may set cookies for guests too, so a cookie alone could mistake a refusal. Without
// a new cookie the login counts as refused when the home page comes (a session of an earlier
// run that the site still knows says nothing of these values), and the site as out of reach
// when it does not: no refusal then. A new cookie with no home page counts as taken. The
// check runs once the cookie changed or the navigation ended, or after a bounded wait, from a
// timer of the main window or while a page waits for it: the window's thread never blocks.
#include "session.h"

#include <windows.h>

#include <string>

#include "appstate.h"
#include "client_ids.h"
#include "config.h"
#include "credentials.h"
#include "gadget_items.h"
#include "http_exchange.h"
#include "login_dialog.h"
#include "main_window.h"
#include "scrape.h"
#include "seqfile.h"
#include "temp_files.h"
#include "texts.h"
#include "toolkit.h"
#include "transfer.h"
#include "webview.h"
#include "wide.h"

namespace {

constexpr int LOGIN_POLL_MS = 100;
// The longest the login's navigation is waited for before the site is asked all the same.
constexpr DWORD LOGIN_NAVIGATION_MS = VS_TRANSFER_IDLE_SECONDS * 1000;
// The home page asked for after a login; deleted once read.
constexpr const char* TEMP_LOGIN_CHECK = "login.htm";

enum class Outcome { PENDING, ACCEPTED, REFUSED, UNREACHABLE, ABANDONED };

struct Login {
  bool running = false;
  String mail, pass;
  std::wstring cookiesBefore;
  intptr_t navigationsBefore = 0;
  DWORD startedAt = 0;
  TransferResult homePage;  // why the home page could not be had, for the user
};

Login login;
bool unstoredValues = false;  // g_app's login is not in Registration.ini yet

// The cookies the site's pages are asked for with ("name=value; ..."); empty when none.
std::wstring SiteCookies() { return StoredCookies(WideFromText(SITE_BASE_ADDRESS)); }

intptr_t NavigationsEnded() {
  return GadgetGetAttribute(GADGET_SESSION_WEB, WEB_ATTRIBUTE_NAVIGATIONS_ENDED);
}

void BeginLogin(const String& mail, const String& pass) {
  login.running = true;
  login.mail = mail;
  login.pass = pass;
  login.cookiesBefore = SiteCookies();
  login.navigationsBefore = NavigationsEnded();
  login.startedAt = GetTickCount();
  StartLoginNavigation(mail, pass);
}

enum class HomePage { MEMBERS, LOGIN_PAGE, UNAVAILABLE };

HomePage AskForHomePage() {
  String file = TempFile(TEMP_LOGIN_CHECK);
  login.homePage = TransferFile(SITE_BASE_ADDRESS, file, PageLimits(VIDEO_PAGE_MAX_BYTES));
  HomePage page = !login.homePage.Ok() ? HomePage::UNAVAILABLE
                  : IsLoginPage(file)  ? HomePage::LOGIN_PAGE
                                       : HomePage::MEMBERS;
  FileDelete(file);
  return page;
}

// PENDING while the login's navigation runs; then the outcome, and the login is over.
Outcome PollLogin() {
  if (!login.running) return Outcome::ABANDONED;
  bool cookieChanged = SiteCookies() != login.cookiesBefore;
  bool navigationEnded = NavigationsEnded() != login.navigationsBefore;
  if (!cookieChanged && !navigationEnded && GetTickCount() - login.startedAt < LOGIN_NAVIGATION_MS)
    return Outcome::PENDING;
  login.running = false;
  HomePage home = AskForHomePage();
  std::wstring cookies = SiteCookies();
  bool newSession = !cookies.empty() && cookies != login.cookiesBefore;
  if (home == HomePage::LOGIN_PAGE) return Outcome::REFUSED;
  if (newSession) return Outcome::ACCEPTED;
  return home == HomePage::UNAVAILABLE ? Outcome::UNREACHABLE : Outcome::REFUSED;
}

// Waits for the outcome of the login under way, the window answering meanwhile. A close
// request ends the wait (the main loop then takes it).
Outcome WaitForLogin() {
  for (;;) {
    Outcome outcome = PollLogin();
    if (outcome != Outcome::PENDING) return outcome;
    if (EventPumpUntil(nullptr, LOGIN_POLL_MS) == PUMP_CLOSE_REQUESTED) {
      login.running = false;
      return Outcome::ABANDONED;
    }
  }
}

// The site took `mail` and `pass`: they become the login in use, and Registration.ini gets
// them when it does not hold them yet.
void Adopt(String mail, String pass) {
  bool changed = mail != g_app.loginMail || pass != g_app.loginPass;
  g_app.loginMail = mail;
  g_app.loginPass = pass;
  if (!changed && !unstoredValues) return;
  unstoredValues = false;
  ShowNotice(StoreCredentials());
}

// Tells the user that the site refused `mail` and `pass` and shows them in the login dialog
// over the main window, until the site takes what is typed (true) or the user leaves the
// dialog (false, the login in use as it was). Values the site could not be asked about are
// kept for this run, unstored, to be tried when a page needs a login.
bool AskUntilAccepted(String mail, String pass, String* failure) {
  const PathMessage refused{TEXT_LOGIN_REFUSED, std::string(), String()};
  for (;;) {
    if (!RunLoginDialog(refused, mail, pass, LoginDialogPlace::OVER_MAIN)) {
      if (failure) *failure = TEXT_FAIL_LOGIN_REFUSED;
      return false;
    }
    BeginLogin(mail, pass);
    switch (WaitForLogin()) {
      case Outcome::ACCEPTED:
        Adopt(mail, pass);
        return true;
      case Outcome::UNREACHABLE:
        g_app.loginMail = mail;
        g_app.loginPass = pass;
        unstoredValues = true;
        if (failure) *failure = TransferFailureText(login.homePage);
        return false;
      case Outcome::ABANDONED:
        if (failure) *failure = TEXT_FAIL_LOGIN_REFUSED;
        return false;
      default:
        break;  // refused again: the dialog comes back
    }
  }
}

}  // namespace

void StartLogin(bool unstored) {
  unstoredValues = unstored;
  BeginLogin(g_app.loginMail, g_app.loginPass);
  WindowAddTimer(WIN_MAIN, TIMER_LOGIN_CHECK, LOGIN_POLL_MS);
}

void LoginTimerTick() {
  // A page that needed the session may have waited for this login and taken its outcome.
  Outcome outcome = PollLogin();
  if (outcome == Outcome::PENDING) return;
  WindowRemoveTimer(WIN_MAIN, TIMER_LOGIN_CHECK);
  if (outcome == Outcome::ACCEPTED) Adopt(login.mail, login.pass);
  if (outcome == Outcome::REFUSED) AskUntilAccepted(login.mail, login.pass, nullptr);
}

bool IsLoginPage(const String& file) {
  ScopedFile page;
  return page.OpenRead(ANY_NUMBER, file) && FileIsLoginPage(page.Number(), SITE_LOGIN_ENDPOINT);
}

String AfterLoginPage(int attempt) {
  if (attempt > 1) return TEXT_FAIL_LOGIN_PAGE;
  String failure;
  if (!RenewSession(&failure) && failure.empty()) failure = TEXT_FAIL_LOGIN_REFUSED;
  return failure;
}

bool RenewSession(String* failure) {
  if (!login.running) BeginLogin(g_app.loginMail, g_app.loginPass);
  switch (WaitForLogin()) {
    case Outcome::ACCEPTED:
      Adopt(login.mail, login.pass);
      return true;
    case Outcome::REFUSED:
      return AskUntilAccepted(login.mail, login.pass, failure);
    case Outcome::UNREACHABLE:
      *failure = TransferFailureText(login.homePage);
      return false;
    default:
      *failure = TEXT_FAIL_LOGIN_REFUSED;
      return false;
  }
}
