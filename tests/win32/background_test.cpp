// Window background pictures under Wine: the picture is tiled in columns and clipped at
// the edges (read back from the window), a second picture reuses the window's entry
// without subclassing again, and the other messages still reach the window's procedure.
#include "background.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <vector>

namespace {

constexpr UINT kProbe = WM_APP + 7;
int probes = 0;
int destroyed = 0;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kProbe) return ++probes;
  if (message == WM_NCDESTROY) ++destroyed;
  return DefWindowProcA(window, message, wParam, lParam);
}

class BackgroundTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = CountingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "vs-background-test";
    RegisterClassA(&windowClass);
  }
  void TearDown() override {
    for (HWND window : windows_)
      if (IsWindow(window)) DestroyWindow(window);
    for (HBITMAP bitmap : bitmaps_) DeleteObject(bitmap);
    BackgroundsEnd();
  }

  // A visible window with a client area of the given size and its own class brush.
  HWND Open(int width, int height) {
    brush_ = CreateSolidBrush(RGB(1, 2, 3));
    HGDIOBJ old = reinterpret_cast<HGDIOBJ>(
        SetClassLongPtrA(Probe(), GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush_)));
    if (old && GetObjectType(old) == OBJ_BRUSH) DeleteObject(old);
    RECT outer = {0, 0, width, height};
    AdjustWindowRect(&outer, WS_POPUP, FALSE);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "vs-background-test", "", WS_POPUP | WS_VISIBLE,
                                  20 + 220 * static_cast<int>(windows_.size() % 4), 20,
                                  outer.right - outer.left, outer.bottom - outer.top, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    windows_.push_back(window);
    Pump();
    return window;
  }
  // A hidden window of the class, to reach the class before the first test window exists.
  HWND Probe() {
    if (!probe_) {
      probe_ = CreateWindowA("vs-background-test", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
      windows_.push_back(probe_);
    }
    return probe_;
  }
  // A 24-bit bitmap whose pixel (x, y) has the colour `color(x, y)`.
  HBITMAP Picture(int width, int height, const std::function<COLORREF(int, int)>& color) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    int pitch = ((width * 3) + 3) & ~3;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        uint8_t* p = static_cast<uint8_t*>(bits) + y * pitch + x * 3;
        COLORREF c = color(x, y);
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
      }
    bitmaps_.push_back(bitmap);
    return bitmap;
  }
  static void Pump() {
    MSG message;
    for (int i = 0; i < 5; ++i) {
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
      Sleep(10);
    }
  }
  // The client area as the window shows it, top-down, one COLORREF per pixel.
  static std::vector<COLORREF> ClientPixels(HWND window, int width, int height) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Pump();
    HDC windowDc = GetDC(window);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP copy = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(windowDc);
    HGDIOBJ old = SelectObject(memory, copy);
    BitBlt(memory, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<COLORREF> pixels;
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    for (int i = 0; i < width * height; ++i)
      pixels.push_back(RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF));
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(copy);
    ReleaseDC(window, windowDc);
    return pixels;
  }

  std::vector<HWND> windows_;
  std::vector<HBITMAP> bitmaps_;
  HWND probe_ = nullptr;
  HBRUSH brush_ = nullptr;
};

COLORREF Tile(int x, int y) { return RGB(x * 3, y * 5, 40 + (x / 8 + y / 8) * 20); }

// Counts the pixels of the client area that differ from `expected(x, y)`.
int Differences(const std::vector<COLORREF>& shown, int width, int height,
                const std::function<COLORREF(int, int)>& expected) {
  int wrong = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (shown[static_cast<size_t>(y) * width + x] != expected(x, y)) {
        if (++wrong <= 3)
          ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex
                        << shown[static_cast<size_t>(y) * width + x] << ", expected "
                        << expected(x, y);
      }
  return wrong;
}

TEST_F(BackgroundTest, SmallPictureIsTiledOverTheWholeClientArea) {
  HWND window = Open(200, 150);
  HBITMAP picture = Picture(64, 40, Tile);
  ASSERT_EQ(WindowSetBackgroundPicture(window, picture), 1);
  std::vector<COLORREF> shown = ClientPixels(window, 200, 150);
  EXPECT_EQ(Differences(shown, 200, 150, [](int x, int y) { return Tile(x % 64, y % 40); }), 0);
  // The class brush is gone and was deleted; the picture stays its owner's.
  EXPECT_EQ(GetClassLongPtrA(window, GCLP_HBRBACKGROUND), 0);
  EXPECT_EQ(GetObjectType(brush_), 0u);
  EXPECT_EQ(GetObjectType(picture), static_cast<DWORD>(OBJ_BITMAP));
}

