// Checks that the image libraries this build links work together: headers and library
// agree on versions and struct sizes, pictures survive a round trip through the encoders
// and decoders (through the SIMD and filter code paths), and the error paths end in our
// handlers (longjmp) rather than in the libraries' defaults, which print to a console and
// exit.
//
// Frames that setjmp holds only C structs and raw pointers: longjmp must not skip a
// destructor.

#include <gtest/gtest.h>
#include <jerror.h>
#include <jpeglib.h>  // needs <cstdio> first
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Pictures in these tests stay small; decoders write into buffers of this many pixels.
constexpr int kMaxSide = 128;
constexpr size_t kMaxPixels = static_cast<size_t>(kMaxSide) * kMaxSide;

// ----------------------------------------------------------------------------------------
// libpng glue

struct PngStatus {
  char message[256];
  int warnings;
};

[[noreturn]] void PngOnError(png_structp png, png_const_charp msg) {
  auto* status = static_cast<PngStatus*>(png_get_error_ptr(png));
  std::snprintf(status->message, sizeof status->message, "%s", msg);
  png_longjmp(png, 1);
}

void PngOnWarning(png_structp png, png_const_charp msg) {
  auto* status = static_cast<PngStatus*>(png_get_error_ptr(png));
  status->warnings++;
  std::snprintf(status->message, sizeof status->message, "%s", msg);
}

void PngWriteToVector(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void PngFlushNothing(png_structp) {}

struct MemoryReader {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

void PngReadFromMemory(png_structp png, png_bytep dst, size_t length) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (reader->size - reader->pos < length) png_error(png, "read past the end of the data");
  std::memcpy(dst, reader->data + reader->pos, length);
  reader->pos += length;
}

struct PngPicture {
  int width, height, bit_depth, color_type;
  int palette_entries;  // for PNG_COLOR_TYPE_PALETTE
  const png_color* palette;
  const png_byte* palette_alpha;  // tRNS, one per palette entry, or null
  int palette_alpha_entries;
};

// Encodes `rows` (each of png_get_rowbytes() bytes, packed as the colour type and bit depth
// say) into `out`. Returns false with status->message set on failure.
bool EncodePng(const PngPicture& pic, const uint8_t* const* rows, std::vector<uint8_t>* out,
               PngStatus* status) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, status, PngOnError, PngOnWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, PngWriteToVector, PngFlushNothing);
  png_set_IHDR(png, info, pic.width, pic.height, pic.bit_depth, pic.color_type, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (pic.color_type == PNG_COLOR_TYPE_PALETTE) {
    png_set_PLTE(png, info, pic.palette, pic.palette_entries);
    if (pic.palette_alpha != nullptr)
      png_set_tRNS(png, info, pic.palette_alpha, pic.palette_alpha_entries, nullptr);
  }
  // Let the encoder choose among all row filters, so that the decoder's unfiltering code
  // (SSE2 on x86-64) sees them all.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
  png_write_info(png, info);
  for (int y = 0; y < pic.height; y++) png_write_row(png, rows[y]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

struct PngHeader {
  uint32_t width, height;
  int bit_depth, color_type;
};

// Decodes any PNG of at most kMaxSide x kMaxSide to 8-bit RGBA in `rgba`
// (kMaxPixels * 4 bytes), the way the program's picture loader asks libpng to.
bool DecodePng(const std::vector<uint8_t>& data, PngHeader* header, uint8_t* rgba,
               PngStatus* status) {
  MemoryReader reader{data.data(), data.size(), 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, status, PngOnError, PngOnWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  png_bytep rows[kMaxSide];
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &reader, PngReadFromMemory);
  png_read_info(png, info);
  header->width = png_get_image_width(png, info);
  header->height = png_get_image_height(png, info);
  header->bit_depth = png_get_bit_depth(png, info);
  header->color_type = png_get_color_type(png, info);
  if (header->width > kMaxSide || header->height > kMaxSide)
    png_error(png, "picture too large for this test");

  png_set_expand(png);  // palette to RGB, low grey depths to 8 bits, tRNS to alpha
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);  // only where there is no alpha yet
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != header->width * 4) png_error(png, "rows are not RGBA");

  for (uint32_t y = 0; y < header->height; y++)
    rows[y] = rgba + static_cast<size_t>(y) * header->width * 4;
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

// A picture whose neighbouring pixels differ in ways that make the encoder use different
// filters on different rows.
uint8_t Sample(int x, int y, int c) {
  switch ((y / 3) % 3) {
    case 0:
      return static_cast<uint8_t>(x * 7 + y * 3 + c * 50);  // smooth ramps
    case 1:
      return static_cast<uint8_t>((x * 31 + y * 17 + c * 101) * 2654435761u >> 13);  // noise
    default:
      return static_cast<uint8_t>(((x / 4 + y) & 1) ? 240 - c * 20 : 10 + c * 30);  // bars
  }
}

// A w x h picture with `channels` samples per pixel drawn with Sample, and its rows.
struct SamplePicture {
  std::vector<uint8_t> pixels;
  std::vector<const uint8_t*> rows;
};
SamplePicture MakeSamplePicture(int w, int h, int channels) {
  SamplePicture p;
  p.pixels.resize(static_cast<size_t>(w) * h * channels);
  p.rows.resize(h);
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++)
      for (int c = 0; c < channels; c++)
        p.pixels[(static_cast<size_t>(y) * w + x) * channels + c] = Sample(x, y, c);
    p.rows[y] = &p.pixels[static_cast<size_t>(y) * w * channels];
  }
  return p;
}

