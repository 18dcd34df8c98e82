// Times the panel slide (235 resize steps, each with a 1 ms pause) on the real main window,
// with the system's default timer and with the 1 ms timer that SlidePanel asks for.
//   scripts/wine-run build/win/app/slide_bench.exe
#include <windows.h>

#include <cstdio>

#include "appstate.h"
#include "client_ids.h"
#include "decoder.h"
#include "image.h"
#include "main_window.h"
#include "slide.h"
#include "startup.h"
#include "toolkit.h"

static double Seconds(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER f) {
  return static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

int main() {
  SystemStartup();
  PngDecoderRegister();
  AllocateResultArrays(g_app);
  if (!LoadEmbeddedPictures() || !OpenMainWindow()) {
    std::printf("cannot open the main window\n");
    return 1;
  }
  BuildMainGadgets();
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  for (int fine = 0; fine <= 1; ++fine) {
    SlideSetFineTimer(fine);
    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    SlidePanel(1);
    QueryPerformanceCounter(&t1);
    SlidePanel(0);
    QueryPerformanceCounter(&t2);
    RECT r;
    GetClientRect(WindowHandle(WIN_MAIN), &r);
    std::printf("slide %s timer: to narrow %.3f s, to wide %.3f s (final %ldx%ld)\n",
                fine ? "1 ms" : "default", Seconds(t0, t1, f), Seconds(t1, t2, f), r.right,
                r.bottom);
  }
  return 0;
}
