// The PNG decoder: every colour type and bit depth, interlaced or not, with and without
// tRNS, comes out as the 8-bit blue-green-red(-alpha) pixels the samples call for; short,
// cut, corrupted and oversized files fail cleanly.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "decode_util.h"
#include "picture_maker.h"
#include "temp_dir.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

// Samples of every value range, the extremes included.
uint16_t Sample(int x, int y, int c, int depth) {
  uint32_t max = (1u << depth) - 1;
  uint32_t h = static_cast<uint32_t>(x * 73 + y * 151 + c * 37) * 2654435761u;
  if ((x + y + c) % 7 == 0) return static_cast<uint16_t>(max);
  if ((x + 2 * y + c) % 11 == 0) return 0;
  return static_cast<uint16_t>((h >> 7) % (max + 1));
}

// A sample widened or narrowed to 8 bits: low depths scale to the full range, 16-bit
// samples keep their high byte.
uint8_t To8(uint16_t v, int depth) {
  if (depth == 16) return static_cast<uint8_t>(v >> 8);
  if (depth == 8) return static_cast<uint8_t>(v);
  return static_cast<uint8_t>(v * 255 / ((1 << depth) - 1));
}

PngPicture Picture(int colorType, int depth, bool interlaced, int width = 13, int height = 11) {
  PngPicture p;
  p.width = width;
  p.height = height;
  p.bitDepth = depth;
  p.colorType = colorType;
  p.interlaced = interlaced;
  int channels = PngChannels(colorType);
  int entries = colorType == 3 ? (depth == 8 ? 200 : 1 << depth) : 0;
  for (int i = 0; i < entries; ++i) {
    p.palette.push_back(static_cast<uint8_t>(i * 5 + 3));
    p.palette.push_back(static_cast<uint8_t>(255 - i));
    p.palette.push_back(static_cast<uint8_t>(i * 97));
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c) {
        uint16_t v = Sample(x, y, c, depth);
        if (colorType == 3) v = static_cast<uint16_t>(v % entries);
        p.samples.push_back(v);
      }
  return p;
}

struct Bgra {
  uint8_t b, g, r, a;
};

// What the decoder must produce for a pixel, worked out from the samples alone.
Bgra Expected(const PngPicture& p, int x, int y) {
  int channels = PngChannels(p.colorType);
  const uint16_t* s = p.samples.data() + (static_cast<size_t>(y) * p.width + x) * channels;
  int d = p.bitDepth;
  switch (p.colorType) {
    case 0: {
      uint8_t g = To8(s[0], d);
      bool clear = p.transparent.size() == 1 && s[0] == p.transparent[0];
      return {g, g, g, static_cast<uint8_t>(clear ? 0 : 255)};
    }
    case 2: {
      bool clear = p.transparent.size() == 3 && s[0] == p.transparent[0] &&
                   s[1] == p.transparent[1] && s[2] == p.transparent[2];
      return {To8(s[2], d), To8(s[1], d), To8(s[0], d), static_cast<uint8_t>(clear ? 0 : 255)};
    }
    case 3: {
      const uint8_t* rgb = p.palette.data() + s[0] * 3;
      uint8_t a = s[0] < p.transparent.size() ? static_cast<uint8_t>(p.transparent[s[0]]) : 255;
      return {rgb[2], rgb[1], rgb[0], a};
    }
    case 4: {
      uint8_t g = To8(s[0], d);
      return {g, g, g, To8(s[1], d)};
    }
    default:
      return {To8(s[2], d), To8(s[1], d), To8(s[0], d), To8(s[3], d)};
  }
}

int ExpectedBits(const PngPicture& p) {
  return p.colorType == 4 || p.colorType == 6 || !p.transparent.empty() ? 32 : 24;
}

// Compares every pixel; reports the first few differences.
void ExpectPixels(const PngPicture& p, const Decoded& d) {
  ASSERT_TRUE(d.checked);
  ASSERT_TRUE(d.ok);
  ASSERT_EQ(d.width, p.width);
  ASSERT_EQ(d.height, p.height);
  ASSERT_EQ(d.bits, ExpectedBits(p));
  int wrong = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      Bgra e = Expected(p, x, y);
      const uint8_t* got = d.At(x, y);
      bool same =
          got[0] == e.b && got[1] == e.g && got[2] == e.r && (d.bits == 24 || got[3] == e.a);
      if (!same && ++wrong <= 5)
        ADD_FAILURE() << "pixel " << x << "," << y << " is " << +got[0] << " " << +got[1] << " "
                      << +got[2] << " " << (d.bits == 32 ? +got[3] : 255) << ", expected " << +e.b
                      << " " << +e.g << " " << +e.r << " " << +e.a;
    }
  EXPECT_EQ(wrong, 0);
  EXPECT_TRUE(GuardsIntact(d)) << "a row was written past its pixels";
}

