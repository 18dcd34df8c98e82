// Times the panel slide (235 resize steps, each with a 1 ms pause) on the real main window,
// with the system's default timer and with the 1 ms timer that SlidePanel asks for: ROUNDS
// slides each way (default 5), then the median and the fastest of them.
//   scripts/wine-run build/win/app/slide_bench.exe [ROUNDS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "appstate.h"
#include "bench_window.h"
#include "client_ids.h"
#include "slide.h"
#include "toolkit.h"

static double Seconds(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER f) {
  return static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

static double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  if (rounds < 1) rounds = 1;
  if (!OpenBenchMainWindow()) return 1;
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  for (int fine = 0; fine <= 1; ++fine) {
    SlideSetFineTimer(fine);
    std::vector<double> narrow, wide;
    RECT r = {};
    for (int round = 0; round < rounds; ++round) {
      LARGE_INTEGER t0, t1, t2;
      QueryPerformanceCounter(&t0);
      SlidePanel(1);
      QueryPerformanceCounter(&t1);
      SlidePanel(0);
      QueryPerformanceCounter(&t2);
      GetClientRect(WindowHandle(WIN_MAIN), &r);
      narrow.push_back(Seconds(t0, t1, f));
      wide.push_back(Seconds(t1, t2, f));
      std::printf("slide %s timer, round %d: to narrow %.3f s, to wide %.3f s (final %ldx%ld)\n",
                  fine ? "1 ms" : "default", round + 1, narrow.back(), wide.back(), r.right,
                  r.bottom);
    }
    std::printf("slide %s timer, %d rounds: to narrow median %.3f s (fastest %.3f), to wide "
                "median %.3f s (fastest %.3f)\n",
                fine ? "1 ms" : "default", rounds, Median(narrow),
                *std::min_element(narrow.begin(), narrow.end()), Median(wide),
                *std::min_element(wide.begin(), wide.end()));
  }
  return 0;
}
