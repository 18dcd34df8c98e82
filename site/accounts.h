// Site accounts and login sessions.
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "request.h"

namespace site {

// Accounts from a users file: one account per line, the e-mail, one blank, and the
// password (everything after that blank, so it may hold blanks and '&'). Empty lines and
// lines starting with '#' are skipped; a trailing CR is dropped. A file in UTF-8 is taken
// as Windows-1251, the code page in which the program sends what the user typed.
class Accounts {
 public:
  // Parses the text of a users file; returns the number of accounts read.
  int Load(std::string_view text);
  // Reads a users file; false when it cannot be read.
  bool LoadFile(const std::string& path);
  void Add(std::string email, std::string password);
  size_t size() const { return passwords_.size(); }

  // Checks a login query's fields. The program sends them unescaped and the download
  // service escapes only blanks, while a browser form escapes everything and sends blanks
  // as '+': any of these readings of the bytes may match.
  bool Check(const LoginFields& fields) const;

 private:
  std::map<std::string, std::string> passwords_;  // e-mail in lower case -> password
};

// Session cookies handed out at login. Thread-safe.
class Sessions {
 public:
  using Clock = std::chrono::system_clock;
  static constexpr const char* kCookieName = "zqsid";
  static constexpr std::chrono::hours kLifetime{24 * 30};

  // How long the site knows a session (from its login); the cookie itself keeps its 30
  // days, as a client holding an expired session's cookie is what this is for.
  void SetLifetime(std::chrono::seconds lifetime) { lifetime_ = lifetime; }

  // A new session for an e-mail; returns its token (32 hex digits).
  std::string Open(const std::string& email);
  // The e-mail of a live session, or empty.
  std::string Lookup(std::string_view token) const;
  void Close(std::string_view token);
  // Forgets every session; returns how many were live.
  size_t ForgetAll();

  // The Set-Cookie value for a token: for the whole zq.test domain, with an expiry date.
  static std::string CookieHeader(const std::string& token, Clock::time_point now);
  static std::string ClearingCookieHeader();
  // The session token in a Cookie header value, or empty.
  static std::string TokenFromCookies(std::string_view cookie_header);

 private:
  struct Session {
    std::string email;
    Clock::time_point expires;
  };
  mutable std::mutex mutex_;
  std::unordered_map<std::string, Session> sessions_;
  Clock::duration lifetime_ = kLifetime;
};

// "Wed, 09 Jun 2021 10:18:14 GMT"
std::string HttpDate(std::chrono::system_clock::time_point t);

}  // namespace site
