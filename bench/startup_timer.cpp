// Times programs from their start to their first visible window, inside Windows (or Wine),
// in rounds that alternate the programs, so that each figure has its references beside it
// in the same conditions:
//   startup_timer ROUNDS PROGRAM...
// Each start waits until the previous program has ended and 0.3 s more; a program is asked
// to close (WM_CLOSE to its window) once its window shows, and ended after 10 s otherwise.
// Prints min / median / max per program and each program's median against the first's.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "timing.h"

namespace {

constexpr DWORD SETTLE_MS = 300;

struct Search {
  DWORD process;
  HWND found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM parameter) {
  Search* search = reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process || !IsWindowVisible(window)) return TRUE;
  RECT rect;
  GetWindowRect(window, &rect);
  if (rect.right - rect.left < 50) return TRUE;  // not a real window (IME, tooltips)
  search->found = window;
  return FALSE;
}

// Milliseconds from CreateProcess to the first visible window; -1 when none came.
double TimeOne(const char* program) {
  std::string command = std::string("\"") + program + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  double start = NowMs();
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return -1;
  Search search{process.dwProcessId, nullptr};
  double shown = -1;
  while (NowMs() - start < 10000) {
    EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      shown = NowMs() - start;
      break;
    }
    if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) break;
  }
  if (search.found) PostMessageA(search.found, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
    TerminateProcess(process.hProcess, 1);
  WaitForSingleObject(process.hProcess, 5000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  // The system goes on tidying up after a process for a moment (under Wine the window
  // server and the X server): the next start should not pay for it.
  Sleep(SETTLE_MS);
  return shown;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: startup_timer ROUNDS PROGRAM...\n");
    return 2;
  }
  int rounds = std::max(1, std::atoi(argv[1]));
  int programs = argc - 2;
  std::vector<std::vector<double>> times(static_cast<size_t>(programs));
  for (int p = 0; p < programs; ++p) TimeOne(argv[2 + p]);  // warm the caches once
  for (int round = 0; round < rounds; ++round) {
    for (int k = 0; k < programs; ++k) {
      int p = (round % 2 == 0) ? k : programs - 1 - k;  // alternate the order
      double ms = TimeOne(argv[2 + p]);
      if (ms >= 0) times[static_cast<size_t>(p)].push_back(ms);
    }
  }
  double reference = 0;
  for (int p = 0; p < programs; ++p) {
    std::vector<double>& t = times[static_cast<size_t>(p)];
    if (t.empty()) {
      std::printf("%s: no window in any round\n", argv[2 + p]);
      continue;
    }
    std::sort(t.begin(), t.end());
    double median = t[t.size() / 2];
    if (p == 0) reference = median;
    std::printf("%s: start to window shown min %.0f ms, median %.0f ms, max %.0f ms (%zu runs)",
                argv[2 + p], t.front(), median, t.back(), t.size());
    if (p > 0 && reference > 0) std::printf(", %.2f x the first", median / reference);
    std::printf("\n");
  }
  return 0;
}
