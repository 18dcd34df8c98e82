// The video page: the video file's address for the download link, and the local player
// page shown in a panel of the main window.
#include "addresses.h"
#include "appstate.h"
#include "client_ids.h"
#include "config.h"
#include "search.h"
#include "seqfile.h"
#include "temp_files.h"
#include "toolkit.h"
#include "videopage.h"
#include "webview.h"

namespace {

// Downloads the video page of `link` and opens it as file 0; false when it cannot be read.
bool OpenVideoPage(const String& link) {
  String file = TempFile(TEMP_VIDEO_PAGE);
  DownloadToFile(SITE_BASE_ADDRESS + link, file);
  return FileOpenRead(0, file) != 0;
}

}  // namespace

void FetchDownloadUrl(const String& link) {
  if (!OpenVideoPage(link)) return;
  const String domain = SiteDomain(SITE_BASE_ADDRESS);
  // Every player line overwrites the address, so the last one counts; a line whose host
  // label could lead off the site is refused and changes nothing.
  ForEachPlayerLine(0, [&](const String& line) { VideoFileAddress(line, domain, g_app.downloadUrl); });
  FileClose(0);
}

void OpenPlayer(const String& link) {
  if (!OpenVideoPage(link)) return;
  ForEachPlayerLine(0, [](const String& line) {
    PlayerValues v = PlayerValuesOf(line);
    ShowPlayerPage(v.oid, v.vid, v.hash2);
  });
  FileClose(0);
}

void ShowPlayerPage(const String& oid, const String& vid, const String& hash2) {
  String file = TempFile(TEMP_PLAYER_PAGE);
  // The file is emptied first, so that it holds this page alone, also after a longer one.
  if (FileOpenReadWrite(1, file)) {
    FileTruncate(1);
    FileWriteLine(1, PlayerPageText(SITE_BASE_ADDRESS, oid, vid, hash2));
    FileClose(1);
  }
  // Replaces the panel of an earlier play together with its web view.
  ContainerGadgetCreate(GADGET_PLAYER_PANEL, 10, 11, 482, 360, 0);
  WebGadgetCreate(GADGET_PLAYER_WEB, 0, 0, 500, 380, "");
  GadgetListClose();
  GadgetSetText(GADGET_PLAYER_WEB, file);
}