struct Format {
  int colorType;
  int depth;
  bool interlaced;
};

std::string FormatName(const ::testing::TestParamInfo<Format>& info) {
  return "type" + std::to_string(info.param.colorType) + "_depth" +
         std::to_string(info.param.depth) + (info.param.interlaced ? "_interlaced" : "");
}

std::vector<Format> AllFormats() {
  const std::vector<std::pair<int, std::vector<int>>> depths = {
      {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
  std::vector<Format> formats;
  for (const auto& [type, list] : depths)
    for (int depth : list)
      for (bool interlaced : {false, true}) formats.push_back({type, depth, interlaced});
  return formats;
}

class PngFormatTest : public ::testing::TestWithParam<Format> {};

TEST_P(PngFormatTest, DecodesEveryPixelExactlyInBothRowOrders) {
  PngPicture p = Picture(GetParam().colorType, GetParam().depth, GetParam().interlaced);
  std::vector<uint8_t> file = MakePng(p);
  ASSERT_FALSE(file.empty());
  ExpectPixels(p, DecodeWith(PNG_DECODER, file, DECODE_BOTTOM_UP));
  ExpectPixels(p, DecodeWith(PNG_DECODER, file, 0));
}

INSTANTIATE_TEST_SUITE_P(AllColourTypes, PngFormatTest, ::testing::ValuesIn(AllFormats()),
                         FormatName);

TEST(PngDecoder, BottomUpPutsTheFirstRowLast) {
  PngPicture p = Picture(2, 8, false, 3, 2);
  Decoded d = DecodeWith(PNG_DECODER, MakePng(p), DECODE_BOTTOM_UP);
  ASSERT_TRUE(d.ok);
  // Raw memory: the last row in memory is picture row 0.
  const uint8_t* last = d.pixels.data() + d.pitch;
  EXPECT_EQ(last[0], To8(p.samples[2], 8));
  EXPECT_EQ(last[2], To8(p.samples[0], 8));
}

TEST(PngDecoder, TransparencyChunkGivesAlphaForEveryColourType) {
  // Palette: the first five entries get their own alpha, the rest stay opaque.
  PngPicture palette = Picture(3, 4, false);
  palette.transparent = {0, 64, 128, 200, 254};
  ExpectPixels(palette, DecodeWith(PNG_DECODER, MakePng(palette)));

  PngPicture grey = Picture(0, 8, true);
  grey.transparent = {grey.samples[5]};
  ExpectPixels(grey, DecodeWith(PNG_DECODER, MakePng(grey)));

  PngPicture grey2 = Picture(0, 2, false);
  grey2.transparent = {1};
  ExpectPixels(grey2, DecodeWith(PNG_DECODER, MakePng(grey2)));

  // 16-bit: only the exact 16-bit value is transparent, not others with the same high byte.
  PngPicture grey16 = Picture(0, 16, false);
  grey16.samples[0] = 0x1234;
  grey16.samples[1] = 0x1235;
  grey16.transparent = {0x1234};
  Decoded d16 = DecodeWith(PNG_DECODER, MakePng(grey16));
  ExpectPixels(grey16, d16);
  ASSERT_TRUE(d16.ok);
  EXPECT_EQ(d16.At(0, 0)[3], 0);
  EXPECT_EQ(d16.At(1, 0)[3], 255);

  PngPicture rgb = Picture(2, 8, false);
  rgb.transparent = {rgb.samples[3], rgb.samples[4], rgb.samples[5]};
  ExpectPixels(rgb, DecodeWith(PNG_DECODER, MakePng(rgb)));

  PngPicture rgb16 = Picture(2, 16, true);
  rgb16.transparent = {rgb16.samples[0], rgb16.samples[1], rgb16.samples[2]};
  ExpectPixels(rgb16, DecodeWith(PNG_DECODER, MakePng(rgb16)));
}

TEST(PngDecoder, OddSizesAndSinglePixels) {
  for (auto [w, h] : std::vector<std::pair<int, int>>{{1, 1}, {1, 9}, {9, 1}, {2, 3}, {33, 17}}) {
    for (bool interlaced : {false, true}) {
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
      PngPicture p = Picture(6, 8, interlaced, w, h);
      ExpectPixels(p, DecodeWith(PNG_DECODER, MakePng(p)));
      PngPicture q = Picture(0, 1, interlaced, w, h);
      ExpectPixels(q, DecodeWith(PNG_DECODER, MakePng(q)));
    }
  }
}

// ---------------------------------------------------------------------------------------
// Data that is not a sound PNG

std::vector<uint8_t> SamplePng() { return MakePng(Picture(2, 8, false, 20, 12)); }

TEST(PngDecoder, TooShortOrForeignDataIsNotRecognised) {
  std::vector<uint8_t> file = SamplePng();
  for (size_t n = 0; n < 8; ++n) {
    std::vector<uint8_t> head(file.begin(), file.begin() + static_cast<long>(n));
    EXPECT_FALSE(DecodeWith(PNG_DECODER, head).checked) << n << " bytes";
  }
  // The signature alone, and the signature with a damaged header.
  EXPECT_FALSE(
      DecodeWith(PNG_DECODER, std::vector<uint8_t>(file.begin(), file.begin() + 8)).checked);
  for (size_t i = 0; i < 8; ++i) {
    std::vector<uint8_t> bad = file;
    bad[i] ^= 0x20;
    EXPECT_FALSE(DecodeWith(PNG_DECODER, bad).checked) << "signature byte " << i;
  }
  std::vector<uint8_t> jpegLike = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0};
  EXPECT_FALSE(DecodeWith(PNG_DECODER, jpegLike).checked);
  // A null data address is empty data.
  DecoderSource source;
  DecoderSourceMemory(&source, nullptr, 100);
  EXPECT_EQ(PNG_DECODER.check(&source), 0);
  PNG_DECODER.release(&source);
}

TEST(PngDecoder, EveryCutFailsBeforeTheImageDataEnds) {
  PngPicture p = Picture(6, 8, true, 20, 12);
  std::vector<uint8_t> file = MakePng(p);
  const size_t imageEnd = file.size() - 12;  // the closing IEND chunk is 12 bytes
  for (size_t n = 0; n < file.size(); ++n) {
    std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<long>(n));
    Decoded d = DecodeWith(PNG_DECODER, cut);
    if (n < imageEnd)
      EXPECT_FALSE(d.ok) << "cut at " << n;
    else if (d.ok)
      ExpectPixels(p, d);  // only the closing chunk is missing: the picture is whole
  }
}

