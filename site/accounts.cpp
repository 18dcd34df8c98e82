#include "accounts.h"

#include <cctype>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>

#include "cp1251.h"

namespace site {
namespace {

std::string LowerAscii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string RandomToken() {
  static std::mutex mutex;
  static std::mt19937_64 rng{std::random_device{}()};
  std::lock_guard<std::mutex> lock(mutex);
  static const char kHex[] = "0123456789abcdef";
  std::string token;
  for (int i = 0; i < 2; ++i) {
    uint64_t r = rng();
    for (int k = 0; k < 16; ++k) token += kHex[(r >> (4 * k)) & 15];
  }
  return token;
}

}  // namespace

int Accounts::Load(std::string_view text) {
  int count = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) nl = text.size();
    std::string_view line = text.substr(pos, nl - pos);
    pos = nl + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    size_t blank = line.find(' ');
    if (blank == std::string_view::npos || blank == 0) continue;
    std::string email(line.substr(0, blank));
    std::string pass(line.substr(blank + 1));
    if (IsMultibyteUtf8(email)) email = Utf8ToCp1251(email);
    if (IsMultibyteUtf8(pass)) pass = Utf8ToCp1251(pass);
    Add(std::move(email), std::move(pass));
    ++count;
  }
  return count;
}

bool Accounts::LoadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream text;
  text << in.rdbuf();
  Load(text.str());
  return true;
}

void Accounts::Add(std::string email, std::string password) {
  passwords_[LowerAscii(std::move(email))] = std::move(password);
}

bool Accounts::Check(const LoginFields& f) const {
  if (!f.present) return false;
  for (const std::string* email : {&f.email_raw, &f.email}) {
    auto it = passwords_.find(LowerAscii(*email));
    if (it == passwords_.end()) continue;
    const std::string& want = it->second;
    if (want == f.pass_raw || want == f.pass || want == PercentDecode(f.pass_raw, true)) {
      return true;
    }
  }
  return false;
}

std::string Sessions::Open(const std::string& email) {
  std::string token = RandomToken();
  std::lock_guard<std::mutex> lock(mutex_);
  // Forget expired sessions now and then so that a long run does not pile them up.
  if (sessions_.size() > 4096) {
    auto now = Clock::now();
    for (auto it = sessions_.begin(); it != sessions_.end();) {
      it = it->second.expires < now ? sessions_.erase(it) : std::next(it);
    }
  }
  sessions_[token] = Session{email, Clock::now() + lifetime_};
  return token;
}

std::string Sessions::Lookup(std::string_view token) const {
  if (token.empty()) return "";
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = sessions_.find(std::string(token));
  if (it == sessions_.end() || it->second.expires < Clock::now()) return "";
  return it->second.email;
}

void Sessions::Close(std::string_view token) {
  std::lock_guard<std::mutex> lock(mutex_);
  sessions_.erase(std::string(token));
}

size_t Sessions::ForgetAll() {
  std::lock_guard<std::mutex> lock(mutex_);
  auto now = Clock::now();
  size_t live = 0;
  for (const auto& [token, session] : sessions_) live += session.expires >= now;
  sessions_.clear();
  return live;
}

std::string Sessions::CookieHeader(const std::string& token, Clock::time_point now) {
  // Expires rather than Max-Age, which older browser engines ignore; the leading dot of
  // the domain is for them too.
  return std::string(kCookieName) + "=" + token + "; expires=" + HttpDate(now + kLifetime) +
         "; path=/; domain=.zq.test; HttpOnly";
}

std::string Sessions::ClearingCookieHeader() {
  return std::string(kCookieName) +
         "=; expires=Thu, 01 Jan 1970 00:00:00 GMT; path=/; domain=.zq.test; HttpOnly";
}

std::string Sessions::TokenFromCookies(std::string_view header) {
  std::string key = std::string(kCookieName) + "=";
  size_t pos = 0;
  while (pos < header.size()) {
    while (pos < header.size() && (header[pos] == ' ' || header[pos] == ';')) ++pos;
    size_t end = header.find(';', pos);
    if (end == std::string_view::npos) end = header.size();
    std::string_view pair = header.substr(pos, end - pos);
    if (pair.compare(0, key.size(), key) == 0) {
      std::string_view value = pair.substr(key.size());
      while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
      return std::string(value);
    }
    pos = end + 1;
  }
  return "";
}

std::string HttpDate(std::chrono::system_clock::time_point t) {
  std::time_t tt = std::chrono::system_clock::to_time_t(t);
  std::tm tm{};
  gmtime_r(&tt, &tm);
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char buf[40];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[tm.tm_wday],
                tm.tm_mday, kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                tm.tm_sec);
  return buf;
}

}  // namespace site