// ----------------------------------------------------------------------------------------
// libjpeg glue (62 API)

struct JpegStatus {
  jpeg_error_mgr mgr;  // first member: cinfo.err points here
  jmp_buf jump;
  int messages;  // output_message calls (warnings shown)
  int last_code;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void JpegOnError(j_common_ptr cinfo) {
  auto* status = reinterpret_cast<JpegStatus*>(cinfo->err);
  status->last_code = cinfo->err->msg_code;
  (*cinfo->err->format_message)(cinfo, status->message);
  std::longjmp(status->jump, 1);
}

// Replaces the default, which writes to stderr (a GUI program has no console).
void JpegOnMessage(j_common_ptr cinfo) {
  auto* status = reinterpret_cast<JpegStatus*>(cinfo->err);
  status->messages++;
  status->last_code = cinfo->err->msg_code;
  (*cinfo->err->format_message)(cinfo, status->message);
}

void InitJpegStatus(JpegStatus* status) {
  std::memset(status, 0, sizeof *status);
  jpeg_std_error(&status->mgr);
  status->mgr.error_exit = JpegOnError;
  status->mgr.output_message = JpegOnMessage;
}

// Source manager over a buffer. When the data runs out the picture is truncated: warn and
// hand over an end-of-image marker; the decoder must never be given 0 bytes. The marker
// is static, since the decoder may read it after this function returns.
const JOCTET kFakeEndOfImage[2] = {0xFF, JPEG_EOI};

struct JpegMemorySource {
  jpeg_source_mgr mgr;  // first member: cinfo.src points here
  const uint8_t* data;
  size_t size;
};

void JpegSourceInit(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<JpegMemorySource*>(cinfo->src);
  src->mgr.next_input_byte = src->data;
  src->mgr.bytes_in_buffer = src->size;
}

boolean JpegSourceFill(j_decompress_ptr cinfo) {
  WARNMS(cinfo, JWRN_JPEG_EOF);
  cinfo->src->next_input_byte = kFakeEndOfImage;
  cinfo->src->bytes_in_buffer = sizeof kFakeEndOfImage;
  return TRUE;
}

void JpegSourceSkip(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  while (count > static_cast<long>(cinfo->src->bytes_in_buffer)) {
    count -= static_cast<long>(cinfo->src->bytes_in_buffer);
    JpegSourceFill(cinfo);
  }
  cinfo->src->next_input_byte += count;
  cinfo->src->bytes_in_buffer -= count;
}

void JpegSourceTerm(j_decompress_ptr) {}

// Destination manager appending to a vector.
struct JpegVectorDest {
  jpeg_destination_mgr mgr;  // first member: cinfo.dest points here
  std::vector<uint8_t>* out;
  JOCTET buffer[1024];  // small, so that a test picture fills it several times
};

void JpegDestInit(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<JpegVectorDest*>(cinfo->dest);
  dest->mgr.next_output_byte = dest->buffer;
  dest->mgr.free_in_buffer = sizeof dest->buffer;
}

boolean JpegDestEmpty(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<JpegVectorDest*>(cinfo->dest);
  dest->out->insert(dest->out->end(), dest->buffer, dest->buffer + sizeof dest->buffer);
  dest->mgr.next_output_byte = dest->buffer;
  dest->mgr.free_in_buffer = sizeof dest->buffer;
  return TRUE;
}

void JpegDestTerm(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<JpegVectorDest*>(cinfo->dest);
  dest->out->insert(dest->out->end(), dest->buffer,
                    dest->buffer + (sizeof dest->buffer - dest->mgr.free_in_buffer));
}

struct JpegSettings {
  int width, height, components;  // components 3 (RGB) or 1 (grey)
  int quality;
  bool full_chroma;  // 4:4:4 instead of the default 4:2:0
};

bool EncodeJpeg(const JpegSettings& s, const uint8_t* pixels, std::vector<uint8_t>* out,
                JpegStatus* status) {
  jpeg_compress_struct cinfo{};
  JpegVectorDest dest;
  dest.out = out;
  dest.mgr.init_destination = JpegDestInit;
  dest.mgr.empty_output_buffer = JpegDestEmpty;
  dest.mgr.term_destination = JpegDestTerm;
  InitJpegStatus(status);
  cinfo.err = &status->mgr;
  if (setjmp(status->jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  cinfo.dest = &dest.mgr;
  cinfo.image_width = s.width;
  cinfo.image_height = s.height;
  cinfo.input_components = s.components;
  cinfo.in_color_space = s.components == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, s.quality, TRUE);
  if (s.full_chroma && s.components == 3) {
    for (int c = 0; c < 3; c++) {
      cinfo.comp_info[c].h_samp_factor = 1;
      cinfo.comp_info[c].v_samp_factor = 1;
    }
  }
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels + static_cast<size_t>(cinfo.next_scanline) *
                                                     s.width * s.components);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

struct JpegHeader {
  int width, height, components;
};

// Decodes to 8-bit RGB in `rgb` (kMaxPixels * 3 bytes), whatever the picture's colour
// space, as the program's picture loader does.
bool DecodeJpeg(const std::vector<uint8_t>& data, JpegHeader* header, uint8_t* rgb,
                JpegStatus* status) {
  jpeg_decompress_struct cinfo{};
  JpegMemorySource src;
  src.data = data.data();
  src.size = data.size();
  src.mgr.init_source = JpegSourceInit;
  src.mgr.fill_input_buffer = JpegSourceFill;
  src.mgr.skip_input_data = JpegSourceSkip;
  src.mgr.resync_to_restart = jpeg_resync_to_restart;
  src.mgr.term_source = JpegSourceTerm;
  src.mgr.bytes_in_buffer = 0;
  src.mgr.next_input_byte = nullptr;
  // The error manager and its jump target must be in place before the decoder is
  // created: creation itself reports a version or struct size mismatch through it.
  InitJpegStatus(status);
  cinfo.err = &status->mgr;
  if (setjmp(status->jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.src = &src.mgr;
  jpeg_read_header(&cinfo, TRUE);
  header->width = cinfo.image_width;
  header->height = cinfo.image_height;
  header->components = cinfo.num_components;
  if (cinfo.image_width > kMaxSide || cinfo.image_height > kMaxSide)
    ERREXIT(&cinfo, JERR_IMAGE_TOO_BIG);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != 3) ERREXIT(&cinfo, JERR_CONVERSION_NOTIMPL);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = rgb + static_cast<size_t>(cinfo.output_scanline) * cinfo.output_width * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

// Calls jpeg_CreateDecompress with a struct size other than the header's, as a program
// built against a different libjpeg would.
bool CreateDecompressWithStructSize(size_t struct_size, JpegStatus* status) {
  jpeg_decompress_struct cinfo{};
  InitJpegStatus(status);
  cinfo.err = &status->mgr;
  if (setjmp(status->jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_CreateDecompress(&cinfo, JPEG_LIB_VERSION, struct_size);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

struct Difference {
  int max;
  double mean;
};

Difference Compare(const uint8_t* a, const uint8_t* b, size_t n) {
  Difference d{0, 0};
  long total = 0;
  for (size_t i = 0; i < n; i++) {
    int diff = std::abs(int{a[i]} - int{b[i]});
    total += diff;
    if (diff > d.max) d.max = diff;
  }
  d.mean = n ? static_cast<double>(total) / n : 0;
  return d;
}

// ----------------------------------------------------------------------------------------

TEST(ImageLibs, HeadersMatchTheLinkedLibraries) {
  EXPECT_EQ(PNG_LIBPNG_VER_MAJOR, 1);
  EXPECT_EQ(PNG_LIBPNG_VER_MINOR, 6);
  EXPECT_STREQ(png_get_libpng_ver(nullptr), PNG_LIBPNG_VER_STRING);
  EXPECT_EQ(png_access_version_number(), static_cast<png_uint_32>(PNG_LIBPNG_VER));
  EXPECT_STREQ(zlibVersion(), ZLIB_VERSION);
  EXPECT_EQ(JPEG_LIB_VERSION, 62);
}

TEST(ImageLibs, JpegStructSizeMismatchReachesOurErrorHandler) {
  JpegStatus status;
  EXPECT_TRUE(CreateDecompressWithStructSize(sizeof(jpeg_decompress_struct), &status))
      << status.message;
  ASSERT_FALSE(CreateDecompressWithStructSize(sizeof(jpeg_decompress_struct) + 8, &status));
  EXPECT_EQ(status.last_code, JERR_BAD_STRUCT_SIZE) << status.message;
}

TEST(ImageLibs, PngRgbRoundTripIsExact) {
  const int w = 37, h = 29;  // odd sizes: no row is a multiple of 16 bytes
  SamplePicture picture = MakeSamplePicture(w, h, 3);
  const std::vector<uint8_t>& pixels = picture.pixels;
  const std::vector<const uint8_t*>& rows = picture.rows;
  PngPicture pic{w, h, 8, PNG_COLOR_TYPE_RGB, 0, nullptr, nullptr, 0};
  PngStatus status{};
  std::vector<uint8_t> png;
  ASSERT_TRUE(EncodePng(pic, rows.data(), &png, &status)) << status.message;
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png_sig_cmp(png.data(), 0, 8), 0);

  std::vector<uint8_t> rgba(kMaxPixels * 4);
  PngHeader header{};
  ASSERT_TRUE(DecodePng(png, &header, rgba.data(), &status)) << status.message;
  EXPECT_EQ(header.width, uint32_t{w});
  EXPECT_EQ(header.height, uint32_t{h});
  EXPECT_EQ(header.bit_depth, 8);
  EXPECT_EQ(header.color_type, PNG_COLOR_TYPE_RGB);
  EXPECT_EQ(status.warnings, 0) << status.message;
  int wrong = 0;
  for (int i = 0; i < w * h; i++) {
    for (int c = 0; c < 3; c++)
      wrong += rgba[static_cast<size_t>(i) * 4 + c] != pixels[static_cast<size_t>(i) * 3 + c];
    wrong += rgba[static_cast<size_t>(i) * 4 + 3] != 0xFF;
  }
  EXPECT_EQ(wrong, 0);
}

TEST(ImageLibs, PngRgbaRoundTripIsExact) {
  const int w = 64, h = 48;
  SamplePicture picture = MakeSamplePicture(w, h, 4);
  const std::vector<uint8_t>& pixels = picture.pixels;
  const std::vector<const uint8_t*>& rows = picture.rows;
  PngPicture pic{w, h, 8, PNG_COLOR_TYPE_RGB_ALPHA, 0, nullptr, nullptr, 0};
  PngStatus status{};
  std::vector<uint8_t> png;
  ASSERT_TRUE(EncodePng(pic, rows.data(), &png, &status)) << status.message;
  // zlib did compress: the picture has long smooth stretches.
  EXPECT_LT(png.size(), pixels.size());

  std::vector<uint8_t> rgba(kMaxPixels * 4);
  PngHeader header{};
  ASSERT_TRUE(DecodePng(png, &header, rgba.data(), &status)) << status.message;
  EXPECT_EQ(header.width, uint32_t{w});
  EXPECT_EQ(header.height, uint32_t{h});
  EXPECT_EQ(header.color_type, PNG_COLOR_TYPE_RGB_ALPHA);
  EXPECT_EQ(std::memcmp(rgba.data(), pixels.data(), pixels.size()), 0);
}

TEST(ImageLibs, PngPaletteWithTransparencyExpandsToRgba) {
  const png_color palette[4] = {{0, 0, 0}, {255, 0, 0}, {0, 128, 255}, {250, 250, 250}};
  const png_byte alpha[3] = {0, 128, 255};  // the fourth entry stays opaque
  const int w = 10, h = 3;                  // 2 bits per pixel: 3 bytes a row
  // Pixel x of row y has palette index (x + y) % 4.
  uint8_t packed[h][3] = {};
  const uint8_t* rows[h];
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) packed[y][x / 4] |= ((x + y) % 4) << (6 - 2 * (x % 4));
    rows[y] = packed[y];
  }
  PngPicture pic{w, h, 2, PNG_COLOR_TYPE_PALETTE, 4, palette, alpha, 3};
  PngStatus status{};
  std::vector<uint8_t> png;
  ASSERT_TRUE(EncodePng(pic, rows, &png, &status)) << status.message;

  std::vector<uint8_t> rgba(kMaxPixels * 4);
  PngHeader header{};
  ASSERT_TRUE(DecodePng(png, &header, rgba.data(), &status)) << status.message;
  EXPECT_EQ(header.bit_depth, 2);
  EXPECT_EQ(header.color_type, PNG_COLOR_TYPE_PALETTE);
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      const int index = (x + y) % 4;
      const uint8_t* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
      SCOPED_TRACE("x=" + std::to_string(x) + " y=" + std::to_string(y));
      EXPECT_EQ(p[0], palette[index].red);
      EXPECT_EQ(p[1], palette[index].green);
      EXPECT_EQ(p[2], palette[index].blue);
      EXPECT_EQ(p[3], index < 3 ? alpha[index] : 255);
    }
  }
}

TEST(ImageLibs, PngSixteenBitGreyKeepsTheHighByte) {
  const int w = 5, h = 2;
  uint8_t samples[h][w * 2];
  const uint8_t* rows[h];
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      const unsigned v = 0x1234u * (x + 1) + 0x4000u * y;  // big-endian in the file
      samples[y][x * 2] = static_cast<uint8_t>(v >> 8);
      samples[y][x * 2 + 1] = static_cast<uint8_t>(v);
    }
    rows[y] = samples[y];
  }
  PngPicture pic{w, h, 16, PNG_COLOR_TYPE_GRAY, 0, nullptr, nullptr, 0};
  PngStatus status{};
  std::vector<uint8_t> png;
  ASSERT_TRUE(EncodePng(pic, rows, &png, &status)) << status.message;

