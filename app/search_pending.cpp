// TEMPORARY: empty bodies so that the program links until the search, preview and player
// procedures are written (they replace this file). Each does nothing.
#include "search.h"

void SearchVideos(const String&) {}
void ShowPreview(const String&) {}
void FetchDownloadUrl(const String&) {}
void OpenPlayer(const String&) {}
