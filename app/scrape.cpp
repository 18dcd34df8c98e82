#include "scrape.h"

String TextBetween(TextArg text, TextArg start, TextArg end) {
  int p1 = TextFind(text, start, 1);
  String rest = TextRight(text, TextLength(text) - p1 - TextLength(start) + 1);
  int p2 = TextFind(rest, end, 1);
  String cut = TextLeft(rest, p2 - 1);
  return p1 != 0 ? cut : String();
}

namespace {

struct Replacement {
  const char* searched;
  const char* replacement;
};

// Applied in this order; each replacement is shorter than what it replaces, so cleaning
// never makes a text longer. "lt;" and "gt;" are searched without their ampersand.
const Replacement kCleanTable[] = {
    {"&#9679;", "\x95"},
    {"&#39;", "'"},
    {"&#9602;", "\x95"},
    {"&#9603;", "\x95"},
    {"&#036;", "$"},
    {"&#9733;", "\x95"},
    {"&#33;", "!"},
    {"#33;", "!"},
    {"lt;", "<"},
    {"gt;", ">"},
    {"&#8221;", "\""},
    {"&#8220;", "\""},
    {"&#8211;", "-"},
    {"&#8230;", "..."},
    {"&quot;", "\""},
    {"&laquo;", "\xAB"},
    {"&raquo;", "\xBB"},
    {"<span class=\"match\">", " "},
    {"</span>", " "},
};

}  // namespace

String CleanText(TextArg text) {
  String work(text.view());
  for (const Replacement& r : kCleanTable) {
    // Most titles hold none of the references: skip the copy when there is nothing to do.
    if (work.find(r.searched) == String::npos) continue;
    work = TextReplace(work, r.searched, r.replacement);
  }
  return work;
}

void ScrapeResultLine(String line, ScrapeCounters& counters, AppState& app,
                      const std::function<void(const String& title)>& addRow) {
  if (TextFind(line, "aname", 1) != 0 && counters.linkCount < RESULT_ENTRIES) {
    app.videoLinks[static_cast<size_t>(counters.linkCount)] = TextBetween(line, "href=\"", "\"");
    addRow(CleanText(TextBetween(line, "\">", "</a>")));
    ++counters.linkCount;
  }
  if (TextFind(line, "img src=", 1) != 0) {
    line = TextBetween(line, "img src=\"", "jpg");
    if (!line.empty() && counters.pictureCount < RESULT_ENTRIES) {
      app.pictureUrls[static_cast<size_t>(counters.pictureCount)] = line + "jpg";
      ++counters.pictureCount;
    }
  }
  if (TextFind(line, "adesc", 1) != 0) {
    line = CleanText(TextBetween(line, ">", "</div>"));
    if (counters.descriptionCount < RESULT_ENTRIES) {
      app.descriptions[static_cast<size_t>(counters.descriptionCount)] = line;
      ++counters.descriptionCount;
    }
  }
}
