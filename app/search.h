// Searching and the preview picture. The event loop calls them; each waits for its
// transfer while the window goes on answering.
#pragma once

#include <string_view>
#include <vector>

#include "scrape.h"
#include "text.h"

// Fills the result list and the three result arrays from the page at `searchUrl`. When the
// page cannot be had, the previous list stays, the description label says why, and the
// result is false. The site's log-in page in place of results renews the session once
// (session.h) and asks again; it never counts as a page without results.
bool SearchVideos(const String& searchUrl);
// Fills the result list from a result page already on disk (the search's second half):
// ScanResultPage, then FillResultList, then what the description label says about it.
void ShowResultPage(const String& file);
// Reads the result page into the three result arrays and the row titles; the counters say
// what was left out (results past the list's limit, lines too long to scan).
ScrapeCounters ScanResultPage(const String& file, std::vector<String>& titles);
// ShowResultPage's second half: the rows and the word about them.
void ShowScannedPage(const std::vector<String>& titles, const ScrapeCounters& scanned);
// Replaces the result list's rows by `titles`, its painting paused meanwhile.
void FillResultList(const std::vector<String>& titles);
// Shows the picture at `pictureUrl` in the preview gadget; an empty preview when it
// cannot be had or decoded.
void ShowPreview(const String& pictureUrl);
// Decodes the picture file and shows it (the preview's second half).
void ShowPreviewFile(const String& file);
// Shows a message of the program in the description label, in place of a description.
void ShowStatus(const String& text);
// The same for a message in UTF-16: one that names a path or a character the
// Windows-1251 texts cannot hold.
void ShowWideStatus(std::wstring_view text);
