// Alpha blending of gadget pictures (see alpha.h).
#include "alpha.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
HMODULE msimg32 = nullptr;
AlphaBlendFn alphaBlend = nullptr;
bool loaded = false;

AlphaBlendFn AlphaBlendEntry() {
  if (!loaded) {
    loaded = true;
    msimg32 = LoadLibraryA("msimg32.dll");
    if (msimg32)
      alphaBlend = reinterpret_cast<AlphaBlendFn>(
          reinterpret_cast<void*>(GetProcAddress(msimg32, "AlphaBlend")));
  }
  return alphaBlend;
}

}  // namespace

int AlphaNeeded(HBITMAP bitmap) {
  if (!bitmap || !AlphaBlendEntry()) return 0;
  DIBSECTION section;
  int size = GetObjectA(bitmap, sizeof section, &section);
  if (size == sizeof(DIBSECTION)) return section.dsBm.bmBitsPixel == 32 ? 1 : 0;
  if (size < static_cast<int>(sizeof(BITMAP)) || section.dsBm.bmBitsPixel != 32) return 0;
  LONG bytes = section.dsBm.bmWidthBytes * section.dsBm.bmHeight;
  if (bytes <= 0) return 0;
  std::vector<uint8_t> pixels(static_cast<size_t>(bytes));
  if (GetBitmapBits(bitmap, bytes, pixels.data()) != bytes) return 0;
  for (LONG i = 3; i < bytes; i += 4)
    if (pixels[static_cast<size_t>(i)]) return 1;
  return 0;
}

HBITMAP AlphaPremultipliedCopy(HBITMAP bitmap) {
  BITMAP info;
  if (!bitmap || GetObjectA(bitmap, sizeof info, &info) < static_cast<int>(sizeof info)) return 0;
  int width = info.bmWidth, height = info.bmHeight;
  if (width <= 0 || height <= 0) return 0;
  BITMAPINFO header = {};
  header.bmiHeader.biSize = sizeof header.bmiHeader;
  header.bmiHeader.biWidth = width;
  header.bmiHeader.biHeight = height;  // bottom-up, like the decoders' bitmaps
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 32;
  header.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP copy = CreateDIBSection(screen, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = copy && GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), bits, &header,
                              DIB_RGB_COLORS) == height;
  ReleaseDC(nullptr, screen);
  if (!ok) {
    if (copy) DeleteObject(copy);
    return 0;
  }
  GdiFlush();
  uint8_t* pixel = static_cast<uint8_t*>(bits);
  size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < count; ++i, pixel += 4) {
    unsigned alpha = pixel[3];
    if (alpha == 255) continue;
    pixel[0] = static_cast<uint8_t>((pixel[0] * alpha) >> 8);
    pixel[1] = static_cast<uint8_t>((pixel[1] * alpha) >> 8);
    pixel[2] = static_cast<uint8_t>((pixel[2] * alpha) >> 8);
  }
  return copy;
}

int AlphaDraw(HDC target, int x, int y, int width, int height, HBITMAP bitmap, int constantAlpha) {
  AlphaBlendFn blend = AlphaBlendEntry();
  BITMAP info;
  if (!blend || !bitmap || GetObjectA(bitmap, sizeof info, &info) < static_cast<int>(sizeof info))
    return 0;
  if (width == 0) width = info.bmWidth;
  if (height == 0) height = info.bmHeight;
  HDC memory = CreateCompatibleDC(target);
  if (!memory) return 0;
  HGDIOBJ old = SelectObject(memory, bitmap);
  BLENDFUNCTION function = {AC_SRC_OVER, 0, static_cast<BYTE>(constantAlpha), AC_SRC_ALPHA};
  BOOL ok = blend(target, x, y, width, height, memory, 0, 0, info.bmWidth, info.bmHeight, function);
  SelectObject(memory, old);
  DeleteDC(memory);
  return ok ? 1 : 0;
}

void AlphaEnd() {
  if (msimg32) FreeLibrary(msimg32);
  msimg32 = nullptr;
  alphaBlend = nullptr;
  loaded = false;
}