TEST(PngDecoder, DamagedChunksFail) {
  std::vector<uint8_t> file = SamplePng();
  // Every byte of the header chunk and of the image data, one at a time; the checksums
  // catch each.
  const size_t imageEnd = file.size() - 12;
  for (size_t i = 8; i < imageEnd; i += (i < 40 ? 1 : 7)) {
    std::vector<uint8_t> bad = file;
    bad[i] ^= 0x01;
    EXPECT_FALSE(DecodeWith(PNG_DECODER, bad).ok) << "byte " << i;
  }
}

TEST(PngDecoder, DamagedCompressedDataWithRepairedChecksumFailsOrKeepsItsSize) {
  std::vector<uint8_t> file = SamplePng();
  // Find the first IDAT chunk; damage its data and give it a matching checksum, so that
  // the damage reaches the inflater and the row filters.
  size_t at = 8;
  while (at + 8 < file.size() &&
         std::string(file.begin() + at + 4, file.begin() + at + 8) != "IDAT")
    at += 12 + ReadBig32(file, at);
  ASSERT_LT(at + 8, file.size());
  uint32_t length = ReadBig32(file, at);
  int failed = 0;
  for (uint32_t i = 0; i < length; ++i) {
    std::vector<uint8_t> bad = file;
    bad[at + 8 + i] ^= static_cast<uint8_t>(0x55 + i);
    uLong crc = crc32(0, bad.data() + at + 4, length + 4);
    WriteBig32(&bad, at + 8 + length, static_cast<uint32_t>(crc));
    Decoded d = DecodeWith(PNG_DECODER, bad);
    if (!d.ok) ++failed;
    if (d.checked) {
      EXPECT_EQ(d.width, 20);
      EXPECT_TRUE(GuardsIntact(d));
    }
  }
  EXPECT_GT(failed, 0);
}

