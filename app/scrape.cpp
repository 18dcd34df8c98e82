#include "scrape.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "codepage.h"
#include "config.h"
#include "seqfile.h"

namespace {

struct Replacement {
  std::string_view searched;
  std::string_view replacement;
};

// Applied in this order; each replacement is shorter than what it replaces, so cleaning
// never makes a text longer. The highlight marks of the search words go without a trace:
// "720" marked inside "720p" must come back as "720p".
constexpr Replacement kCleanTable[] = {
    {"&#9679;", "\x95"}, {"&#39;", "'"},      {"&#9602;", "\x95"}, {"&#9603;", "\x95"},
    {"&#036;", "$"},     {"&#9733;", "\x95"}, {"&#33;", "!"},      {"#33;", "!"},
    {"&#8221;", "\""},   {"&#8220;", "\""},   {"&#8211;", "-"},    {"&#8230;", "..."},
    {"&quot;", "\""},    {"&laquo;", "\xAB"}, {"&raquo;", "\xBB"}, {"<span class=\"match\">", ""},
    {"</span>", ""},
};

// TextReplace for a replacement no longer than the pattern, done in place: the same
// left-to-right scan, compacting the text as it goes, with no new allocation.
void ReplaceShorterInPlace(String& text, std::string_view pattern, std::string_view with) {
  size_t hit = FindBytes(text, pattern, 0);
  if (hit == String::npos) return;
  char* data = text.data();
  size_t write = hit, read = hit;
  while (hit != String::npos) {
    memmove(data + write, data + read, hit - read);
    write += hit - read;
    memcpy(data + write, with.data(), with.size());
    write += with.size();
    read = hit + pattern.size();
    hit = FindBytes(text, pattern, read);
  }
  memmove(data + write, data + read, text.size() - read);
  text.resize(write + text.size() - read);
}

// What a reference at an "&" becomes: it takes `length` bytes (0: there is none) and
// `with` replaces them.
struct ReferenceMatch {
  size_t length = 0;
  std::string_view with;
};

// One left-to-right scan of the text: at each "&", `match` tells what the reference there
// becomes; what it becomes is not looked at again. No replacement is longer than what it
// replaces, so the text is rewritten in place.
template <typename MatchAt>
void ReplaceReferences(String& text, MatchAt match) {
  char* data = text.data();
  const size_t n = text.size();
  size_t write = 0, read = 0;
  while (read < n) {
    const char* amp = static_cast<const char*>(memchr(data + read, '&', n - read));
    size_t at = amp ? static_cast<size_t>(amp - data) : n;
    memmove(data + write, data + read, at - read);
    write += at - read;
    read = at;
    if (read == n) break;
    ReferenceMatch m = match(std::string_view(data + read, n - read));
    if (m.length == 0) m = {1, "&"};
    memcpy(data + write, m.with.data(), m.with.size());
    write += m.with.size();
    read += m.length;
  }
  text.resize(write);
}

// The steps whose searched text runs from "&" to ";" (all but "#33;" and the two marks)
// are done in one scan. Their matches cannot overlap (none holds an inner "&" or ";"), no
// replacement produces "&" or ";", and none of them meets a match of the other steps, so
// one scan gives what applying them one after another gives.
ReferenceMatch TableReference(std::string_view rest) {
  for (const Replacement& r : kCleanTable)
    if (r.searched.front() == '&' && rest.substr(0, r.searched.size()) == r.searched)
      return {r.searched.size(), r.replacement};
  return {};
}

// The Windows-1251 byte of a code point, or -1 when the code page has none. Control
// characters count as none: a line feed, for one, would split a list row into columns.
int Cp1251Byte(uint32_t code) {
  if (code < 0x20 || code == 0x7F) return -1;
  return CodePointToCp1251(static_cast<char32_t>(code));
}

// A numeric reference "&#N;" or "&#xH;" at the start of `text`: its length and the byte
// it stands for; length 0 when there is none or the code page lacks the character.
size_t NumericReference(std::string_view text, int* byte) {
  if (text.size() < 4 || text[1] != '#') return 0;
  size_t at = 2;
  int base = 10;
  if (text[at] == 'x' || text[at] == 'X') {
    base = 16;
    ++at;
  }
  uint32_t code = 0;
  size_t digits = 0;
  for (; at < text.size() && digits < 8; ++at, ++digits) {
    char c = text[at];
    int value = c >= '0' && c <= '9'                 ? c - '0'
                : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
    if (value < 0) break;
    code = code * static_cast<uint32_t>(base) + static_cast<uint32_t>(value);
  }
  if (digits == 0 || at >= text.size() || text[at] != ';') return 0;
  *byte = Cp1251Byte(code);
  return *byte < 0 ? 0 : at + 1;
}

// Every byte value, for replacements of one byte.
constexpr std::array<char, 256> kBytes = [] {
  std::array<char, 256> bytes{};
  for (int i = 0; i < 256; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>(i);
  return bytes;
}();

// The references left after the table: numeric ones of characters that Windows-1251 has,
// "&nbsp;", "&lt;", "&gt;" and "&amp;", so that "&amp;lt;" shows as "&lt;", as the page
// meant. Others stay as they are.
ReferenceMatch CharacterReference(std::string_view rest) {
  static constexpr Replacement kNamed[] = {
      {"&nbsp;", "\xA0"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}};
  int byte = 0;
  if (size_t length = NumericReference(rest, &byte))
    return {length, std::string_view(&kBytes[static_cast<size_t>(byte)], 1)};
  for (const Replacement& r : kNamed)
    if (rest.substr(0, r.searched.size()) == r.searched) return {r.searched.size(), r.replacement};
  return {};
}

// Without the blanks (spaces, tabs, no-break spaces) at either end.
void TrimBlanks(String& text) {
  constexpr std::string_view kBlanks(" \t\xA0");
  size_t first = text.find_first_not_of(kBlanks);
  if (first == String::npos) {
    text.clear();
    return;
  }
  text.erase(text.find_last_not_of(kBlanks) + 1);
  text.erase(0, first);
}

}  // namespace

String CleanText(TextArg text) {
  String work(text.view());
  // Every searched text of the table ends in ";" or holds "<". No replacement produces a
  // ";", so a text without one skips the reference steps, and one without "<" after them
  // the marks.
  if (work.find(';') != String::npos) {
    ReplaceReferences(work, TableReference);
    ReplaceShorterInPlace(work, "#33;", "!");
  }
  if (work.find('<') != String::npos) {
    for (const Replacement& r : kCleanTable)
      if (r.searched.back() != ';') ReplaceShorterInPlace(work, r.searched, r.replacement);
  }
  if (work.find('&') != String::npos) ReplaceReferences(work, CharacterReference);
  TrimBlanks(work);
  return work;
}

namespace {

// Stores value as entry `index` (the next one a counter gives), growing the array when
// needed; false past RESULT_ROWS_LIMIT.
bool StoreEntry(std::vector<String>& entries, int index, String value) {
  if (index >= RESULT_ROWS_LIMIT) return false;
  size_t at = static_cast<size_t>(index);
  if (at >= entries.size()) entries.resize(at + 1);
  entries[at] = std::move(value);
  return true;
}

// Row `row` is tied to entry `row` of each array, whichever of them the page filled that
// far: the other two reach the row too (with empty entries where nothing was stored).
void CoverRow(int row) {
  size_t need = static_cast<size_t>(row) + 1;
  for (std::vector<String>* entries : {&g_app.pictureUrls, &g_app.descriptions})
    if (entries->size() < need) entries->resize(need);
}

}  // namespace

void ScrapeResultLine(String line, ScrapeCounters& counters, const AddRow& addRow) {
  if (TextFind(line, "aname", 1) != 0) {
    if (StoreEntry(g_app.videoLinks, counters.linkCount, TextBetween(line, "href=\"", "\""))) {
      CoverRow(counters.linkCount);
      addRow(CleanText(TextBetween(line, "\">", "</a>")));
      ++counters.linkCount;
    } else {
      ++counters.rowsLeftOut;
    }
  }
  if (TextFind(line, "img src=", 1) != 0) {
    line = TextBetween(line, "img src=\"", "jpg");
    if (!line.empty() && StoreEntry(g_app.pictureUrls, counters.pictureCount, line + "jpg"))
      ++counters.pictureCount;
  }
  if (TextFind(line, "adesc", 1) != 0) {
    line = CleanText(TextBetween(line, ">", "</div>"));
    if (StoreEntry(g_app.descriptions, counters.descriptionCount, line))
      ++counters.descriptionCount;
  }
}

ScrapeCounters ScrapeResultFile(ObjectNumber file, const AddRow& addRow) {
  ScrapeCounters counters;
  while (!FileAtEnd(file)) {
    bool tooLong = false;
    String line = FileReadLine(file, SCAN_LINE_LIMIT, &tooLong);
    // A line no page of the site comes near is skipped whole, and counted: what it held
    // is not shown, and the user is told something was not.
    if (tooLong)
      ++counters.linesTooLong;
    else
      ScrapeResultLine(std::move(line), counters, addRow);
  }
  return counters;
}

bool FileIsLoginPage(ObjectNumber file, TextArg loginEndpoint) {
  String marker = "<form id=\"login_form\" action=\"" + String(loginEndpoint.view()) + "\"";
  while (!FileAtEnd(file))
    if (FindBytes(FileReadLine(file), marker, 0) != String::npos) return true;
  return false;
}
