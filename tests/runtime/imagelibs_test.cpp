// Checks that the image libraries this build links work together under the program's own
// decoders: headers and libraries agree on versions and struct sizes, pictures survive a
// round trip through the encoders and the decoders (through the SIMD and filter code
// paths), and damage ends in a refusal rather than in the libraries' defaults, which print
// to a console and exit.
//
// The decoders drop the libraries' messages and warnings, so the checks of what a library
// itself reports (its version, why it stopped, whether it warned) ask the library directly,
// through its simplest interface: libpng's simplified reader and libjpeg's memory source.

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
#include <jerror.h>
// clang-format on
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "decode_util.h"
#include "picture_maker.h"

namespace {

// The colour type and bit depth a PNG file's header holds (bytes 24 and 25: after the
// signature, the header chunk's length and type, the width and the height).
int PngFileBitDepth(const std::vector<uint8_t>& png) { return png.at(24); }
int PngFileColorType(const std::vector<uint8_t>& png) { return png.at(25); }

// libpng's own account of reading a whole file: the message of the error that stopped it
// (empty when none) and whether it warned.
struct PngVerdict {
  std::string error;
  bool warned;
};

PngVerdict AskLibpng(const std::vector<uint8_t>& data) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&image, data.data(), data.size())) {
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
  }
  PngVerdict verdict{(image.warning_or_error & PNG_IMAGE_ERROR) ? image.message : "",
                     (image.warning_or_error & PNG_IMAGE_WARNING) != 0};
  png_image_free(&image);
  return verdict;
}

