// Picture decoders: a registry of decoders tried in registration order, the source record
// they read from (bytes in memory or a buffered file) and the PNG and JPEG decoders.
//
// A decoder writes straight into pixel memory that its caller provides (on Windows the bits
// of a DIB section): rows of `pitch` bytes, blue-green-red order, 3 bytes per pixel
// without alpha or 4 with straight (not premultiplied) alpha, 255 = opaque. The code is
// portable, so that it is tested, fuzzed and benchmarked natively as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Pictures larger than this are refused by every decoder while it reads the header, before
// the picture's memory is asked for: a downloaded file that promises 60000 x 60000 pixels
// must not make the program allocate gigabytes. Each side is at most 16384 pixels and the
// whole at most 4 megapixels (16 MiB as a 32-bit bitmap): far more than the program shows
// (previews of 160 x 120, its own 780 x 610 background), and a bound on how long a hostile
// picture holds the window: a few hundred bytes can promise a progressive JPEG whose
// check alone reads every scan into whole-picture buffers (at 25 megapixels that took
// 0.8-3.3 s and 220 MB).
constexpr long IMAGE_MAX_SIDE = 16384;
#ifdef VS_FUZZ_MAX_PIXELS
// The fuzz build refuses from a lower count still, so that under the sanitizers the fuzzer
// spends its time in the parsing code rather than in whole-picture buffers.
constexpr long long IMAGE_MAX_PIXELS = VS_FUZZ_MAX_PIXELS;
#else
constexpr long long IMAGE_MAX_PIXELS = 1LL << 22;
#endif
// A JPEG file source is read whole into memory; larger files are refused.
constexpr long JPEG_MAX_FILE_BYTES = 64L << 20;

// Non-zero when a picture of this size may be decoded.
int ImageSizeAllowed(long long width, long long height);

// Decode flag: the first picture row goes to the last row of the pixel memory (the row
// order of a bottom-up DIB section).
constexpr int DECODE_BOTTOM_UP = 2;

struct ImageDecoder;

// What a decoder reads from. Zeroed before each use (DecoderSourceMemory/-File do that).
struct DecoderSource {
  const ImageDecoder* decoder;  // the decoder whose check succeeded
  // File source.
  const char* fileName;
  FILE* file;
  // Memory source.
  const uint8_t* data;
  size_t size;
  int fromFile;
  // Filled in by a successful check.
  int width;
  int height;
  int bitsPerPixel;  // 24 or 32
  size_t position;   // read position within `data`
  void* state;       // the decoder's library objects and buffers
};

struct ImageDecoder {
  const char* name;
  // Non-zero when the source holds a picture of this format; then width, height and bits
  // per pixel are set. A failed check leaves nothing allocated.
  int (*check)(DecoderSource* source);
  // Writes every row into `pixels` (rows `pitch` bytes apart); non-zero on success.
  int (*decode)(DecoderSource* source, uint8_t* pixels, long pitch, int flags);
  // Frees what check and decode allocated; harmless when there is nothing.
  void (*release)(DecoderSource* source);
};

// Appends a decoder to the registry; a decoder already registered is not added again.
void DecoderRegister(const ImageDecoder* decoder);
void JpegDecoderRegister();
void PngDecoderRegister();
int DecoderCount();
const ImageDecoder* DecoderAt(int index);

extern const ImageDecoder PNG_DECODER;
extern const ImageDecoder JPEG_DECODER;

// Sets `source` up over bytes in memory (which must outlive the source's use).
void DecoderSourceMemory(DecoderSource* source, const void* data, size_t size);
// Sets `source` up over the file at the UTF-8 path `name`, opened as a C stream through the
// OS seam; 0 when it cannot be opened.
int DecoderSourceFile(DecoderSource* source, const char* name);
// Offers the source to the registered decoders in order, each from the start of the data;
// returns the first whose check succeeds (also kept in source->decoder), or null.
const ImageDecoder* DecoderFind(DecoderSource* source);
// Releases the chosen decoder's objects, closes a file source and zeroes the record.
void DecoderSourceEnd(DecoderSource* source);

// The row pitch of a bottom-up DIB of this width and depth: rows padded to 4 bytes.
inline long DecoderPitch(int width, int bitsPerPixel) {
  return ((static_cast<long>(width) * bitsPerPixel + 31) / 32) * 4;
}
