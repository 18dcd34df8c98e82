// The procedures behind the result list: searching, the preview picture, the video file
// address and the player page. The event loop calls them synchronously.
#pragma once

#include "text.h"

// Fills the result list and the three result arrays from the page at `searchUrl`.
void SearchVideos(const String& searchUrl);
// Shows the picture at `pictureUrl` in the preview gadget.
void ShowPreview(const String& pictureUrl);
// Sets g_app.downloadUrl from the video page of `link`.
void FetchDownloadUrl(const String& link);
// Shows the player page of `link` in the player panel.
void OpenPlayer(const String& link);
// Writes the player page for the three values into "111.htm" and shows it in a new player
// panel (gadget 109) holding a new web view (gadget 110).
void ShowPlayerPage(const String& oid, const String& vid, const String& hash2);
// Downloads `address` into `file` (blocking, result not examined).
void DownloadToFile(const String& address, const String& file);
