#include "credentials.h"

#include "prefs.h"
#include "texts.h"

namespace {

std::string FilePath() { return g_os.fullPath(CREDENTIALS_FILE); }

// Reads `key` into `value`; adds the key to `unreadable` when it has no Windows-1251 form.
void ReadValue(const char* key, String& value, String& unreadable) {
  if (PrefsReadValue(key, &value) != PREFS_NOT_CP1251) return;
  unreadable += String(TEXT_NOT_CP1251_VALUE) + key + TEXT_NOT_CP1251_REASON + "\r\n";
}

}  // namespace

PathMessage ReadCredentials() {
  String unreadable;
  if (PrefsOpen(CREDENTIALS_FILE)) {
    ReadValue("mail", g_app.loginMail, unreadable);
    ReadValue("pass", g_app.loginPass, unreadable);
    PrefsClose();
  }
  if (unreadable.empty()) return PathMessage();
  return {String(TEXT_NOT_CP1251_HEAD) + "\r\n", FilePath(), "\r\n" + unreadable + TEXT_TYPE_AGAIN};
}

bool NeedsLoginDialog() {
  return TextEquals(g_app.loginMail, "") || TextEquals(g_app.loginPass, "");
}

PathMessage StoreCredentials() {
  PrefsOpen(CREDENTIALS_FILE);  // a missing file is created at close
  PrefsWriteString("mail", g_app.loginMail);
  PrefsWriteString("pass", g_app.loginPass);
  int result = PrefsClose();
  if (result == PREFS_SAVED) return PathMessage();
  const char* reason = result == PREFS_SAVE_DIRECTORY   ? TEXT_SAVE_DIRECTORY
                       : result == PREFS_SAVE_READ_ONLY ? TEXT_SAVE_READ_ONLY
                                                        : TEXT_SAVE_FAILED;
  return {String(TEXT_SAVE_FAILED_HEAD) + "\r\n", FilePath(),
          "\r\n" + String(reason) + "\r\n\r\n" + TEXT_SAVE_FAILED_TAIL};
}
