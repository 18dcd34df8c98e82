#include "credentials.h"

#include "prefs.h"

void ReadCredentials(AppState& app) {
  if (PrefsOpen(CREDENTIALS_FILE)) {
    app.loginMail = PrefsReadString("mail", "");
    app.loginPass = PrefsReadString("pass", "");
    PrefsClose();
  }
}

bool NeedsLoginDialog(const AppState& app) {
  return TextEquals(app.loginMail, "") || TextEquals(app.loginPass, "");
}

void StoreCredentials() {
  PrefsOpen(CREDENTIALS_FILE);  // a missing file is created at close
  PrefsWriteString("mail", g_app.loginMail);
  PrefsWriteString("pass", g_app.loginPass);
  PrefsClose();
}
