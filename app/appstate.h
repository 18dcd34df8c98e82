// The client's process-wide state: the login, the last search and the three result arrays,
// whose entry i belongs to row i of the result list.
#pragma once

#include <vector>

#include "text.h"

// Entries each result array starts with (rows 0 to 50). A search grows the arrays when a
// page holds more results, up to RESULT_ROWS_LIMIT, so that every row the list shows has
// its entries.
constexpr int RESULT_ENTRIES = 51;
// Most rows, pictures and descriptions one search keeps; later ones on the page are
// ignored. Far more than a result page holds: it only bounds what a hostile page costs.
constexpr int RESULT_ROWS_LIMIT = 100000;

struct AppState {
  String loginMail;
  String loginPass;
  int lastEvent = 0;
  String downloadUrl;
  bool panelCollapsed = false;
  String searchText;
  String searchUrl;
  int selectedIndex = 0;
  String pictureUrl;
  String videoLink;
  bool viewingStarted = false;
  std::vector<String> videoLinks;
  std::vector<String> pictureUrls;
  std::vector<String> descriptions;
};

// The one state of the process. Every procedure of the client reaches it here: most of
// them run from events and callbacks (the close request, the download view's hand-over,
// timers) that carry no context to pass it in.
extern AppState g_app;

// Allocates the three result arrays with RESULT_ENTRIES empty strings each (again: cleared).
void AllocateResultArrays();
