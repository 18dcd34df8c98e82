// Searching and the preview picture: pages and pictures are downloaded into fixed files of
// the temporary directory, then read from there.
#include "search.h"

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <vector>

#include "appstate.h"
#include "client_ids.h"
#include "config.h"
#include "image.h"
#include "main_window.h"
#include "scrape.h"
#include "seqfile.h"
#include "session.h"
#include "shown_text.h"
#include "temp_files.h"
#include "texts.h"
#include "toolkit.h"
#include "transfer.h"

namespace {

String lastStatus;  // the message ShowStatus put into the description label last

// Keeps the result list from repainting while its rows are removed and added: it repaints
// once, when the last row is in, rather than after each of possibly thousands.
class ListPaintPause {
 public:
  ListPaintPause() : list_(GadgetHandle(GADGET_RESULT_LIST)) {
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  }
  ~ListPaintPause() {
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
  }
  ListPaintPause(const ListPaintPause&) = delete;
  ListPaintPause& operator=(const ListPaintPause&) = delete;

 private:
  HWND list_;
};

int ListRows() {
  return static_cast<int>(SendMessageW(GadgetHandle(GADGET_RESULT_LIST), LVM_GETITEMCOUNT, 0, 0));
}

}  // namespace

void ShowStatus(const String& text) {
  lastStatus = CappedText(text, LABEL_LIMIT);
  GadgetSetText(GADGET_DESCRIPTION, lastStatus);
}

void ShowWideStatus(std::wstring_view text) {
  GadgetSetWideText(GADGET_DESCRIPTION, CappedWide(text, LABEL_LIMIT));
  // As the label reads back, which is what a later look at it compares with.
  lastStatus = GadgetGetText(GADGET_DESCRIPTION);
}

bool SearchVideos(const String& searchUrl) {
  String file = TempFile(TEMP_RESULT_PAGE);
  String failure;
  for (int attempt = 1; failure.empty(); ++attempt) {
    bool replaced = false;
    TransferResult got =
        FetchTempFile(searchUrl, TEMP_RESULT_PAGE, PageLimits(SEARCH_PAGE_MAX_BYTES),
                      TransferKind::PAGE, GADGET_SEARCH_LINK, &replaced);
    if (replaced) return false;  // a newer search click takes its place
    if (!got.Ok()) {
      failure = TransferFailureText(got);
      break;
    }
    std::vector<String> titles;
    ScrapeCounters scanned = ScanResultPage(file, titles);
    // Once the session has ended, the site's log-in page comes in place of the results. Only
    // a page without results is looked at for its form: that costs a second reading, and
    // result pages can be huge.
    if (!titles.empty() || !IsLoginPage(file)) {
      ShowScannedPage(titles, scanned);
      return true;
    }
    // The program logs in again and asks once more.
    failure = AfterLoginPage(attempt);
  }
  // The list keeps the rows of the last search that worked, and says so.
  String text = TEXT_SEARCH_FAILED + failure + ".";
  if (ListRows() > 0) text += TEXT_PREVIOUS_LIST_KEPT;
  ShowStatus(text);
  return false;
}

ScrapeCounters ScanResultPage(const String& file, std::vector<String>& titles) {
  titles.clear();
  ScopedFile page;
  if (!page.OpenRead(FILE_DOWNLOADED_PAGE, file)) return ScrapeCounters();
  auto addRow = [&](const String& title) { titles.push_back(title); };
  return ScrapeResultFile(page.Number(), addRow);
}

void FillResultList(const std::vector<String>& titles) {
  ListPaintPause pause;
  // Clicks on the rows being replaced, waiting to be handled, no longer name those rows.
  EventDiscard(EVENT_GADGET, WIN_MAIN, GADGET_RESULT_LIST);
  GadgetClearItems(GADGET_RESULT_LIST);
  for (const String& title : titles) GadgetAddItem(GADGET_RESULT_LIST, -1, title, 0);
}

void ShowResultPage(const String& file) {
  std::vector<String> titles;
  ScrapeCounters scanned = ScanResultPage(file, titles);
  ShowScannedPage(titles, scanned);
}

void ShowScannedPage(const std::vector<String>& titles, const ScrapeCounters& scanned) {
  FillResultList(titles);
  // Nothing is dropped without a word: more results than the list keeps, or lines of the
  // page too long to be scanned.
  if (scanned.rowsLeftOut > 0) {
    ShowStatus(TEXT_ROWS_SHOWN_BEFORE + std::to_string(RESULT_ROWS_LIMIT) + TEXT_ROWS_LEFT_OUT +
               std::to_string(scanned.rowsLeftOut) + ".");
  } else if (scanned.linesTooLong > 0) {
    ShowStatus(TEXT_LINES_TOO_LONG_BEFORE +
               std::to_string((SCAN_LINE_LIMIT + (1 << 20) - 1) >> 20) + TEXT_LINES_TOO_LONG_AFTER +
               std::to_string(scanned.linesTooLong) + ".");
  } else if (titles.empty()) {
    ShowStatus(g_app.searchText.empty()
                   ? String(TEXT_NOTHING_FOUND)
                   : TEXT_NOTHING_FOUND_BEFORE + g_app.searchText + TEXT_NOTHING_FOUND_AFTER);
  } else if (!lastStatus.empty() && GadgetGetText(GADGET_DESCRIPTION) == lastStatus) {
    // A message about an earlier search no longer applies.
    lastStatus.clear();
    GadgetSetText(GADGET_DESCRIPTION, AboutText());
  }
}

void ShowPreview(const String& pictureUrl) {
  // A picture that cannot be had leaves the preview empty, never another row's picture.
  if (FetchTempFile(pictureUrl, TEMP_PREVIEW, PageLimits(PREVIEW_MAX_BYTES), TransferKind::PICTURE)
          .Ok())
    ShowPreviewFile(TempFile(TEMP_PREVIEW));
  else
    GadgetSetState(GADGET_PREVIEW, 0);
}

void ShowPreviewFile(const String& file) {
  // Loading frees the picture held under the number first, so after a failed load the
  // gadget is emptied rather than left drawing a freed picture.
  if (ImageFromFile(IMAGE_PREVIEW, file) != 0)
    GadgetSetState(GADGET_PREVIEW, ImageHandle(IMAGE_PREVIEW));
  else
    GadgetSetState(GADGET_PREVIEW, 0);
}
