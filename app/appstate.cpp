#include "appstate.h"

AppState g_app;

void AllocateResultArrays() {
  g_app.videoLinks.assign(RESULT_ENTRIES, String());
  g_app.pictureUrls.assign(RESULT_ENTRIES, String());
  g_app.descriptions.assign(RESULT_ENTRIES, String());
}
