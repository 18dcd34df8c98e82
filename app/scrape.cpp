#include "scrape.h"

#include <cstring>

#include "seqfile.h"

// p1 = position of start; rest = the bytes after it; p2 = position of end in rest; the
// result is the part of rest before p2, or empty when either marker is missing. Works on
// views of the text, so only the result is copied.
String TextBetween(TextArg text, TextArg start, TextArg end) {
  std::string_view t = text.view(), s = start.view();
  int p1 = TextFind(t, s, 1);
  if (p1 == 0) return String();
  std::string_view rest = t.substr(static_cast<size_t>(p1 - 1) + s.size());
  int p2 = TextFind(rest, end, 1);
  return TextLeft(rest, p2 - 1);
}

namespace {

struct Replacement {
  std::string_view searched;
  std::string_view replacement;
};

// Applied in this order; each replacement is shorter than what it replaces, so cleaning
// never makes a text longer. "lt;" and "gt;" are searched without their ampersand.
constexpr Replacement kCleanTable[] = {
    {"&#9679;", "\x95"}, {"&#39;", "'"},      {"&#9602;", "\x95"},
    {"&#9603;", "\x95"}, {"&#036;", "$"},     {"&#9733;", "\x95"},
    {"&#33;", "!"},      {"#33;", "!"},       {"lt;", "<"},
    {"gt;", ">"},        {"&#8221;", "\""},   {"&#8220;", "\""},
    {"&#8211;", "-"},    {"&#8230;", "..."},  {"&quot;", "\""},
    {"&laquo;", "\xAB"}, {"&raquo;", "\xBB"}, {"<span class=\"match\">", " "},
    {"</span>", " "},
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

// The steps whose searched text runs from "&" to ";" (all but "#33;", "lt;", "gt;" and the
// two marks) are done in one scan. Their matches cannot overlap (none holds an inner "&"
// or ";"), no replacement produces "&" or ";", and none of them meets a match of the other
// steps, so one scan gives what applying them one after another gives.
void ReplaceReferences(String& text) {
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
    size_t length = 1;
    std::string_view with;
    std::string_view candidate(data + read, std::min<size_t>(8, n - read));
    for (const Replacement& r : kCleanTable) {
      if (r.searched.front() == '&' && candidate.substr(0, r.searched.size()) == r.searched) {
        length = r.searched.size();
        with = r.replacement;
        break;
      }
    }
    if (length == 1) {
      data[write++] = '&';
    } else {
      memcpy(data + write, with.data(), with.size());
      write += with.size();
    }
    read += length;
  }
  text.resize(write);
}

}  // namespace

String CleanText(TextArg text) {
  String work(text.view());
  // Every searched text ends in ";" or holds "<". No replacement produces a ";", so a text
  // without one skips the reference steps, and one without "<" after them the marks.
  if (work.find(';') != String::npos) {
    ReplaceReferences(work);
    for (const Replacement& r : kCleanTable)
      if (r.searched.front() != '&' && r.searched.back() == ';')
        ReplaceShorterInPlace(work, r.searched, r.replacement);
  }
  if (work.find('<') != String::npos) {
    for (const Replacement& r : kCleanTable)
      if (r.searched.back() != ';') ReplaceShorterInPlace(work, r.searched, r.replacement);
  }
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
void CoverRow(AppState& app, int row) {
  size_t need = static_cast<size_t>(row) + 1;
  for (std::vector<String>* entries : {&app.pictureUrls, &app.descriptions})
    if (entries->size() < need) entries->resize(need);
}

}  // namespace

void ScrapeResultLine(String line, ScrapeCounters& counters, AppState& app, const AddRow& addRow) {
  if (TextFind(line, "aname", 1) != 0) {
    if (StoreEntry(app.videoLinks, counters.linkCount, TextBetween(line, "href=\"", "\""))) {
      CoverRow(app, counters.linkCount);
      addRow(CleanText(TextBetween(line, "\">", "</a>")));
      ++counters.linkCount;
    } else {
      ++counters.rowsLeftOut;
    }
  }
  if (TextFind(line, "img src=", 1) != 0) {
    line = TextBetween(line, "img src=\"", "jpg");
    if (!line.empty() && StoreEntry(app.pictureUrls, counters.pictureCount, line + "jpg"))
      ++counters.pictureCount;
  }
  if (TextFind(line, "adesc", 1) != 0) {
    line = CleanText(TextBetween(line, ">", "</div>"));
    if (StoreEntry(app.descriptions, counters.descriptionCount, line)) ++counters.descriptionCount;
  }
}

ScrapeCounters ScrapeResultFile(ObjectNumber file, AppState& app, const AddRow& addRow) {
  ScrapeCounters counters;
  while (!FileAtEnd(file)) ScrapeResultLine(FileReadLine(file), counters, app, addRow);
  return counters;
}
