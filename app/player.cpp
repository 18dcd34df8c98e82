// The video page: the video file's address for the download link, and the local player
// page shown in a panel of the main window.
#include "player.h"

#include "addresses.h"
#include "appstate.h"
#include "client_ids.h"
#include "config.h"
#include "gadget_items.h"
#include "launcher.h"
#include "search.h"
#include "seqfile.h"
#include "session.h"
#include "temp_files.h"
#include "texts.h"
#include "toolkit.h"
#include "transfer.h"
#include "videopage.h"
#include "webview.h"
#include "wide.h"

namespace {

// Why the chosen video has no download address (empty: none is chosen).
String addressProblem;

// Downloads the video page of `link` and opens it; false when it cannot be had (a failed
// transfer leaves the page of an earlier video in the file, which must not be read as this
// one's). The site's log-in page in its place (the session has ended) renews the session
// and asks once more.
bool OpenVideoPage(const String& link, ScopedFile& page, String* failure) {
  String file = TempFile(TEMP_VIDEO_PAGE);
  String why;
  for (int attempt = 1; why.empty(); ++attempt) {
    TransferResult got = FetchTempFile(SITE_BASE_ADDRESS + link, TEMP_VIDEO_PAGE,
                                       PageLimits(VIDEO_PAGE_MAX_BYTES), TransferKind::PAGE);
    if (!got.Ok()) {
      why = TransferFailureText(got);
      break;
    }
    if (!IsLoginPage(file)) return page.OpenRead(FILE_DOWNLOADED_PAGE, file);
    why = AfterLoginPage(attempt);
  }
  if (failure) *failure = why;
  return false;
}

// Writes the player page into `file`, emptied first so that it holds this page alone, also
// after a longer one; closed again before the web view is pointed at it.
void WritePlayerPage(const String& file, const String& oid, const String& vid,
                     const String& hash2) {
  ScopedFile page;
  if (!page.OpenReadWrite(FILE_PLAYER_PAGE, file)) return;
  TempFileWritten(TEMP_PLAYER_PAGE);
  FileTruncate(page.Number());
  FileWriteLine(page.Number(), PlayerPageText(SITE_BASE_ADDRESS, oid, vid, hash2));
}

// Points the web view at a local page. Its address is a path: one the Windows-1251 texts
// can hold goes as a text, another (a temporary folder named in another script) in UTF-16.
void ShowLocalPage(ObjectNumber view, const std::string& path) {
  std::wstring wide = WideFromPath(path);
  char32_t lacking = 0;
  String text = TextFromWide(wide, &lacking);
  if (lacking)
    GadgetSetWideText(view, wide);
  else
    GadgetSetText(view, text);
}

}  // namespace

void FetchDownloadUrl(const String& link) {
  // Whatever the page gives, the address of an earlier video goes.
  g_app.downloadUrl.clear();
  ScopedFile page;
  String failure;
  if (!OpenVideoPage(link, page, &failure)) {
    addressProblem = TEXT_VIDEO_PAGE_FAILED + failure + ".";
    ShowStatus(addressProblem);
    return;
  }
  const String domain = SiteDomain(SITE_BASE_ADDRESS);
  // Every player line overwrites the address, so the last one counts; a line whose host
  // label could lead off the site is refused and changes nothing.
  ForEachPlayerLine(page.Number(),
                    [&](const String& line) { VideoFileAddress(line, domain, g_app.downloadUrl); });
  addressProblem = g_app.downloadUrl.empty() ? String(TEXT_NO_FILE_ADDRESS) : String();
  if (!addressProblem.empty()) ShowStatus(addressProblem);
}

const String& DownloadAddressProblem() { return addressProblem; }

bool OpenPlayer(const String& link, String* failure) {
  ScopedFile page;
  if (!OpenVideoPage(link, page, failure)) return false;
  // The last player line counts. The page is written and shown once, with its values: a
  // page shown per line would be written while the browser still holds the one before.
  bool found = false;
  PlayerValues last;
  ForEachPlayerLine(page.Number(), [&](const String& line) {
    last = PlayerValuesOf(line);
    found = true;
  });
  page.Close();
  if (!found) {
    if (failure) *failure = TEXT_NO_PLAYER_LINE;
    return false;
  }
  ShowPlayerPage(last.oid, last.vid, last.hash2);
  return true;
}

void ShowPlayerPage(const String& oid, const String& vid, const String& hash2) {
  String file = TempFile(TEMP_PLAYER_PAGE);
  WritePlayerPage(file, oid, vid, hash2);
  // Replaces the panel of an earlier play together with its web view.
  ContainerGadgetCreate(GADGET_PLAYER_PANEL, 10, 11, 482, 360, 0);
  WebGadgetCreate(GADGET_PLAYER_WEB, 0, 0, 500, 380, "");
  GadgetListClose();
  ShowLocalPage(GADGET_PLAYER_WEB, file);
  // A browser view without an HTML engine shows nothing: the player then opens in the
  // system's web browser, and the window says so the first time. The browser starts on a
  // thread of its own: it may take seconds to come up.
  if (GadgetGetAttribute(GADGET_PLAYER_WEB, WEB_ATTRIBUTE_SHOWS_PAGES) == 0) {
    String address = PlayerFrameAddress(SITE_BASE_ADDRESS, oid, vid, hash2);
    if (address.size() > LAUNCH_TARGET_LIMIT) {
      // Only a hostile page makes one so long; the shell is not given it.
      ShowStatus(TEXT_ADDRESS_TOO_LONG_BEFORE + std::to_string(address.size()) +
                 TEXT_ADDRESS_TOO_LONG_AFTER);
      return;
    }
    LaunchInBackground(address);
    static bool told = false;
    if (!told) ShowStatus(TEXT_PLAYER_OUTSIDE);
    told = true;
  }
}
