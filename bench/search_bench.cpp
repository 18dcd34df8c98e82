// Times the search and the row click on the real main window against the site:
//   reference: one transfer of a small file, the floor under the figures below;
//   search: from SearchVideos' start to the list filled and painted (for a page that
//   fails, such as zqtest-404, to the window answering again with the message shown);
//   preview: ShowPreview of a row's picture (download, decode, shown), and its decoding and
//   showing alone;
//   the working set with each search's rows in the list;
//   click: the whole handling of a row click (preview, labels, video page).
// Run through bench/search_bench.sh, which starts the site and points http_proxy at it.
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "addresses.h"
#include "appstate.h"
#include "bench_window.h"
#include "client_ids.h"
#include "config.h"
#include "event_loop.h"
#include "search.h"
#include "seqfile.h"
#include "temp_files.h"
#include "timing.h"
#include "toolkit.h"
#include "transfer.h"

namespace {

void Drain() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
}

// Milliseconds of `body` followed by painting what it changed: best and median of `runs`.
template <typename Body>
void Report(const char* what, int runs, Body body) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    double t0 = NowMs();
    body();
    UpdateWindow(WindowHandle(WIN_MAIN));
    RedrawWindow(WindowHandle(WIN_MAIN), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    ms.push_back(NowMs() - t0);
    Drain();
  }
  std::sort(ms.begin(), ms.end());
  std::printf("%s: best %.1f ms, median %.1f ms (%d runs)\n", what, ms.front(), ms[ms.size() / 2],
              runs);
}

}  // namespace

int main(int argc, char** argv) {
  if (!OpenBenchMainWindow()) return 1;
  Drain();
  // The floor under every figure: one transfer of a small file through the same service.
  String small = String(SITE_BASE_ADDRESS) + "css/site.css";
  TransferFile(small, TempDirectory() + "bench-small.txt");
  Report("reference: transfer of a small file (the site's style sheet)", 20,
         [&] { TransferFile(small, TempDirectory() + "bench-small.txt"); });
  for (int a = 1; a < argc; ++a) {
    String url = SearchAddress(SITE_BASE_ADDRESS, argv[a]);
    bool had = SearchVideos(url);  // once to warm the connection and the list
    long rows =
        static_cast<long>(SendMessageA(GadgetHandle(GADGET_RESULT_LIST), LVM_GETITEMCOUNT, 0, 0));
    char what[200];
    if (!had) {
      std::snprintf(what, sizeof what, "search '%s' (fails), click to window answering again",
                    argv[a]);
      Report(what, 20, [&] { SearchVideos(url); });
      continue;
    }
    std::snprintf(what, sizeof what, "search '%s' (%ld rows), click to list painted", argv[a],
                  rows);
    Report(what, rows > 1000 ? 5 : 20, [&] { SearchVideos(url); });
    // The same search from a local copy of the page: everything but the network.
    String copy = TempDirectory() + "bench-page.txt";
    CopyFileA(TempFile(TEMP_RESULT_PAGE).c_str(), copy.c_str(), FALSE);
    const int runs = rows > 1000 ? 5 : 20;
    Report("  of it the scan and list fill (the page from a local file)", runs,
           [&] { ShowResultPage(copy); });
    std::vector<String> titles;
    Report("    of that the scan alone", runs, [&] { ScanResultPage(copy, titles); });
    Report("    of that the list fill alone", runs, [&] { FillResultList(titles); });
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("  working set with these rows in the list: %.1f MB\n",
                static_cast<double>(memory.WorkingSetSize) / (1 << 20));
    Report("  of it the painting of the window alone", 20, [] {
      RedrawWindow(WindowHandle(WIN_MAIN), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    });
    Report("  of it the painting of the list alone", 20, [] {
      RedrawWindow(GadgetHandle(GADGET_RESULT_LIST), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    });
    Report("  of it the page download alone", rows > 1000 ? 5 : 20,
           [&] { TransferFile(url, TempDirectory() + "bench.txt"); });
    if (rows == 0) continue;
    Report("  row 0: preview downloaded, decoded and shown", 20,
           [] { ShowPreview(g_app.pictureUrls[0]); });
    Report("    of it, once the picture has arrived: decoded and shown", 20,
           [] { ShowPreviewFile(TempFile(TEMP_PREVIEW)); });
    Report("  row 0: whole click (preview, labels, video page)", 20, [] { ChooseRow(0); });
  }
  return 0;
}
