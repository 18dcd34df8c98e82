// Tells the end-to-end test about the program's main window from outside. Run in the
// program's Wine prefix (same server) while the program runs:
//   window_probe style    style 0x... exstyle 0x... client WxH sizing N maximize N
//   window_probe cursor   cursor HANDLE hand|arrow|other|unreadable   (or: cursor none)
// The cursor is the one the system shows now (that of the thread under the mouse). It is
// named by comparing its mask and colour bits with those of the stock hand and arrow
// loaded here; Wine does not let one process read another's cursor bits, so there it is
// "unreadable" and only its handle tells one cursor from another. Exit code 1: no main
// window (style) or no cursor information.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The bits of a bitmap, or nothing when it cannot be read.
std::vector<unsigned char> BitsOf(HBITMAP bitmap) {
  std::vector<unsigned char> bits;
  BITMAP info;
  if (!bitmap || GetObjectA(bitmap, sizeof info, &info) != sizeof info) return bits;
  bits.resize(static_cast<size_t>(info.bmWidthBytes) * info.bmHeight);
  if (GetBitmapBits(bitmap, static_cast<LONG>(bits.size()), bits.data()) <= 0) bits.clear();
  return bits;
}

// The cursor's picture: mask bits then colour bits (empty when it cannot be read).
std::vector<unsigned char> PictureOf(HCURSOR cursor) {
  std::vector<unsigned char> picture;
  ICONINFO icon;
  if (!cursor || !GetIconInfo(cursor, &icon)) return picture;
  picture = BitsOf(icon.hbmMask);
  std::vector<unsigned char> colour = BitsOf(icon.hbmColor);
  picture.insert(picture.end(), colour.begin(), colour.end());
  if (icon.hbmMask) DeleteObject(icon.hbmMask);
  if (icon.hbmColor) DeleteObject(icon.hbmColor);
  return picture;
}

int Style() {
  HWND window = FindWindowA("WindowClass_100", nullptr);
  if (!window) return 1;
  LONG style = GetWindowLongA(window, GWL_STYLE);
  LONG exstyle = GetWindowLongA(window, GWL_EXSTYLE);
  RECT client = {};
  GetClientRect(window, &client);
  std::printf("style 0x%08lx exstyle 0x%08lx client %ldx%ld sizing %d maximize %d\n", style,
              exstyle, client.right, client.bottom, (style & WS_THICKFRAME) ? 1 : 0,
              (style & WS_MAXIMIZEBOX) ? 1 : 0);
  return 0;
}

int Cursor() {
  CURSORINFO info = {};
  info.cbSize = sizeof info;
  if (!GetCursorInfo(&info)) {
    std::fprintf(stderr, "window_probe: GetCursorInfo failed (error %lu)\n", GetLastError());
    return 1;
  }
  if (!info.hCursor || !(info.flags & CURSOR_SHOWING)) {
    std::printf("cursor none\n");
    return 0;
  }
  std::vector<unsigned char> shown = PictureOf(info.hCursor);
  const char* name = "other";
  if (shown.empty())
    name = "unreadable";
  else if (shown == PictureOf(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649))))  // IDC_HAND
    name = "hand";
  else if (shown == PictureOf(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512))))  // IDC_ARROW
    name = "arrow";
  std::printf("cursor %p %s\n", static_cast<void*>(info.hCursor), name);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "style") == 0) return Style();
  if (argc > 1 && std::strcmp(argv[1], "cursor") == 0) return Cursor();
  std::fprintf(stderr, "usage: window_probe style|cursor\n");
  return 2;
}