  std::vector<uint8_t> rgba(kMaxPixels * 4);
  PngHeader header{};
  ASSERT_TRUE(DecodePng(png, &header, rgba.data(), &status)) << status.message;
  EXPECT_EQ(header.bit_depth, 16);
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      const uint8_t* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
      const uint8_t high = samples[y][x * 2];
      EXPECT_EQ(p[0], high);
      EXPECT_EQ(p[1], high);
      EXPECT_EQ(p[2], high);
      EXPECT_EQ(p[3], 0xFF);
    }
  }
}

// A small RGB PNG to damage in the tests below.
std::vector<uint8_t> SmallPng() {
  const int w = 8, h = 8;
  uint8_t pixels[h][w * 3];
  const uint8_t* rows[h];
  for (int y = 0; y < h; y++) {
    for (int i = 0; i < w * 3; i++) pixels[y][i] = Sample(i / 3, y, i % 3);
    rows[y] = pixels[y];
  }
  PngPicture pic{w, h, 8, PNG_COLOR_TYPE_RGB, 0, nullptr, nullptr, 0};
  PngStatus status{};
  std::vector<uint8_t> png;
  EXPECT_TRUE(EncodePng(pic, rows, &png, &status)) << status.message;
  return png;
}

// Offset of the data of the first chunk of `type`, or 0.
size_t FindChunk(const std::vector<uint8_t>& png, const char* type) {
  for (size_t pos = 8; pos + 8 <= png.size();) {
    const size_t length =
        size_t{png[pos]} << 24 | png[pos + 1] << 16 | png[pos + 2] << 8 | png[pos + 3];
    if (std::memcmp(&png[pos + 4], type, 4) == 0) return pos + 8;
    pos += 12 + length;
  }
  return 0;
}

