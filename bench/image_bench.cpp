// Decoding a 640 x 360 JPEG (the size of a preview picture) and a 780 x 610 RGB PNG (the
// size of the main window's background) with the registered decoders into a pixel
// buffer; on Windows also the whole ImageFromMemory, DIB section included. Prints the
// best time per picture.
#include <cmath>
#include <cstdio>
#include <vector>

#include "decoder.h"
#include "picture_maker.h"
#include "timing.h"
#ifdef _WIN32
#include "image.h"
#endif

namespace {

// Something like a photograph: smooth gradients, a few hard edges and some grain, so that
// the encoders do the work real pictures give them.
uint8_t PhotoSample(int x, int y, int c, int width, int height) {
  double fx = static_cast<double>(x) / width, fy = static_cast<double>(y) / height;
  double v = 128 + 90 * std::sin(fx * 6.0 + c) * std::cos(fy * 4.0 - c * 0.5);
  if ((x / 80 + y / 60) % 5 == 0) v = 220 - c * 40;
  v += static_cast<int>((static_cast<uint32_t>(x * 7919 + y * 104729 + c * 31) * 2654435761u) >>
                        28) -
       8;
  return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

std::vector<uint8_t> PhotoJpeg(int width, int height) {
  JpegPicture p;
  p.width = width;
  p.height = height;
  p.quality = 85;
  p.subsample = true;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) p.samples.push_back(PhotoSample(x, y, c, width, height));
  return MakeJpeg(p);
}

std::vector<uint8_t> PhotoPng(int width, int height) {
  PngPicture p;
  p.width = width;
  p.height = height;
  p.colorType = 2;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) p.samples.push_back(PhotoSample(x, y, c, width, height));
  return MakePng(p);
}

// Check, decode and release, as the image service does; false when the picture failed.
bool Decode(const std::vector<uint8_t>& data, std::vector<uint8_t>* pixels) {
  DecoderSource source;
  DecoderSourceMemory(&source, data.data(), data.size());
  const ImageDecoder* decoder = DecoderFind(&source);
  bool ok = false;
  if (decoder) {
    long pitch = DecoderPitch(source.width, source.bitsPerPixel);
    pixels->resize(static_cast<size_t>(pitch) * source.height);
    ok = decoder->decode(&source, pixels->data(), pitch, DECODE_BOTTOM_UP) != 0;
  }
  DecoderSourceEnd(&source);
  return ok;
}

void Report(const char* what, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> pixels;
  if (!Decode(data, &pixels)) {
    std::printf("%s: decoding failed\n", what);
    return;
  }
  Timing t = TimeIt([&] { Decode(data, &pixels); });
  std::printf("%-28s %7zu bytes  decode %7.3f ms\n", what, data.size(), t.bestSeconds * 1e3);
#ifdef _WIN32
  Timing whole = TimeIt([&] {
    ImageFromMemory(1, data.data(), data.size());
    ImageFree(1);
  });
  std::printf("%-28s %7s        ImageFromMemory %7.3f ms\n", "", "", whole.bestSeconds * 1e3);
#endif
}

}  // namespace

int main() {
  JpegDecoderRegister();
  PngDecoderRegister();
  Report("JPEG 640x360 q85 4:2:0", PhotoJpeg(640, 360));
  Report("PNG 780x610 RGB", PhotoPng(780, 610));
#ifdef _WIN32
  ImagesEnd();
#endif
  return 0;
}
