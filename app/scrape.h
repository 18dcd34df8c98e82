// Cutting values out of downloaded pages. Pages are never parsed as HTML: every value is
// the text between two fixed markers on one line, and titles and descriptions are cleaned
// of the character references and highlight marks that the site puts into them.
#pragma once

#include <functional>

#include "appstate.h"
#include "objtable.h"

// The text with the site's character references replaced by plain Windows-1251
// characters (a fixed table applied in order, then "&nbsp;", "&lt;", "&gt;", "&amp;" and
// the numeric references of characters the code page has, each decoded once), the
// highlight marks of the search words removed and the blanks at either end dropped.
String CleanText(TextArg text);

// Progress through one result page: rows (links), pictures and descriptions are counted
// independently, and row i is tied to entry i of each array.
struct ScrapeCounters {
  int linkCount = 0;
  int rowsLeftOut = 0;   // titles past RESULT_ROWS_LIMIT, which add no row
  int linesTooLong = 0;  // lines past SCAN_LINE_LIMIT, skipped unread
  int pictureCount = 0;
  int descriptionCount = 0;
};

using AddRow = std::function<void(const String& title)>;

// Applies the three marker tests (title, picture, description) to one line of a result
// page. A title adds a row through addRow and stores the link in g_app; pictures and
// descriptions go into their arrays there, which grow when the page holds more than they
// have; each of the three arrays always has an entry for every row. Past RESULT_ROWS_LIMIT
// of a kind, later ones on the same page are ignored.
void ScrapeResultLine(String line, ScrapeCounters& counters, const AddRow& addRow);
// Applies ScrapeResultLine to every line of the open file `file`, from its position to its
// end, with counters starting at 0; returns the counters reached. Lines longer than
// SCAN_LINE_LIMIT are skipped and counted in linesTooLong.
ScrapeCounters ScrapeResultFile(ObjectNumber file, const AddRow& addRow);

// Whether the open file `file`, from its position to its end, is the site's log-in page: a
// line holds the start of its log-in form, whose action is the login endpoint
// (`<form id="login_form" action="` + endpoint + `"`). The site serves that page, in place
// of what was asked for, to a visitor without a live session, and never to a member.
bool FileIsLoginPage(ObjectNumber file, TextArg loginEndpoint);