TEST(ImageLibs, PngDamageIsReportedThroughOurHandler) {
  const std::vector<uint8_t> good = SmallPng();
  std::vector<uint8_t> rgba(kMaxPixels * 4);
  PngHeader header{};
  PngStatus status{};
  ASSERT_TRUE(DecodePng(good, &header, rgba.data(), &status)) << status.message;

  std::vector<uint8_t> bad_signature = good;
  bad_signature[1] = 'Q';
  status = PngStatus{};
  EXPECT_FALSE(DecodePng(bad_signature, &header, rgba.data(), &status));
  EXPECT_STREQ(status.message, "Not a PNG file");

  const size_t idat = FindChunk(good, "IDAT");
  ASSERT_NE(idat, 0u);
  const size_t idat_length = static_cast<size_t>(good[idat - 8]) << 24 | good[idat - 7] << 16 |
                             good[idat - 6] << 8 | good[idat - 5];
  std::vector<uint8_t> bad_crc = good;
  bad_crc[idat + idat_length] ^= 0x01;  // the chunk's CRC
  status = PngStatus{};
  EXPECT_FALSE(DecodePng(bad_crc, &header, rgba.data(), &status));
  EXPECT_NE(std::strstr(status.message, "CRC error"), nullptr) << status.message;

  // Damaged compressed data is caught by zlib (before the CRC at the chunk's end).
  std::vector<uint8_t> bad_data = good;
  bad_data[idat + 2] ^= 0x40;
  status = PngStatus{};
  EXPECT_FALSE(DecodePng(bad_data, &header, rgba.data(), &status));
  EXPECT_NE(std::strstr(status.message, "IDAT"), nullptr) << status.message;

  std::vector<uint8_t> truncated(good.begin(), good.begin() + idat + 4);
  status = PngStatus{};
  EXPECT_FALSE(DecodePng(truncated, &header, rgba.data(), &status));
  EXPECT_NE(std::strstr(status.message, "past the end"), nullptr) << status.message;
}

