// PNG decoder on libpng 1.6.
//
// Every colour type comes out as 8-bit blue-green-red, with a straight alpha byte when the
// picture has alpha (an alpha channel, or a tRNS chunk for any colour type). All library
// errors end in a longjmp back to the function that called the library, which destroys the
// library objects and reports failure. Frames that set a jump hold only C data: longjmp
// skips destructors.
#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "decoder.h"

namespace {

struct PngState {
  png_structp png;
  png_infop info;
  int passes;
};

[[noreturn]] void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// A picture program has no console: warnings are dropped.
void PngWarning(png_structp, png_const_charp) {}

// Memory source: copies the requested bytes from the read position and advances it.
void PngReadMemory(png_structp png, png_bytep out, size_t length) {
  DecoderSource* source = static_cast<DecoderSource*>(png_get_io_ptr(png));
  if (length > source->size - source->position) png_error(png, "read past the end of the data");
  std::memcpy(out, source->data + source->position, length);
  source->position += length;
}

void PngRelease(DecoderSource* source) {
  PngState* state = static_cast<PngState*>(source->state);
  if (!state) return;
  if (state->png)
    png_destroy_read_struct(&state->png, state->info ? &state->info : nullptr, nullptr);
  std::free(state);
  source->state = nullptr;
}

int PngCheck(DecoderSource* source) {
  png_byte signature[8];
  if (source->fromFile) {
    if (!source->file || std::fread(signature, 1, 8, source->file) != 8) return 0;
  } else {
    if (source->size < 8) return 0;
    std::memcpy(signature, source->data, 8);
    source->position = 8;
  }
  if (png_sig_cmp(signature, 0, 8) != 0) return 0;

  PngState* state = static_cast<PngState*>(std::calloc(1, sizeof(PngState)));
  if (!state) return 0;
  source->state = state;
  state->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, source, PngError, PngWarning);
  if (state->png) state->info = png_create_info_struct(state->png);
  if (!state->info) {
    PngRelease(source);
    return 0;
  }
  png_structp png = state->png;
  png_infop info = state->info;
  if (setjmp(png_jmpbuf(png))) {
    PngRelease(source);
    return 0;
  }
  if (source->fromFile)
    png_init_io(png, source->file);
  else
    png_set_read_fn(png, source, PngReadMemory);
  png_set_sig_bytes(png, 8);
  // libpng refuses larger headers itself; the pixel count is checked below.
  png_set_user_limits(png, IMAGE_MAX_SIDE, IMAGE_MAX_SIDE);
  // Only IHDR, PLTE, tRNS, IDAT and IEND matter here; every other chunk is skipped
  // unread. libpng would otherwise allocate a text or profile chunk at whatever length
  // its header claims (an oversized length is only a warning).
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_read_info(png, info);

  png_uint_32 width = png_get_image_width(png, info);
  png_uint_32 height = png_get_image_height(png, info);
  if (!ImageSizeAllowed(width, height)) {
    PngRelease(source);
    return 0;
  }
  int colorType = png_get_color_type(png, info);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(png);  // also widens 1, 2 and 4-bit grey to 8 bits
  // A tRNS chunk marks transparent palette entries or one transparent grey or colour value.
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (png_get_bit_depth(png, info) == 16) png_set_strip_16(png);
  png_set_bgr(png);
  // libpng 1.6 takes transformations only before the header is updated, so the requests
  // of the decode step are made here as well.
  state->passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);

  int outType = png_get_color_type(png, info);
  int bits = outType == PNG_COLOR_TYPE_RGB ? 24 : 32;
  // Anything else would not fill the rows as the bitmap expects them.
  if ((outType != PNG_COLOR_TYPE_RGB && outType != PNG_COLOR_TYPE_RGB_ALPHA) ||
      png_get_bit_depth(png, info) != 8 ||
      png_get_rowbytes(png, info) != static_cast<size_t>(width) * (bits / 8)) {
    PngRelease(source);
    return 0;
  }
  source->width = static_cast<int>(width);
  source->height = static_cast<int>(height);
  source->bitsPerPixel = bits;
  return 1;
}

int PngDecode(DecoderSource* source, uint8_t* pixels, long pitch, int flags) {
  PngState* state = static_cast<PngState*>(source->state);
  if (!state || !pixels) return 0;
  png_structp png = state->png;
  if (setjmp(png_jmpbuf(png))) return 0;  // the caller's release destroys the objects
  const int height = source->height;
  const bool bottomUp = (flags & DECODE_BOTTOM_UP) != 0;
  // Each pass of an interlaced picture adds its pixels to the rows in place.
  for (int pass = 0; pass < state->passes; ++pass) {
    for (int y = 0; y < height; ++y) {
      ptrdiff_t row = bottomUp ? height - 1 - y : y;
      png_read_row(png, pixels + row * pitch, nullptr);
    }
  }
  return 1;
}

}  // namespace

const ImageDecoder PNG_DECODER = {"PNG", PngCheck, PngDecode, PngRelease};