TEST_F(BackgroundTest, LargePictureIsClippedNotScaled) {
  HWND window = Open(120, 90);
  HBITMAP picture = Picture(300, 200, [](int x, int y) { return RGB(x % 256, y, (x + y) % 256); });
  ASSERT_NE(WindowSetBackgroundPicture(window, picture), 0);
  std::vector<COLORREF> shown = ClientPixels(window, 120, 90);
  EXPECT_EQ(
      Differences(shown, 120, 90, [](int x, int y) { return RGB(x % 256, y, (x + y) % 256); }), 0);
}

TEST_F(BackgroundTest, SecondPictureReusesTheEntryAndTheSubclass) {
  HWND first = Open(100, 60);
  HWND second = Open(50, 50);
  int entry = WindowSetBackgroundPicture(first, Picture(10, 10, Tile));
  ASSERT_NE(entry, 0);
  LONG_PTR procedure = GetWindowLongPtrA(first, GWLP_WNDPROC);
  EXPECT_NE(procedure, reinterpret_cast<LONG_PTR>(CountingProc));
  EXPECT_EQ(WindowSetBackgroundPicture(second, Picture(5, 5, Tile)), entry + 1);

  HBITMAP flat = Picture(30, 30, [](int, int) { return RGB(10, 200, 30); });
  EXPECT_EQ(WindowSetBackgroundPicture(first, flat), entry);
  EXPECT_EQ(GetWindowLongPtrA(first, GWLP_WNDPROC), procedure);
  // Other messages reach the window's own procedure exactly once.
  probes = 0;
  EXPECT_EQ(SendMessageA(first, kProbe, 0, 0), 1);
  EXPECT_EQ(probes, 1);
  std::vector<COLORREF> shown = ClientPixels(first, 100, 60);
  EXPECT_EQ(Differences(shown, 100, 60, [](int, int) { return RGB(10, 200, 30); }), 0);

  // A destroyed window gives its entry up, and its own procedure still saw the end.
  destroyed = 0;
  DestroyWindow(first);
  EXPECT_EQ(destroyed, 1);
  HWND third = Open(20, 20);
  EXPECT_EQ(WindowSetBackgroundPicture(third, flat), entry);
}

TEST_F(BackgroundTest, MissingHandlesAndNonBitmapsAreRefused) {
  HWND window = Open(20, 20);
  HBITMAP picture = Picture(4, 4, Tile);
  EXPECT_EQ(WindowSetBackgroundPicture(nullptr, picture), 0);
  EXPECT_EQ(WindowSetBackgroundPicture(window, nullptr), 0);
  HBRUSH brush = CreateSolidBrush(RGB(0, 0, 0));
  EXPECT_EQ(WindowSetBackgroundPicture(window, reinterpret_cast<HBITMAP>(brush)), 0);
  DeleteObject(brush);
  // Nothing was attached to the window.
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(CountingProc));
}

TEST_F(BackgroundTest, PicturesStillDrawAfterTheSharedContextIsReleased) {
  HWND window = Open(40, 40);
  ASSERT_NE(WindowSetBackgroundPicture(window, Picture(16, 16, Tile)), 0);
  BackgroundsEnd();
  std::vector<COLORREF> shown = ClientPixels(window, 40, 40);
  EXPECT_EQ(Differences(shown, 40, 40, [](int x, int y) { return Tile(x % 16, y % 16); }), 0);
}

TEST_F(BackgroundTest, PictureDrawnForAnotherDpiIsShownAtTheWindowsScale) {
  HWND window = Open(60, 20);
  // Drawn for 192 DPI: 40 x 20 pixels, red on the left half, blue on the right.
  HBITMAP picture =
      Picture(40, 20, [](int x, int) { return x < 20 ? RGB(255, 0, 0) : RGB(0, 0, 255); });
  ASSERT_NE(WindowSetBackgroundPicture(window, picture, 192), 0);
  // At 96 DPI it is half as large: tiles of 20 x 10, away from the smoothed seams.
  std::vector<COLORREF> shown = ClientPixels(window, 60, 20);
  EXPECT_EQ(shown[2 * 60 + 4], RGB(255, 0, 0));
  EXPECT_EQ(shown[2 * 60 + 15], RGB(0, 0, 255));
  EXPECT_EQ(shown[15 * 60 + 24], RGB(255, 0, 0));
  // Moved to a 192-DPI display, it is shown pixel for pixel.
  RECT place;
  GetWindowRect(window, &place);
  SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&place));
  shown = ClientPixels(window, 60, 20);
  EXPECT_EQ(Differences(shown, 60, 20,
                        [](int x, int) { return x % 40 < 20 ? RGB(255, 0, 0) : RGB(0, 0, 255); }),
            0);
}

}  // namespace