// Four flat 8 x 8 quadrants: red, green, blue, white. Flat blocks keep only their DC
// coefficient, so with full-resolution chroma the decoded colours are nearly exact.
TEST(ImageLibs, JpegFlatQuadrantsDecodeClose) {
  const int w = 16, h = 16;
  const uint8_t colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      std::memcpy(&pixels[(static_cast<size_t>(y) * w + x) * 3], colours[(y / 8) * 2 + x / 8], 3);
  JpegStatus status;
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(EncodeJpeg({w, h, 3, 95, true}, pixels.data(), &jpeg, &status)) << status.message;
  ASSERT_GE(jpeg.size(), 4u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);  // SOI
  EXPECT_EQ(jpeg[jpeg.size() - 2], 0xFF);
  EXPECT_EQ(jpeg[jpeg.size() - 1], 0xD9);  // EOI

  std::vector<uint8_t> rgb(kMaxPixels * 3);
  JpegHeader header{};
  ASSERT_TRUE(DecodeJpeg(jpeg, &header, rgb.data(), &status)) << status.message;
  EXPECT_EQ(header.width, w);
  EXPECT_EQ(header.height, h);
  EXPECT_EQ(header.components, 3);
  EXPECT_EQ(status.messages, 0) << status.message;
  const Difference d = Compare(rgb.data(), pixels.data(), pixels.size());
  EXPECT_LE(d.max, 4);
  EXPECT_LT(d.mean, 1.0);
}

