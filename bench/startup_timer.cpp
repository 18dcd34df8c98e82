// Times programs from their start to two moments, inside Windows (or Wine), in rounds that
// alternate the programs, so that each figure has its references beside it in the same
// conditions:
//   startup_timer [--watch MS] [--pictures DIR] ROUNDS PROGRAM...
// - shown: the program's first visible window;
// - complete: the window's pixels on the screen are those it ends with. From the moment it
//   shows, the window's rectangle is read from the screen (what the display shows, not what
//   the program would paint on request) as often as the reading allows, for MS milliseconds
//   from the start (default 2500). The pictures seen in the last SETTLE_MS of that time are
//   the final ones (a blinking caret makes two); complete is the first reading from which on
//   the screen shows only final pictures.
// Each start waits until the previous program has ended and 0.3 s more; a program is asked
// to close (WM_CLOSE to its window) once the watch is over, and ended after 10 s otherwise.
// Prints min / median / max of both moments per program, each median against those of the
// programs named before it (and the median of the same ratio taken round by round), and,
// for programs whose windows have the same size, in how many rounds their final pictures
// were the same bytes. With --pictures, the final pictures of the last round are written
// to DIR as PROGRAM-N.bmp.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "timing.h"

namespace {

constexpr DWORD SETTLE_MS = 300;
// Longer than a caret's blink (about 0.5 s), so that both of its pictures are final.
constexpr double FINAL_MS = 800;
constexpr int NARROWEST_WINDOW = 50;  // narrower ones are no real windows (IME, tooltips)

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
  if (rect.right - rect.left < NARROWEST_WINDOW) return TRUE;
  search->found = window;
  return FALSE;
}

// Reads a rectangle of the screen into a 32-bit top-down bitmap of its size.
class ScreenReader {
 public:
  ScreenReader() : screen_(GetDC(nullptr)), memory_(CreateCompatibleDC(screen_)) {}
  ~ScreenReader() {
    Drop();
    DeleteDC(memory_);
    ReleaseDC(nullptr, screen_);
  }
  // The pixels of `rect` as the screen shows them now; null when they cannot be read.
  const uint32_t* Read(const RECT& rect) {
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return nullptr;
    if (width != width_ || height != height_) {
      Drop();
      BITMAPINFO info = {};
      info.bmiHeader.biSize = sizeof info.bmiHeader;
      info.bmiHeader.biWidth = width;
      info.bmiHeader.biHeight = -height;
      info.bmiHeader.biPlanes = 1;
      info.bmiHeader.biBitCount = 32;
      void* bits = nullptr;
      section_ = CreateDIBSection(memory_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
      if (!section_) return nullptr;
      old_ = SelectObject(memory_, section_);
      bits_ = static_cast<uint32_t*>(bits);
      width_ = width;
      height_ = height;
    }
    if (!BitBlt(memory_, 0, 0, width, height, screen_, rect.left, rect.top, SRCCOPY))
      return nullptr;
    GdiFlush();
    return bits_;
  }
  size_t Pixels() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  void Drop() {
    if (!section_) return;
    SelectObject(memory_, old_);
    DeleteObject(section_);
    section_ = nullptr;
    bits_ = nullptr;
    width_ = height_ = 0;
  }
  HDC screen_;
  HDC memory_;
  HBITMAP section_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint32_t* bits_ = nullptr;
  int width_ = 0, height_ = 0;
};

// FNV-1a over the pixels, a word at a time (the alpha byte, which the screen leaves
// undefined, masked off).
uint64_t PictureHash(const uint32_t* pixels, size_t count) {
  uint64_t hash = 1469598103934665603ull;
  for (size_t i = 0; i < count; ++i) {
    hash ^= pixels[i] & 0xFFFFFFu;
    hash *= 1099511628211ull;
  }
  return hash;
}

struct Frame {
  double ms;  // from the start, when the reading was done
  uint64_t hash;
};

struct Picture {
  uint64_t hash;
  std::vector<uint32_t> pixels;
};

struct Run {
  double shown = -1;
  double complete = -1;
  int width = 0, height = 0;
  double readingMs = 0;  // the mean time between two readings of the screen
  std::set<uint64_t> finals;
  std::vector<Picture> finalPictures;  // the pixels of each final picture
};

// Watches the window from the moment it shows until `watchMs` after the start.
void WatchWindow(HWND window, double start, double watchMs, Run& run) {
  ScreenReader reader;
  std::vector<Frame> frames;
  std::vector<Picture> pictures;  // the last pixels seen of each picture, for the finals
  const double watchFrom = NowMs();
  int readings = 0;
  while (NowMs() - start < watchMs) {
    RECT rect;
    if (!IsWindow(window) || !GetWindowRect(window, &rect)) break;
    const uint32_t* pixels = reader.Read(rect);
    double at = NowMs() - start;
    if (!pixels) {
      Sleep(1);
      continue;
    }
    ++readings;
    uint64_t hash = PictureHash(pixels, reader.Pixels());
    if (frames.empty() || frames.back().hash != hash) {
      frames.push_back({at, hash});
      auto same = std::find_if(pictures.begin(), pictures.end(),
                               [&](const Picture& p) { return p.hash == hash; });
      if (same == pictures.end()) same = pictures.insert(pictures.end(), Picture{hash, {}});
      same->pixels.assign(pixels, pixels + reader.Pixels());
    }
    run.width = reader.Width();
    run.height = reader.Height();
    Sleep(1);  // leave the processor to the program now and then
  }
  if (frames.empty()) return;
  run.readingMs = (NowMs() - watchFrom) / readings;
  // The final pictures: the one showing when the last FINAL_MS began, and all after it.
  double finalFrom = NowMs() - start - FINAL_MS;
  size_t first = frames.size() - 1;
  while (first > 0 && frames[first].ms > finalFrom) --first;
  for (size_t i = first; i < frames.size(); ++i) run.finals.insert(frames[i].hash);
  // Complete: after the last reading that showed something else.
  size_t from = frames.size();
  while (from > 0 && run.finals.count(frames[from - 1].hash)) --from;
  run.complete = frames[from].ms;
  for (Picture& picture : pictures)
    if (run.finals.count(picture.hash)) run.finalPictures.push_back(std::move(picture));
}

Run TimeOne(const char* program, double watchMs) {
  Run run;
  std::string command = std::string("\"") + program + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  double start = NowMs();
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return run;
  Search search{process.dwProcessId, nullptr};
  while (NowMs() - start < 10000) {
    EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      run.shown = NowMs() - start;
      break;
    }
    if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) break;
  }
  if (search.found) {
    WatchWindow(search.found, start, watchMs, run);
    PostMessageA(search.found, WM_CLOSE, 0, 0);
  }
  if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
    TerminateProcess(process.hProcess, 1);
  WaitForSingleObject(process.hProcess, 5000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  // The system goes on tidying up after a process for a moment (under Wine the window
  // server and the X server): the next start should not pay for it.
  Sleep(SETTLE_MS);
  return run;
}

