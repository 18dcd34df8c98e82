#include "appstate.h"

AppState g_app;

void AllocateResultArrays(AppState& app) {
  app.videoLinks.assign(RESULT_ENTRIES, String());
  app.pictureUrls.assign(RESULT_ENTRIES, String());
  app.descriptions.assign(RESULT_ENTRIES, String());
}
