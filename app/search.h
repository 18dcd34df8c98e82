// Searching and the preview picture. The event loop calls them; each waits for its
// transfer while the window goes on answering.
#pragma once

#include "text.h"

// Fills the result list and the three result arrays from the page at `searchUrl`. When the
// page cannot be had, the previous list stays, the description label says why, and the
// result is false.
bool SearchVideos(const String& searchUrl);
// Fills the result list from a result page already on disk (the search's second half).
void ShowResultPage(const String& file);
// Shows the picture at `pictureUrl` in the preview gadget; an empty preview when it
// cannot be had or decoded.
void ShowPreview(const String& pictureUrl);
// Shows a message of the program in the description label, in place of a description.
void ShowStatus(const String& text);