// A smooth picture with the default 4:2:0 chroma subsampling goes through the SIMD colour
// conversion, upsampling and inverse DCT.
TEST(ImageLibs, JpegSmoothPictureDecodesWithinTolerance) {
  const int w = 96, h = 72;  // not a multiple of the 16 x 16 MCU
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      uint8_t* p = &pixels[(static_cast<size_t>(y) * w + x) * 3];
      p[0] = static_cast<uint8_t>(x * 255 / (w - 1));
      p[1] = static_cast<uint8_t>(y * 255 / (h - 1));
      p[2] = static_cast<uint8_t>(128 + (x - y) / 2);
    }
  }
  JpegStatus status;
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(EncodeJpeg({w, h, 3, 90, false}, pixels.data(), &jpeg, &status)) << status.message;
  EXPECT_GT(jpeg.size(), sizeof JpegVectorDest::buffer);  // the buffer was emptied on the way

  std::vector<uint8_t> rgb(kMaxPixels * 3);
  JpegHeader header{};
  ASSERT_TRUE(DecodeJpeg(jpeg, &header, rgb.data(), &status)) << status.message;
  EXPECT_EQ(header.width, w);
  EXPECT_EQ(header.height, h);
  const Difference d = Compare(rgb.data(), pixels.data(), pixels.size());
  EXPECT_LE(d.max, 12);
  EXPECT_LT(d.mean, 1.5);
}

