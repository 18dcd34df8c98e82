// The body shared by the picture decoder fuzz targets.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "decoder.h"

inline void FuzzDecoder(const ImageDecoder& decoder, const uint8_t* data, size_t size) {
  DecoderSource source;
  DecoderSourceMemory(&source, data, size);
  if (decoder.check(&source)) {
    if (!ImageSizeAllowed(source.width, source.height) ||
        (source.bitsPerPixel != 24 && source.bitsPerPixel != 32) || !source.state)
      abort();
    // Rows with a spare byte each, so that a write past a row shows as a changed guard.
    // The fuzz build's pixel cap (VS_FUZZ_MAX_PIXELS) keeps these buffers small.
    long pitch = DecoderPitch(source.width, source.bitsPerPixel) + 1;
    long used = static_cast<long>(source.width) * (source.bitsPerPixel / 8);
    std::vector<uint8_t> pixels(static_cast<size_t>(pitch) * source.height, 0xA5);
    int flags = size % 2 ? DECODE_BOTTOM_UP : 0;
    decoder.decode(&source, pixels.data(), pitch, flags);
    for (int y = 0; y < source.height; ++y)
      for (long x = used; x < pitch; ++x)
        if (pixels[static_cast<size_t>(y) * pitch + x] != 0xA5) abort();
  } else if (source.state) {
    abort();  // a refused picture keeps nothing
  }
  decoder.release(&source);
  if (source.state) abort();
}
