// Alpha blending of gadget pictures (see alpha.h): the image service's alpha services,
// which own msimg32.dll and release it in ImagesEnd.
#include "alpha.h"

#include "image.h"

int AlphaNeeded(HBITMAP bitmap) { return ImageNeedsAlpha(bitmap); }

HBITMAP AlphaPremultipliedCopy(HBITMAP bitmap) { return ImagePremultipliedCopy(bitmap); }

int AlphaDraw(HDC target, int x, int y, int width, int height, HBITMAP bitmap, int constantAlpha) {
  return ImageAlphaDraw(target, x, y, width, height, bitmap, constantAlpha);
}
