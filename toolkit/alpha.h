// Per-pixel alpha for pictures shown by gadgets: whether a bitmap needs alpha blending,
// its premultiplied copy, and drawing that copy. These are the image service's alpha
// services (image.h): AlphaBlend comes from msimg32.dll, which the image service loads
// and ImagesEnd releases; without it no bitmap counts as needing alpha and pictures are
// drawn opaque.
#pragma once

#include <windows.h>

// 1 when AlphaBlend is available and the bitmap is a 32-bit DIB section, or a 32-bit
// device-dependent bitmap in which some pixel has a non-zero alpha byte; else 0.
int AlphaNeeded(HBITMAP bitmap);
// A new 32-bit DIB section (same size and row order) in which each pixel with alpha
// below 255 has blue, green and red replaced by (value * alpha) >> 8. 0 on failure.
HBITMAP AlphaPremultipliedCopy(HBITMAP bitmap);
// Draws a premultiplied bitmap with per-pixel alpha; width or height 0 takes the bitmap's
// own size. 0 when AlphaBlend is not available or the bitmap cannot be read.
int AlphaDraw(HDC target, int x, int y, int width, int height, HBITMAP bitmap, int constantAlpha);