// libjpeg's own account of reading a whole file from memory. Lives in the caller's frame,
// so that nothing the library changed is lost when an error jumps back.
constexpr int kProbeMaxWidth = 128;
struct JpegProbe {
  jpeg_error_mgr mgr;  // first member: cinfo.err points here
  std::jmp_buf jump;
  jpeg_decompress_struct cinfo;
  JSAMPLE row[kProbeMaxWidth * 3];
  int components;  // of the frame
  int messages;    // output_message calls (warnings shown)
  int lastCode;    // of the last message, or of the error that stopped the library
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ProbeError(j_common_ptr cinfo) {
  auto* probe = reinterpret_cast<JpegProbe*>(cinfo->err);
  probe->lastCode = cinfo->err->msg_code;
  (*cinfo->err->format_message)(cinfo, probe->message);
  std::longjmp(probe->jump, 1);
}

void ProbeMessage(j_common_ptr cinfo) {
  auto* probe = reinterpret_cast<JpegProbe*>(cinfo->err);
  probe->messages++;
  probe->lastCode = cinfo->err->msg_code;
  (*cinfo->err->format_message)(cinfo, probe->message);
}

void StartProbe(JpegProbe* probe) {
  std::memset(probe, 0, sizeof *probe);
  probe->cinfo.err = jpeg_std_error(&probe->mgr);
  probe->mgr.error_exit = ProbeError;
  probe->mgr.output_message = ProbeMessage;
}

// Reads `data` whole as RGB; false when the library stopped with an error.
bool AskLibjpeg(const std::vector<uint8_t>& data, JpegProbe* probe) {
  StartProbe(probe);
  j_decompress_ptr cinfo = &probe->cinfo;
  if (setjmp(probe->jump)) {
    jpeg_destroy_decompress(cinfo);
    return false;
  }
  jpeg_create_decompress(cinfo);
  jpeg_mem_src(cinfo, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(cinfo, TRUE);
  probe->components = cinfo->num_components;
  if (cinfo->image_width > kProbeMaxWidth) ERREXIT(cinfo, JERR_IMAGE_TOO_BIG);
  cinfo->out_color_space = JCS_RGB;
  jpeg_start_decompress(cinfo);
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = probe->row;
    jpeg_read_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_decompress(cinfo);
  jpeg_destroy_decompress(cinfo);
  return true;
}

// Calls jpeg_CreateDecompress with a struct size other than the header's, as a program
// built against a different libjpeg would: the decoders always pass the header's size.
bool CreateDecompressWithStructSize(size_t structSize, JpegProbe* probe) {
  StartProbe(probe);
  if (setjmp(probe->jump)) {
    jpeg_destroy_decompress(&probe->cinfo);
    return false;
  }
  jpeg_CreateDecompress(&probe->cinfo, JPEG_LIB_VERSION, structSize);
  jpeg_destroy_decompress(&probe->cinfo);
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

// A w x h 8-bit picture of `colorType` drawn with Sample.
PngPicture SamplePng(int w, int h, int colorType) {
  PngPicture p;
  p.width = w;
  p.height = h;
  p.colorType = colorType;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      for (int c = 0; c < PngChannels(colorType); c++) p.samples.push_back(Sample(x, y, c));
  return p;
}

// Pixels whose samples differ from Sample (the decoder writes blue, green, red, alpha).
int WrongSamplePixels(const Decoded& d, int channels) {
  int wrong = 0;
  for (int y = 0; y < d.height; y++)
    for (int x = 0; x < d.width; x++) {
      const uint8_t* p = d.At(x, y);
      bool same = p[0] == Sample(x, y, 2) && p[1] == Sample(x, y, 1) && p[2] == Sample(x, y, 0);
      if (channels == 4) same = same && p[3] == Sample(x, y, 3);
      wrong += !same;
    }
  return wrong;
}

struct Difference {
  int max;
  double mean;
};

// How far the decoded pixels lie from red-green-blue samples.
Difference Compare(const Decoded& d, const std::vector<uint8_t>& rgb) {
  Difference diff{0, 0};
  long total = 0;
  for (int y = 0; y < d.height; y++)
    for (int x = 0; x < d.width; x++)
      for (int c = 0; c < 3; c++) {
        int e = std::abs(int{d.At(x, y)[2 - c]} -
                         int{rgb[(static_cast<size_t>(y) * d.width + x) * 3 + c]});
        total += e;
        diff.max = std::max(diff.max, e);
      }
  diff.mean = rgb.empty() ? 0 : static_cast<double>(total) / rgb.size();
  return diff;
}

TEST(ImageLibs, HeadersMatchTheLinkedLibraries) {
  EXPECT_EQ(PNG_LIBPNG_VER_MAJOR, 1);
  EXPECT_EQ(PNG_LIBPNG_VER_MINOR, 6);
  EXPECT_STREQ(png_get_libpng_ver(nullptr), PNG_LIBPNG_VER_STRING);
  EXPECT_EQ(png_access_version_number(), static_cast<png_uint_32>(PNG_LIBPNG_VER));
  EXPECT_STREQ(zlibVersion(), ZLIB_VERSION);
  EXPECT_EQ(JPEG_LIB_VERSION, 62);
}

TEST(ImageLibs, JpegStructSizeMismatchReachesOurErrorHandler) {
  JpegProbe probe;
  EXPECT_TRUE(CreateDecompressWithStructSize(sizeof(jpeg_decompress_struct), &probe))
      << probe.message;
  ASSERT_FALSE(CreateDecompressWithStructSize(sizeof(jpeg_decompress_struct) + 8, &probe));
  EXPECT_EQ(probe.lastCode, JERR_BAD_STRUCT_SIZE) << probe.message;
}

// Larger pictures than the decoder tests' own, drawn so that the encoder uses every row
// filter: the round trip goes through libpng's filter code (SIMD where it has it) and zlib.
TEST(ImageLibs, PngRoundTripsAreExactThroughEveryFilter) {
  struct Case {
    int width, height, colorType, bits;
  };
  // 37 x 29: no row is a multiple of 16 bytes.
  for (const Case c :
       {Case{37, 29, PNG_COLOR_TYPE_RGB, 24}, Case{64, 48, PNG_COLOR_TYPE_RGB_ALPHA, 32}}) {
    SCOPED_TRACE(c.colorType);
    const std::vector<uint8_t> png = MakePng(SamplePng(c.width, c.height, c.colorType));
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png_sig_cmp(png.data(), 0, 8), 0);
    EXPECT_EQ(PngFileBitDepth(png), 8);
    EXPECT_EQ(PngFileColorType(png), c.colorType);
    // zlib did compress: the picture has long smooth stretches.
    EXPECT_LT(png.size(), static_cast<size_t>(c.width) * c.height * 4);

    const Decoded d = DecodeWith(PNG_DECODER, png);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, c.width);
    EXPECT_EQ(d.height, c.height);
    EXPECT_EQ(d.bits, c.bits);  // 24: no alpha, every pixel opaque
    EXPECT_FALSE(AskLibpng(png).warned);
    EXPECT_EQ(WrongSamplePixels(d, c.bits / 8), 0);
  }
}

// A small RGB PNG to damage in the tests below.
std::vector<uint8_t> SmallPng() { return MakePng(SamplePng(8, 8, PNG_COLOR_TYPE_RGB)); }

// Offset of the data of the first chunk of `type`, or 0.
size_t FindChunk(const std::vector<uint8_t>& png, const char* type) {
  for (size_t pos = 8; pos + 8 <= png.size(); pos += 12 + ReadBig32(png, pos))
    if (std::memcmp(&png[pos + 4], type, 4) == 0) return pos + 8;
  return 0;
}

TEST(ImageLibs, PngDamageIsRefusedAndLibpngSaysWhy) {
  const std::vector<uint8_t> good = SmallPng();
  ASSERT_TRUE(DecodeWith(PNG_DECODER, good).ok);
  EXPECT_EQ(AskLibpng(good).error, "");

  std::vector<uint8_t> bad_signature = good;
  bad_signature[1] = 'Q';
  EXPECT_FALSE(DecodeWith(PNG_DECODER, bad_signature).ok);
  EXPECT_EQ(AskLibpng(bad_signature).error, "Not a PNG file");

  const size_t idat = FindChunk(good, "IDAT");
  ASSERT_NE(idat, 0u);
  std::vector<uint8_t> bad_crc = good;
  bad_crc[idat + ReadBig32(good, idat - 8)] ^= 0x01;  // the chunk's CRC
  EXPECT_FALSE(DecodeWith(PNG_DECODER, bad_crc).ok);
  std::string why = AskLibpng(bad_crc).error;
  EXPECT_NE(why.find("CRC error"), std::string::npos) << why;

  // Damaged compressed data is caught by zlib (before the CRC at the chunk's end).
  std::vector<uint8_t> bad_data = good;
  bad_data[idat + 2] ^= 0x40;
  EXPECT_FALSE(DecodeWith(PNG_DECODER, bad_data).ok);
  why = AskLibpng(bad_data).error;
  EXPECT_NE(why.find("IDAT"), std::string::npos) << why;

  std::vector<uint8_t> truncated(good.begin(), good.begin() + idat + 4);
  EXPECT_FALSE(DecodeWith(PNG_DECODER, truncated).ok);
  why = AskLibpng(truncated).error;
  EXPECT_NE(why.find("end of data"), std::string::npos) << why;
}

// Flat colour and grey pictures, whose decoded pixels the decoder tests check: here, that
// the encoder framed them and that libjpeg reads them through without a warning.
TEST(ImageLibs, JpegCleanPicturesReadWithoutWarnings) {
  const uint8_t colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  for (int components : {3, 1}) {
    JpegPicture pic;
    pic.width = 16;
    pic.height = 16;
    pic.components = components;
    for (int y = 0; y < pic.height; y++)
      for (int x = 0; x < pic.width; x++)
        pic.samples.insert(pic.samples.end(), colours[(y / 8) * 2 + x / 8],
                           colours[(y / 8) * 2 + x / 8] + components);
    const std::vector<uint8_t> jpeg = MakeJpeg(pic);
    ASSERT_GE(jpeg.size(), 4u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);  // SOI
    EXPECT_EQ(jpeg[jpeg.size() - 2], 0xFF);
    EXPECT_EQ(jpeg[jpeg.size() - 1], 0xD9);  // EOI

    const Decoded d = DecodeWith(JPEG_DECODER, jpeg);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.bits, 24);
    JpegProbe probe;
    ASSERT_TRUE(AskLibjpeg(jpeg, &probe)) << probe.message;
    EXPECT_EQ(probe.components, components);
    EXPECT_EQ(probe.messages, 0) << probe.message;
  }
}