TEST(ImageLibs, JpegGreyDecodesToRgb) {
  const int w = 24, h = 8;
  std::vector<uint8_t> grey(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      grey[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(x < 8 ? 30 : x < 16 ? 128 : 220);
  JpegStatus status;
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(EncodeJpeg({w, h, 1, 95, false}, grey.data(), &jpeg, &status)) << status.message;

  std::vector<uint8_t> rgb(kMaxPixels * 3);
  JpegHeader header{};
  ASSERT_TRUE(DecodeJpeg(jpeg, &header, rgb.data(), &status)) << status.message;
  EXPECT_EQ(header.components, 1);
  int worst = 0;
  for (int i = 0; i < w * h; i++) {
    EXPECT_EQ(rgb[static_cast<size_t>(i) * 3], rgb[static_cast<size_t>(i) * 3 + 1]);
    EXPECT_EQ(rgb[static_cast<size_t>(i) * 3], rgb[static_cast<size_t>(i) * 3 + 2]);
    worst = std::max(worst, std::abs(int{rgb[static_cast<size_t>(i) * 3]} - int{grey[i]}));
  }
  EXPECT_LE(worst, 2);
}

TEST(ImageLibs, JpegTruncatedDataEndsWithAWarningNotAHang) {
  const int w = 64, h = 64;
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 3);
  for (size_t i = 0; i < pixels.size(); i++) pixels[i] = static_cast<uint8_t>(i * 37 >> 4);
  JpegStatus status;
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(EncodeJpeg({w, h, 3, 90, true}, pixels.data(), &jpeg, &status)) << status.message;

  std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + jpeg.size() * 2 / 3);
  std::vector<uint8_t> rgb(kMaxPixels * 3);
  JpegHeader header{};
  ASSERT_TRUE(DecodeJpeg(cut, &header, rgb.data(), &status)) << status.message;
  EXPECT_EQ(header.width, w);
  EXPECT_EQ(header.height, h);
  EXPECT_GE(status.messages, 1);
  EXPECT_EQ(status.last_code, JWRN_JPEG_EOF) << status.message;
  EXPECT_GE(status.mgr.num_warnings, 1);
}

TEST(ImageLibs, JpegGarbageIsRejectedThroughOurHandler) {
  const std::vector<uint8_t> garbage = SmallPng();  // a PNG is no JPEG
  std::vector<uint8_t> rgb(kMaxPixels * 3);
  JpegHeader header{};
  JpegStatus status;
  EXPECT_FALSE(DecodeJpeg(garbage, &header, rgb.data(), &status));
  EXPECT_EQ(status.last_code, JERR_NO_SOI) << status.message;

  const std::vector<uint8_t> empty;
  EXPECT_FALSE(DecodeJpeg(empty, &header, rgb.data(), &status));
  EXPECT_NE(status.last_code, 0) << status.message;
}

}  // namespace
