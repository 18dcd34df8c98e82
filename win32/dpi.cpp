// Display scale (see dpi.h).
#include "dpi.h"

#include "startup.h"

namespace {

using DpiForWindowFn = UINT(WINAPI*)(HWND);
using DpiForSystemFn = UINT(WINAPI*)();
using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using MetricForDpiFn = int(WINAPI*)(int, UINT);

// The functions of Windows 10 and later, looked up once; null on older systems.
struct DpiFunctions {
  DpiForWindowFn forWindow = nullptr;
  DpiForSystemFn forSystem = nullptr;
  AdjustForDpiFn adjust = nullptr;
  MetricForDpiFn metric = nullptr;
};

const DpiFunctions& Functions() {
  static const DpiFunctions functions = [] {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    DpiFunctions found;
    found.forWindow = LibraryEntry<DpiForWindowFn>(user32, "GetDpiForWindow");
    found.forSystem = LibraryEntry<DpiForSystemFn>(user32, "GetDpiForSystem");
    found.adjust = LibraryEntry<AdjustForDpiFn>(user32, "AdjustWindowRectExForDpi");
    found.metric = LibraryEntry<MetricForDpiFn>(user32, "GetSystemMetricsForDpi");
    return found;
  }();
  return functions;
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : BASE_DPI;
}

}  // namespace

int SystemDpi() {
  static const int dpi = [] {
    const DpiFunctions& functions = Functions();
    int system = functions.forSystem ? static_cast<int>(functions.forSystem()) : 0;
    return system > 0 ? system : ScreenDpi();
  }();
  return dpi;
}

int DpiOfWindow(HWND window) {
  const DpiFunctions& functions = Functions();
  int dpi = functions.forWindow && window ? static_cast<int>(functions.forWindow(window)) : 0;
  return dpi > 0 ? dpi : SystemDpi();
}

void DpiAdjustWindowRect(RECT* rect, DWORD style, bool menu, DWORD extendedStyle, int dpi) {
  const DpiFunctions& functions = Functions();
  if (!functions.adjust ||
      !functions.adjust(rect, style, menu, extendedStyle, static_cast<UINT>(dpi)))
    AdjustWindowRectEx(rect, style, menu, extendedStyle);
}

int DpiSystemMetric(int index, int dpi) {
  const DpiFunctions& functions = Functions();
  if (functions.metric) return functions.metric(index, static_cast<UINT>(dpi));
  return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}

namespace {

// The line height of `font` with the given character height (negative, as LOGFONT has
// it); 0 when it cannot be measured.
int LineHeight(HDC dc, LOGFONTW font, int height) {
  font.lfHeight = height;
  font.lfWidth = 0;
  HFONT made = CreateFontIndirectW(&font);
  if (!made) return 0;
  HGDIOBJ old = SelectObject(dc, made);
  TEXTMETRICW metrics;
  int line = GetTextMetricsW(dc, &metrics) ? metrics.tmHeight : 0;
  SelectObject(dc, old);
  DeleteObject(made);
  return line;
}

}  // namespace

HFONT DpiScaledFont(HFONT systemFont, int dpi) {
  LOGFONTW font;
  if (!systemFont || GetObjectW(systemFont, sizeof font, &font) != sizeof font) return nullptr;
  int system = SystemDpi();
  if (dpi == system && system == BASE_DPI) return systemFont;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return nullptr;
  int baseHeight = MulDiv(font.lfHeight, BASE_DPI, system);  // the size at 96 DPI
  int most = DpiScale(LineHeight(dc, font, baseHeight), dpi);
  // From the nominal size down, the first whose lines are not taller than the layout's.
  int height = MulDiv(baseHeight, dpi, BASE_DPI);
  int step = height < 0 ? 1 : -1;
  for (int tries = 0; tries < 8 && LineHeight(dc, font, height) > most && height + step != 0;
       ++tries)
    height += step;
  DeleteDC(dc);
  if (height == font.lfHeight) return systemFont;
  font.lfHeight = height;
  font.lfWidth = 0;
  return CreateFontIndirectW(&font);
}

int NearestDrawnDpi(const int* drawnFor, int count, int dpi) {
  int chosen = -1;
  for (int i = 0; i < count; ++i) {
    if (chosen < 0) {
      chosen = i;
      continue;
    }
    bool covers = drawnFor[i] >= dpi, chosenCovers = drawnFor[chosen] >= dpi;
    // Among those that cover the DPI the smallest, otherwise the largest.
    bool better = covers != chosenCovers ? covers
                  : covers               ? drawnFor[i] < drawnFor[chosen]
                                         : drawnFor[i] > drawnFor[chosen];
    if (better) chosen = i;
  }
  return chosen;
}
