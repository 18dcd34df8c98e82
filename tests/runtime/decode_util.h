// Runs one decoder over bytes in memory into a pixel buffer, the way the image service
// does with a DIB section, and reads pixels back.
#pragma once

#include <cstdint>
#include <vector>

#include "decoder.h"

struct Decoded {
  bool checked = false;  // the decoder recognised the data
  bool ok = false;       // and decoded it
  int width = 0, height = 0, bits = 0;
  long pitch = 0;
  bool bottomUp = true;
  std::vector<uint8_t> pixels;

  // Blue, green, red (and alpha) of the picture's point (x, y), y = 0 the first row.
  const uint8_t* At(int x, int y) const {
    int row = bottomUp ? height - 1 - y : y;
    return pixels.data() + static_cast<size_t>(row) * pitch + static_cast<size_t>(x) * (bits / 8);
  }
};

// Bytes after each row's pixels up to the pitch are set to this and must survive.
constexpr uint8_t kGuard = 0xCD;
constexpr long kExtraPitch = 8;

// Checks and decodes what `source` holds into guarded rows; the source is left open.
inline Decoded DecodeSource(const ImageDecoder& decoder, DecoderSource* source,
                            int flags = DECODE_BOTTOM_UP) {
  Decoded out;
  out.checked = decoder.check(source) != 0;
  if (out.checked) {
    out.width = source->width;
    out.height = source->height;
    out.bits = source->bitsPerPixel;
    out.pitch = DecoderPitch(out.width, out.bits) + kExtraPitch;
    out.bottomUp = (flags & DECODE_BOTTOM_UP) != 0;
    out.pixels.assign(static_cast<size_t>(out.pitch) * out.height, kGuard);
    out.ok = decoder.decode(source, out.pixels.data(), out.pitch, flags) != 0;
  }
  return out;
}

inline Decoded DecodeWith(const ImageDecoder& decoder, const std::vector<uint8_t>& data,
                          int flags = DECODE_BOTTOM_UP) {
  DecoderSource source;
  DecoderSourceMemory(&source, data.data(), data.size());
  Decoded out = DecodeSource(decoder, &source, flags);
  decoder.release(&source);
  return out;
}

// True when every byte between the end of a row's pixels and the pitch still holds kGuard.
inline bool GuardsIntact(const Decoded& d) {
  size_t used = static_cast<size_t>(d.width) * (d.bits / 8);
  for (int y = 0; y < d.height; ++y)
    for (size_t i = used; i < static_cast<size_t>(d.pitch); ++i)
      if (d.pixels[static_cast<size_t>(y) * d.pitch + i] != kGuard) return false;
  return true;
}
