// Searching and the preview picture: pages and pictures are downloaded into fixed files of
// the temporary directory, then read from there.
#include "search.h"

#include <windows.h>
#include <urlmon.h>

#include "appstate.h"
#include "client_ids.h"
#include "image.h"
#include "scrape.h"
#include "seqfile.h"
#include "temp_files.h"
#include "toolkit.h"

void DownloadToFile(const String& address, const String& file) {
  // Blocking; the result is not examined: the caller reads whatever the file then holds.
  // The download shares the browser views' cookie store, so the login applies.
  URLDownloadToFileA(nullptr, address.c_str(), file.c_str(), 0, nullptr);
}

namespace {

// Keeps the result list from repainting while its rows are removed and added: it repaints
// once, when the last row is in, rather than after each of possibly thousands.
class ListPaintPause {
 public:
  ListPaintPause() : list_(GadgetHandle(GADGET_RESULT_LIST)) {
    SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
  }
  ~ListPaintPause() {
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
  }
  ListPaintPause(const ListPaintPause&) = delete;
  ListPaintPause& operator=(const ListPaintPause&) = delete;

 private:
  HWND list_;
};

}  // namespace

void SearchVideos(const String& searchUrl) {
  // The window does not repaint while the page downloads, so pausing the list's painting
  // before clearing it hides nothing from the user.
  ListPaintPause pause;
  GadgetClearItems(GADGET_RESULT_LIST);
  String file = TempFile(TEMP_RESULT_PAGE);
  DownloadToFile(searchUrl, file);
  if (!FileOpenRead(0, file)) return;
  ScrapeResultFile(0, g_app,
                   [](const String& title) { GadgetAddItem(GADGET_RESULT_LIST, -1, title, 0); });
  FileClose(0);
}

void ShowPreview(const String& pictureUrl) {
  String file = TempFile(TEMP_PREVIEW);
  DownloadToFile(pictureUrl, file);
  // Loading frees the picture held under the number first, so after a failed load the
  // gadget is emptied rather than left drawing a freed picture.
  if (ImageFromFile(IMAGE_PREVIEW, file) != 0)
    GadgetSetState(GADGET_PREVIEW, ImageHandle(IMAGE_PREVIEW));
  else
    GadgetSetState(GADGET_PREVIEW, 0);
}