// A smooth picture with 4:2:0 chroma subsampling goes through the SIMD colour
// conversion, upsampling and inverse DCT.
TEST(ImageLibs, JpegSmoothPictureDecodesWithinTolerance) {
  JpegPicture pic;
  pic.width = 96;  // not a multiple of the 16 x 16 MCU
  pic.height = 72;
  pic.quality = 90;
  pic.subsample = true;
  for (int y = 0; y < pic.height; y++) {
    for (int x = 0; x < pic.width; x++) {
      pic.samples.push_back(static_cast<uint8_t>(x * 255 / (pic.width - 1)));
      pic.samples.push_back(static_cast<uint8_t>(y * 255 / (pic.height - 1)));
      pic.samples.push_back(static_cast<uint8_t>(128 + (x - y) / 2));
    }
  }
  const std::vector<uint8_t> jpeg = MakeJpeg(pic);
  EXPECT_GT(jpeg.size(), 1024u);  // many coding units of entropy-coded data

  const Decoded d = DecodeWith(JPEG_DECODER, jpeg);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.width, pic.width);
  EXPECT_EQ(d.height, pic.height);
  const Difference diff = Compare(d, pic.samples);
  EXPECT_LE(diff.max, 12);
  EXPECT_LT(diff.mean, 1.5);
}