void WriteBitmap(const std::string& path, const Picture& picture, int width, int height) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return;
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = -height;
  info.biPlanes = 1;
  info.biBitCount = 32;
  DWORD bytes = static_cast<DWORD>(picture.pixels.size() * 4);
  BITMAPFILEHEADER head = {};
  head.bfType = 0x4D42;
  head.bfOffBits = sizeof head + sizeof info;
  head.bfSize = head.bfOffBits + bytes;
  std::fwrite(&head, sizeof head, 1, file);
  std::fwrite(&info, sizeof info, 1, file);
  std::fwrite(picture.pixels.data(), 1, bytes, file);
  std::fclose(file);
}

std::string Stem(const char* program) {
  std::string name(program);
  size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

struct Summary {
  double min, median, max;
};

Summary Summarise(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return {values.front(), values[values.size() / 2], values.back()};
}

// The median over the rounds of a's moment ÷ b's in the same round: two programs started
// one right after the other meet the same load, so the machine's drift from round to round
// falls out of the ratio. Rounds where either has no reading are left out; 0 when none is
// left.
double RoundRatio(const std::vector<Run>& a, const std::vector<Run>& b, double Run::*moment) {
  std::vector<double> ratios;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (a[i].*moment > 0 && b[i].*moment > 0) ratios.push_back(a[i].*moment / b[i].*moment);
  return ratios.empty() ? 0 : Summarise(ratios).median;
}

}  // namespace

