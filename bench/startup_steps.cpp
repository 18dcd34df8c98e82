// Where the program's start-up time goes: runs the program's start-up steps in their order
// (as WinMain does, without the login dialog and the main loop) and prints how long each
// took, beginning with the time from the process's creation to its entry (loading the
// libraries). Run it through bench/startup_bench.sh, which gives it the site and a
// Registration.ini, or with scripts/wine-run from a folder holding one.
#include <windows.h>

#include <cstdio>

#include "appstate.h"
#include "client_ids.h"
#include "credentials.h"
#include "decoder.h"
#include "image.h"
#include "main_window.h"
#include "startup.h"
#include "toolkit.h"
#include "webview.h"

namespace {

double NowMs() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
  return static_cast<double>(t.QuadPart) / 10000.0;
}

double last = 0;
void Step(const char* what) {
  double now = NowMs();
  std::printf("  %-58s %7.1f ms\n", what, now - last);
  last = now;
}

}  // namespace

int main() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  ULARGE_INTEGER c{{created.dwLowDateTime, created.dwHighDateTime}};
  last = static_cast<double>(c.QuadPart) / 10000.0;
  const double start = last;
  std::printf("start-up steps:\n");
  Step("process created to entry (loading the libraries)");
  ImagesInit();
  WindowsInit();
  GadgetsInit();
  Step("runtime and toolkit (images, windows, gadgets, common controls)");
  SystemStartup();
  Step("common controls");
  ReadCredentials();
  Step("Registration.ini");
  JpegDecoderRegister();
  PngDecoderRegister();
  AllocateResultArrays();
  Step("decoders and result arrays");
  OpenMainWindow();
  Step("main window (invisible)");
  BuildMainGadgets();
  Step("the gadgets the user sees, the pictures decoded and given, window shown");
  std::printf("  %-58s %7.1f ms\n", "in all, process created to window shown", NowMs() - start);
  last = NowMs();
  WindowPaintNow(WIN_MAIN);
  Step("(then the whole window painted)");
  SystemStartCom();
  Step("(then COM)");
  CreateBrowserViews();
  Step("(after it: the two hidden browser views)");
  StartLoginNavigation();
  Step("(then the login navigation, which starts the browser's engine)");
  // What one more web view costs now that the browser's libraries are loaded.
  last = NowMs();
  WebGadgetCreate(ANY_NUMBER, 0, 0, 0, 0, "");
  Step("(one more web view, for comparison)");
  std::fflush(stdout);
  ExitProcess(0);
}