TEST(PngDecoder, HugeHeadersAreRefusedBeforeDecoding) {
  std::vector<uint8_t> file = SamplePng();
  struct Size {
    uint32_t w, h;
    bool allowed;
  };
  const Size sizes[] = {{60000, 60000, false}, {16385, 1, false},      {1, 16385, false},
                        {8192, 8192, false},   {0x7FFFFFFF, 1, false}, {2049, 2048, false},
                        {16384, 256, true},    {2048, 2048, true},     {16384, 1, true}};
  for (const Size& s : sizes) {
    std::vector<uint8_t> big = file;
    SetPngSize(&big, s.w, s.h);
    DecoderSource source;
    DecoderSourceMemory(&source, big.data(), big.size());
    EXPECT_EQ(PNG_DECODER.check(&source) != 0, s.allowed) << s.w << " x " << s.h;
    if (s.allowed) {
      EXPECT_EQ(source.width, static_cast<int>(s.w));
      EXPECT_EQ(source.height, static_cast<int>(s.h));
    }
    PNG_DECODER.release(&source);
    EXPECT_EQ(source.state, nullptr);
  }
  EXPECT_FALSE(ImageSizeAllowed(0, 10));
  EXPECT_FALSE(ImageSizeAllowed(10, -1));
  EXPECT_TRUE(ImageSizeAllowed(IMAGE_MAX_SIDE, IMAGE_MAX_PIXELS / IMAGE_MAX_SIDE));
  EXPECT_FALSE(ImageSizeAllowed(IMAGE_MAX_SIDE, IMAGE_MAX_PIXELS / IMAGE_MAX_SIDE + 1));
}

#ifndef _WIN32
// A text chunk whose length field claims almost 2 GB: libpng takes an oversized length as
// a warning and would allocate it. The decoder skips such chunks unread; the child
// process checks that its memory stayed small.
TEST(PngDecoderDeathTest, OversizedTextChunkIsSkippedNotAllocated) {
  std::vector<uint8_t> file = SamplePng();
  const uint8_t chunk[] = {0x71, 0x2E, 0x66, 0x25, 't', 'E', 'X', 't', 'k', 'e', 'y', 0};
  file.insert(file.begin() + 33, chunk, chunk + sizeof chunk);  // after the header chunk
  EXPECT_EXIT(
      {
        Decoded d = DecodeWith(PNG_DECODER, file);
        rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        std::exit(!d.ok && usage.ru_maxrss < 512 * 1024 ? 0 : 1);  // kilobytes
      },
      ::testing::ExitedWithCode(0), "");
}
#endif

TEST(PngDecoder, ManyFailuresInARowLeaveLaterDecodesSound) {
  PngPicture p = Picture(6, 16, true);
  std::vector<uint8_t> good = MakePng(p);
  for (int i = 0; i < 300; ++i) {
    std::vector<uint8_t> bad = good;
    if (i % 3 == 0) bad.resize(static_cast<size_t>(40 + i % 50));
    if (i % 3 == 1) bad[static_cast<size_t>(33 + i % 40)] ^= 0x10;
    if (i % 3 == 2) SetPngSize(&bad, 70000, 70000);
    EXPECT_FALSE(DecodeWith(PNG_DECODER, bad).ok);
  }
  ExpectPixels(p, DecodeWith(PNG_DECODER, good));
}

// ---------------------------------------------------------------------------------------
// File source

using PngFileTest = ScratchDirTest;

TEST_F(PngFileTest, DecodesFromAFileAndRefusesShortOnes) {
  PngPicture p = Picture(3, 8, true, 17, 9);
  p.transparent = {10, 20};
  std::string path = dir_ + "picture.bin";
  ASSERT_TRUE(WriteFileBytes(path, MakePng(p)));
  DecoderSource source;
  ASSERT_TRUE(DecoderSourceFile(&source, path.c_str()));
  Decoded d = DecodeSource(PNG_DECODER, &source);
  ASSERT_TRUE(d.checked);
  source.decoder = &PNG_DECODER;
  DecoderSourceEnd(&source);
  EXPECT_EQ(source.file, nullptr);
  ExpectPixels(p, d);

  std::vector<uint8_t> file = MakePng(p);
  file.resize(7);
  ASSERT_TRUE(WriteFileBytes(path, file));
  ASSERT_TRUE(DecoderSourceFile(&source, path.c_str()));
  EXPECT_FALSE(PNG_DECODER.check(&source));
  DecoderSourceEnd(&source);

  EXPECT_FALSE(DecoderSourceFile(&source, (dir_ + "missing.png").c_str()));
  EXPECT_FALSE(DecoderSourceFile(&source, nullptr));
  DecoderSourceEnd(&source);
}

}  // namespace
