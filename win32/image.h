// Numbered images (Windows): pictures decoded from memory or from a file into system
// bitmaps that the gadget toolkit and the window background show. BMP and icon data go
// through the system; PNG and JPEG through the registered decoders (decoder.h), into a
// bottom-up DIB section: 24 bits per pixel, or 32 with straight alpha.
//
// Also the alpha services the toolkit draws pictures with: whether a bitmap needs
// blending, its premultiplied copy, blending it (AlphaBlend from msimg32.dll, when the
// system has it) and a 1-bit mask for list pictures.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "objtable.h"
#include "text.h"

struct ImageRecord {
  intptr_t handle = 0;  // HBITMAP (a DIB section for decoded pictures) or HICON
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t bitsPerPixel = 0;  // of the bitmap, or of an icon's colour bitmap
  bool InUse() const { return handle != 0; }
};

// Creates the image table and loads AlphaBlend. Every image operation calls it when it has
// not run yet.
void ImagesInit();
// Frees every image and releases msimg32.dll (program end).
void ImagesEnd();

// Decodes a picture held in memory into image `number` (a number in use is freed first).
// Returns the bitmap or icon handle, for ANY_NUMBER the new number; 0 on failure, and the
// number is then free.
intptr_t ImageFromMemory(ObjectNumber number, const void* data, size_t size);
// The same for a file (a UTF-8 path, os.h), recognised by its content, whatever its name.
intptr_t ImageFromFile(ObjectNumber number, TextArg name);
// The image's bitmap or icon handle; 0 when the number is not in use.
intptr_t ImageHandle(ObjectNumber number);
int ImageWidth(ObjectNumber number);
int ImageHeight(ObjectNumber number);
int ImageDepth(ObjectNumber number);
// Deletes the bitmap or destroys the icon and frees the number.
void ImageFree(ObjectNumber number);

// 1 when AlphaBlend is available and the bitmap is a 32-bit DIB section, or a 32-bit
// device-dependent bitmap in which some pixel has a non-zero alpha byte; else 0.
int ImageNeedsAlpha(HBITMAP bitmap);
// A new 32-bit bottom-up DIB section of the bitmap in which each pixel with alpha below
// 255 has blue, green and red replaced by (value * alpha) >> 8; 0 on failure. The caller
// deletes it.
HBITMAP ImagePremultipliedCopy(HBITMAP bitmap);
// Blends a premultiplied bitmap onto `target` at (x, y) with per-pixel alpha and the given
// constant alpha; a width or height of 0 takes the bitmap's own. 0 when AlphaBlend is not
// available or the bitmap cannot be read.
int ImageAlphaDraw(HDC target, int x, int y, int width, int height, HBITMAP bitmap,
                   int constantAlpha);
// A new bottom-up DIB section of the size and bits per pixel, all zero, with its pixels in
// *pixels; 0 (and *pixels null) on failure. The caller deletes it.
HBITMAP ImageCreateSection(int width, int height, int bits, void** pixels);
// A new 32-bit bottom-up DIB section holding the bitmap resampled to width x height with a
// smoothing filter (a tent filter as wide as a source pixel or a target pixel, whichever
// is wider: bilinear when enlarging, averaging every covered pixel when reducing). All four
// bytes of a pixel are filtered alike, so a premultiplied picture stays premultiplied.
// 0 on failure or for an empty size; the caller deletes it.
HBITMAP ImageScaledCopy(HBITMAP bitmap, int width, int height);
// A 1-bit bitmap of the same size: unless the system draws alpha pictures in themed
// controls itself (SystemThemedLook, startup.h), for a 32-bit bitmap that has some
// non-zero alpha, black where alpha is non-zero and white elsewhere; otherwise all black.
// 0 on failure; the caller deletes it.
HBITMAP ImageMask(HBITMAP bitmap);
