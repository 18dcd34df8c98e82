// The two scraping routines against straightforward reference definitions (the code page
// of numeric references from the stand-in site's own table).
#include <cstdlib>
#include <map>
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
// Windows-1251 has (the site's own table says which), left to right, each once; then
// without blanks at either end.
std::string ReferenceDecode(const std::string& t) {
  static const std::map<std::string, int> kNamed = {
      {"nbsp", 0xA0}, {"lt", '<'}, {"gt", '>'}, {"amp", '&'}};
  std::string out;
  for (size_t i = 0; i < t.size();) {
    size_t semi = t[i] == '&' ? t.substr(i, 12).find(';') : std::string::npos;
    std::string ref = semi == std::string::npos ? "" : t.substr(i + 1, semi - 1);
    bool hex = ref.size() > 2 && (ref[1] == 'x' || ref[1] == 'X');
    std::string digits = ref.size() > 1 && ref[0] == '#' ? ref.substr(hex ? 2 : 1) : "";
    int byte = kNamed.count(ref) ? kNamed.at(ref) : -1;
    if (!digits.empty() && digits.size() <= 8 &&
        digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") == ref.npos) {
      unsigned long code = std::stoul(digits, nullptr, hex ? 16 : 10);
      if (code >= 0x20 && code != 0x7F) byte = site::CodePointToCp1251(static_cast<char32_t>(code));
    }
    out += byte >= 0 ? static_cast<char>(byte) : t[i];
    i += byte >= 0 ? semi + 1 : 1;
  }
  size_t first = out.find_first_not_of(" \t\xA0"), last = out.find_last_not_of(" \t\xA0");
  return first == std::string::npos ? "" : out.substr(first, last - first + 1);
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
  reference = ReferenceDecode(reference);
  std::string clean = CleanText(text);
  if (clean != reference || clean.size() > text.size()) abort();
  int found = TextFind(text, start, static_cast<int>(end.size()) - 3);
  if (found != 0 && text.compare(static_cast<size_t>(found - 1), start.size(), start) != 0) abort();
  return 0;
}