TEST(ImageLibs, JpegTruncatedDataEndsWithAWarningNotAHang) {
  JpegPicture pic;
  pic.width = 64;
  pic.height = 64;
  pic.quality = 90;
  pic.samples.resize(static_cast<size_t>(pic.width) * pic.height * 3);
  for (size_t i = 0; i < pic.samples.size(); i++)
    pic.samples[i] = static_cast<uint8_t>(i * 37 >> 4);
  const std::vector<uint8_t> jpeg = MakeJpeg(pic);
  ASSERT_FALSE(jpeg.empty());

  const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + jpeg.size() * 2 / 3);
  const Decoded d = DecodeWith(JPEG_DECODER, cut);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.width, pic.width);
  EXPECT_EQ(d.height, pic.height);
  JpegProbe probe;
  ASSERT_TRUE(AskLibjpeg(cut, &probe)) << probe.message;
  EXPECT_GE(probe.messages, 1);
  EXPECT_EQ(probe.lastCode, JWRN_JPEG_EOF) << probe.message;
  EXPECT_GE(probe.mgr.num_warnings, 1);
}

TEST(ImageLibs, JpegGarbageIsRejectedThroughOurHandler) {
  const std::vector<uint8_t> garbage = SmallPng();  // a PNG is no JPEG
  EXPECT_FALSE(DecodeWith(JPEG_DECODER, garbage).checked);
  JpegProbe probe;
  EXPECT_FALSE(AskLibjpeg(garbage, &probe));
  EXPECT_EQ(probe.lastCode, JERR_NO_SOI) << probe.message;

  const std::vector<uint8_t> empty;
  EXPECT_FALSE(DecodeWith(JPEG_DECODER, empty).checked);
  EXPECT_FALSE(AskLibjpeg(empty, &probe));
  EXPECT_NE(probe.lastCode, 0) << probe.message;
}

}  // namespace
