// The client's process-wide state: the login, the last search and the three result arrays,
// whose entry i belongs to row i of the result list.
#pragma once

#include <vector>

#include "text.h"

// Entries of each result array (rows 0 to 50).
constexpr int RESULT_ENTRIES = 51;

struct AppState {
  String loginMail;
  String loginPass;
  int lastEvent = 0;
  String downloadUrl;
  int panelCollapsed = 0;
  String searchText;
  String searchUrl;
  int selectedIndex = 0;
  String pictureUrl;
  String videoLink;
  int viewingStarted = 0;
  std::vector<String> videoLinks;
  std::vector<String> pictureUrls;
  std::vector<String> descriptions;
};

extern AppState g_app;

// Allocates the three result arrays with RESULT_ENTRIES empty strings each (again: cleared).
void AllocateResultArrays(AppState& app);