int main(int argc, char** argv) {
  double watchMs = 2500;
  const char* picturesDir = nullptr;
  int arg = 1;
  for (; arg + 1 < argc && argv[arg][0] == '-'; arg += 2) {
    if (std::strcmp(argv[arg], "--watch") == 0) watchMs = std::atof(argv[arg + 1]);
    if (std::strcmp(argv[arg], "--pictures") == 0) picturesDir = argv[arg + 1];
  }
  if (argc - arg < 2 || watchMs < 2 * FINAL_MS) {
    std::fprintf(stderr,
                 "usage: startup_timer [--watch MS (at least %.0f)] [--pictures DIR] "
                 "ROUNDS PROGRAM...\n",
                 2 * FINAL_MS);
    return 2;
  }
  int rounds = std::max(1, std::atoi(argv[arg]));
  char** names = argv + arg + 1;
  int programs = argc - arg - 1;
  // No pointer over the windows: a hover would change their pictures.
  SetCursorPos(0, 0);
  std::vector<std::vector<Run>> runs(static_cast<size_t>(programs));
  for (int p = 0; p < programs; ++p) TimeOne(names[p], watchMs);  // warm the caches once
  for (int round = 0; round < rounds; ++round) {
    for (int k = 0; k < programs; ++k) {
      int p = (round % 2 == 0) ? k : programs - 1 - k;  // alternate the order
      runs[static_cast<size_t>(p)].push_back(TimeOne(names[p], watchMs));
    }
  }

  std::vector<Summary> shown(static_cast<size_t>(programs)), complete(shown);
  std::vector<bool> measured(static_cast<size_t>(programs), false);
  for (int p = 0; p < programs; ++p) {
    std::vector<double> s, c, reading;
    for (const Run& run : runs[static_cast<size_t>(p)]) {
      if (run.shown >= 0) s.push_back(run.shown);
      if (run.complete >= 0) c.push_back(run.complete);
      if (run.complete >= 0) reading.push_back(run.readingMs);
    }
    if (s.empty() || c.empty()) {
      std::printf("%s: no window in %zu of %d rounds\n", names[p], rounds - s.size(), rounds);
      continue;
    }
    measured[static_cast<size_t>(p)] = true;
    shown[static_cast<size_t>(p)] = Summarise(s);
    complete[static_cast<size_t>(p)] = Summarise(c);
    const Summary& a = shown[static_cast<size_t>(p)];
    const Summary& b = complete[static_cast<size_t>(p)];
    std::printf(
        "%s: shown min %.0f median %.0f max %.0f ms; complete min %.0f median %.0f max %.0f ms "
        "(%zu runs; the screen read every %.1f ms)\n",
        names[p], a.min, a.median, a.max, b.min, b.median, b.max, c.size(),
        Summarise(reading).median);
    for (int q = 0; q < p; ++q) {
      if (!measured[static_cast<size_t>(q)]) continue;
      const std::vector<Run>& mine = runs[static_cast<size_t>(p)];
      const std::vector<Run>& theirs = runs[static_cast<size_t>(q)];
      std::printf(
          "  / %s: shown %.2f x, complete %.2f x (medians); round by round %.2f x, %.2f x\n",
          names[q], a.median / shown[static_cast<size_t>(q)].median,
          b.median / complete[static_cast<size_t>(q)].median, RoundRatio(mine, theirs, &Run::shown),
          RoundRatio(mine, theirs, &Run::complete));
    }
  }

  // Programs that show a window of the same size should show the same picture.
  for (int p = 0; p < programs; ++p) {
    for (int q = p + 1; q < programs; ++q) {
      const Run& a = runs[static_cast<size_t>(p)].front();
      const Run& b = runs[static_cast<size_t>(q)].front();
      if (a.width == 0 || a.width != b.width || a.height != b.height) continue;
      int same = 0;
      for (int round = 0; round < rounds; ++round)
        same += runs[static_cast<size_t>(p)][static_cast<size_t>(round)].finals ==
                runs[static_cast<size_t>(q)][static_cast<size_t>(round)].finals;
      std::printf("final pictures of %s and %s: the same bytes in %d of %d rounds\n", names[p],
                  names[q], same, rounds);
    }
  }

  if (picturesDir) {
    for (int p = 0; p < programs; ++p) {
      const Run& run = runs[static_cast<size_t>(p)].back();
      int n = 0;
      for (const Picture& picture : run.finalPictures)
        WriteBitmap(
            std::string(picturesDir) + "\\" + Stem(names[p]) + "-" + std::to_string(++n) + ".bmp",
            picture, run.width, run.height);
    }
  }
  return 0;
}
