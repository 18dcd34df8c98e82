// The two scraping routines against straightforward reference definitions (the code page
// of numeric references from the stand-in site's own table).
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cp1251.h"
#include "scrape.h"

namespace {

// Splits the input at the first two 0x01 bytes into text, start marker and end marker.
void Split(const std::string& in, std::string& a, std::string& b, std::string& c) {
  size_t p = in.find('\x01');
  a = in.substr(0, p);
  if (p == std::string::npos) return;
  size_t q = in.find('\x01', p + 1);
  b = in.substr(p + 1, q == std::string::npos ? std::string::npos : q - p - 1);
  if (q != std::string::npos) c = in.substr(q + 1);
}

std::string ReferenceBetween(const std::string& t, const std::string& s, const std::string& e) {
  if (t.empty() || s.empty() || e.empty()) return "";
  size_t p = t.find(s);
  if (p == std::string::npos) return "";
  std::string rest = t.substr(p + s.size());
  size_t q = rest.find(e);
  return q == std::string::npos ? "" : rest.substr(0, q);
}

std::string ReferenceReplace(const std::string& t, const std::string& f, const std::string& r) {
  if (f.empty()) return t;
  std::string out;
  for (size_t i = 0; i < t.size();) {
    if (t.compare(i, f.size(), f) == 0) {
      out += r;
      i += f.size();
    } else {
      out += t[i++];
    }
  }
  return out;
}

// "&nbsp;", "&lt;", "&gt;", "&amp;" and "&#N;" / "&#xN;" of printable characters that
// Windows-1251 has (the site's own table says which), left to right, each once.
std::string ReferenceDecode(const std::string& t) {
  static const char* const kNamed[][2] = {
      {"&nbsp;", "\xA0"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}};
  std::string out;
  size_t i = 0;
  while (i < t.size()) {
    bool done = false;
    for (const auto& named : kNamed) {
      if (t.compare(i, strlen(named[0]), named[0]) == 0) {
        out += named[1];
        i += strlen(named[0]);
        done = true;
        break;
      }
    }
    if (done) continue;
    if (t.compare(i, 2, "&#") == 0) {
      bool hex = i + 2 < t.size() && (t[i + 2] == 'x' || t[i + 2] == 'X');
      size_t first = i + (hex ? 3 : 2), end = first;
      while (end < t.size() && end - first < 8 &&
             (hex ? isxdigit(static_cast<unsigned char>(t[end]))
                  : isdigit(static_cast<unsigned char>(t[end]))))
        ++end;
      if (end > first && end < t.size() && t[end] == ';') {
        unsigned long code = strtoul(t.substr(first, end - first).c_str(), nullptr, hex ? 16 : 10);
        int byte = code >= 0x20 && code != 0x7F
                       ? site::CodePointToCp1251(static_cast<char32_t>(code))
                       : -1;
        if (byte >= 0) {
          out += static_cast<char>(byte);
          i = end + 1;
          continue;
        }
      }
    }
    out += t[i++];
  }
  return out;
}

std::string ReferenceTrim(const std::string& t) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\xA0'; };
  size_t b = 0, e = t.size();
  while (b < e && blank(t[b])) ++b;
  while (e > b && blank(t[e - 1])) --e;
  return t.substr(b, e - b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string in(reinterpret_cast<const char*>(data), size), text, start, end;
  Split(in, text, start, end);
  if (TextBetween(text, start, end) != ReferenceBetween(text, start, end)) abort();
  if (TextReplace(text, start, end) != ReferenceReplace(text, start, end)) abort();
  static const char* const kTable[][2] = {
      {"&#9679;", "\x95"}, {"&#39;", "'"},      {"&#9602;", "\x95"}, {"&#9603;", "\x95"},
      {"&#036;", "$"},     {"&#9733;", "\x95"}, {"&#33;", "!"},      {"#33;", "!"},
      {"&#8221;", "\""},   {"&#8220;", "\""},   {"&#8211;", "-"},    {"&#8230;", "..."},
      {"&quot;", "\""},    {"&laquo;", "\xAB"}, {"&raquo;", "\xBB"}, {"<span class=\"match\">", ""},
      {"</span>", ""}};
  std::string reference = text;
  for (const auto& row : kTable) reference = ReferenceReplace(reference, row[0], row[1]);
  reference = ReferenceTrim(ReferenceDecode(reference));
  std::string clean = CleanText(text);
  if (clean != reference || clean.size() > text.size()) abort();
  int found = TextFind(text, start, static_cast<int>(end.size()) - 3);
  if (found != 0 && text.compare(static_cast<size_t>(found - 1), start.size(), start) != 0) abort();
  return 0;
}
