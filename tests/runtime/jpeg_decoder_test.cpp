// The JPEG decoder: colour and grey pictures of flat blocks (whose decoded colours are
// known within a small tolerance), both row orders, progressive pictures, cut pictures
// that still decode, and damaged, foreign and oversized data that fails cleanly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "decode_util.h"
#include "picture_maker.h"
#include "temp_dir.h"

namespace {

struct Rgb {
  uint8_t r, g, b;
};

// Flat blocks aligned to the coding units: each decodes to its own colour up to rounding.
constexpr int kBlock = 16;

Rgb BlockColor(int bx, int by) {
  static const Rgb colors[] = {{255, 0, 0},    {0, 255, 0},    {0, 0, 255},    {255, 255, 255},
                               {0, 0, 0},      {200, 120, 40}, {30, 90, 210},  {128, 128, 128},
                               {250, 240, 10}, {90, 10, 120},  {16, 200, 180}, {70, 70, 60}};
  return colors[(bx * 5 + by * 3) % 12];
}

JpegPicture Blocks(int blocksX, int blocksY, int components = 3) {
  JpegPicture p;
  p.width = blocksX * kBlock;
  p.height = blocksY * kBlock;
  p.components = components;
  p.quality = 100;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      Rgb c = BlockColor(x / kBlock, y / kBlock);
      if (components == 1) {
        p.samples.push_back(static_cast<uint8_t>((c.r + 2 * c.g + c.b) / 4));
      } else {
        p.samples.push_back(c.r);
        p.samples.push_back(c.g);
        p.samples.push_back(c.b);
      }
    }
  return p;
}

// Checks the pixels of block rows [0, rows) against the samples, within `tolerance`.
// Subsampled chroma is interpolated across block edges, so there only the pixels at
// least `margin` away from a block edge are compared.
void ExpectBlocks(const JpegPicture& p, const Decoded& d, int tolerance, int rows = -1,
                  int margin = 0) {
  ASSERT_TRUE(d.checked);
  ASSERT_TRUE(d.ok);
  ASSERT_EQ(d.width, p.width);
  ASSERT_EQ(d.height, p.height);
  ASSERT_EQ(d.bits, 24);
  int lastRow = rows < 0 ? p.height : rows * kBlock;
  int wrong = 0, compared = 0;
  auto inside = [&](int v) { return v % kBlock >= margin && v % kBlock < kBlock - margin; };
  for (int y = 0; y < lastRow; ++y)
    for (int x = 0; x < p.width; ++x) {
      if (!inside(x) || !inside(y)) continue;
      ++compared;
      const uint8_t* got = d.At(x, y);
      const uint8_t* s = p.samples.data() + (static_cast<size_t>(y) * p.width + x) * p.components;
      int r = s[0], g = p.components == 1 ? s[0] : s[1], b = p.components == 1 ? s[0] : s[2];
      bool near = std::abs(got[0] - b) <= tolerance && std::abs(got[1] - g) <= tolerance &&
                  std::abs(got[2] - r) <= tolerance;
      if (!near && ++wrong <= 5)
        ADD_FAILURE() << "pixel " << x << "," << y << " is " << +got[2] << " " << +got[1] << " "
                      << +got[0] << " (r g b), expected " << r << " " << g << " " << b;
    }
  EXPECT_GT(compared, 0);
  EXPECT_EQ(wrong, 0);
  EXPECT_TRUE(GuardsIntact(d));
}

// Offset of the first byte after the first start-of-scan header.
size_t ScanDataStart(const std::vector<uint8_t>& file) {
  size_t at = 2;
  while (at + 4 < file.size() && file[at] == 0xFF) {
    size_t length = static_cast<size_t>(file[at + 2]) << 8 | file[at + 3];
    if (file[at + 1] == 0xDA) return at + 2 + length;
    at += 2 + length;
  }
  return 0;
}

TEST(JpegDecoder, ColourBlocksDecodeInBlueGreenRedInBothRowOrders) {
  JpegPicture p = Blocks(4, 3);
  std::vector<uint8_t> file = MakeJpeg(p);
  ASSERT_FALSE(file.empty());
  ExpectBlocks(p, DecodeWith(JPEG_DECODER, file, DECODE_BOTTOM_UP), 3);
  ExpectBlocks(p, DecodeWith(JPEG_DECODER, file, 0), 3);
}

TEST(JpegDecoder, SubsampledAndProgressivePicturesDecode) {
  JpegPicture p = Blocks(5, 2);
  p.subsample = true;
  ExpectBlocks(p, DecodeWith(JPEG_DECODER, MakeJpeg(p)), 4, -1, 2);
  p.progressive = true;
  ExpectBlocks(p, DecodeWith(JPEG_DECODER, MakeJpeg(p)), 4, -1, 2);
  p.subsample = false;
  ExpectBlocks(p, DecodeWith(JPEG_DECODER, MakeJpeg(p)), 3);
}

TEST(JpegDecoder, OddSizesDecode) {
  // Sizes that end inside a coding unit: a picture of one flat colour stays that colour.
  for (auto [w, h] : std::vector<std::pair<int, int>>{{1, 1}, {7, 3}, {17, 33}, {100, 1}}) {
    JpegPicture p;
    p.width = w;
    p.height = h;
    p.subsample = true;
    p.samples.assign(static_cast<size_t>(w) * h * 3, 0);
    for (size_t i = 0; i < p.samples.size(); i += 3) {
      p.samples[i] = 40;
      p.samples[i + 1] = 160;
      p.samples[i + 2] = 220;
    }
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    ExpectBlocks(p, DecodeWith(JPEG_DECODER, MakeJpeg(p)), 4);
  }
}

TEST(JpegDecoder, GreyPictureGivesEqualBlueGreenRed) {
  JpegPicture p = Blocks(3, 3, 1);
  Decoded d = DecodeWith(JPEG_DECODER, MakeJpeg(p));
  ExpectBlocks(p, d, 2);
  for (int y = 0; y < d.height; ++y)
    for (int x = 0; x < d.width; ++x) {
      const uint8_t* px = d.At(x, y);
      ASSERT_TRUE(px[0] == px[1] && px[1] == px[2]) << x << "," << y;
    }
}

TEST(JpegDecoder, ShortOrForeignDataIsNotRecognised) {
  EXPECT_FALSE(DecodeWith(JPEG_DECODER, {}).checked);
  EXPECT_FALSE(DecodeWith(JPEG_DECODER, {0xFF}).checked);
  EXPECT_FALSE(DecodeWith(JPEG_DECODER, {0xFF, 0xD9, 0xFF, 0xD8}).checked);
  EXPECT_FALSE(DecodeWith(JPEG_DECODER, {0x89, 'P', 'N', 'G', 13, 10, 26, 10}).checked);
  // A start of image and nothing else, or an end right after it: no picture.
  EXPECT_FALSE(DecodeWith(JPEG_DECODER, {0xFF, 0xD8}).checked);
  EXPECT_FALSE(DecodeWith(JPEG_DECODER, {0xFF, 0xD8, 0xFF, 0xD9}).checked);
}

TEST(JpegDecoder, CutPicturesStillDecodeTheirFirstPart) {
  JpegPicture p = Blocks(4, 4);
  std::vector<uint8_t> file = MakeJpeg(p);
  size_t scan = ScanDataStart(file);
  ASSERT_GT(scan, 0u);
  size_t keep = scan + (file.size() - scan) * 3 / 4;
  std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<long>(keep));
  // The first block row is whole; what the data no longer holds is filled in.
  ExpectBlocks(p, DecodeWith(JPEG_DECODER, cut), 3, 1);
}

TEST(JpegDecoder, EveryCutAfterTheScanHeaderDecodes) {
  JpegPicture p = Blocks(2, 2);
  std::vector<uint8_t> file = MakeJpeg(p);
  size_t scan = ScanDataStart(file);
  ASSERT_GT(scan, 0u);
  for (size_t n = 0; n <= file.size(); ++n) {
    std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<long>(n));
    Decoded d = DecodeWith(JPEG_DECODER, cut);
    if (n >= scan) {
      EXPECT_TRUE(d.ok) << "cut at " << n;
    }
    if (d.checked) {
      EXPECT_EQ(d.width, p.width) << n;
      EXPECT_TRUE(GuardsIntact(d)) << n;
    }
  }
}

TEST(JpegDecoder, EveryCutOfAProgressivePictureFailsOrDecodesCleanly) {
  JpegPicture p = Blocks(2, 2);
  p.progressive = true;
  p.subsample = true;
  std::vector<uint8_t> file = MakeJpeg(p);
  int decoded = 0;
  for (size_t n = 0; n <= file.size(); ++n) {
    std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<long>(n));
    Decoded d = DecodeWith(JPEG_DECODER, cut);
    if (d.checked) {
      EXPECT_EQ(d.width, p.width) << n;
      EXPECT_TRUE(GuardsIntact(d)) << n;
    }
    decoded += d.ok;
  }
  EXPECT_GT(decoded, 0);
}

TEST(JpegDecoder, DamagedHeadersFailAndDamagedScansDoNotCrash) {
  JpegPicture p = Blocks(3, 2);
  std::vector<uint8_t> file = MakeJpeg(p);
  std::vector<uint8_t> empty = file;
  ASSERT_TRUE(SetJpegSize(&empty, 0, 16));
  EXPECT_FALSE(DecodeWith(JPEG_DECODER, empty).checked);

  // Tables only: everything before the frame header, then the end of image.
  size_t frame = 2;
  while (frame + 4 < file.size() && !(file[frame + 1] >= 0xC0 && file[frame + 1] <= 0xC2))
    frame += 2 + (static_cast<size_t>(file[frame + 2]) << 8 | file[frame + 3]);
  std::vector<uint8_t> tables(file.begin(), file.begin() + static_cast<long>(frame));
  tables.push_back(0xFF);
  tables.push_back(0xD9);
  EXPECT_FALSE(DecodeWith(JPEG_DECODER, tables).checked);

  // One damaged byte anywhere: a failure or a picture of the right size, never a crash.
  for (size_t i = 2; i < file.size(); ++i) {
    std::vector<uint8_t> bad = file;
    bad[i] ^= 0xA5;
    Decoded d = DecodeWith(JPEG_DECODER, bad);
    if (d.checked) {
      EXPECT_TRUE(GuardsIntact(d)) << i;
    }
  }
}

TEST(JpegDecoder, FourChannelPicturesFailCleanly) {
  JpegPicture p;
  p.width = 16;
  p.height = 8;
  p.components = 4;
  p.samples.assign(16 * 8 * 4, 100);
  std::vector<uint8_t> file = MakeJpeg(p);
  ASSERT_FALSE(file.empty());
  EXPECT_FALSE(DecodeWith(JPEG_DECODER, file).checked);
}

TEST(JpegDecoder, HugeHeadersAreRefusedBeforeDecoding) {
  std::vector<uint8_t> file = MakeJpeg(Blocks(2, 1));
  struct Size {
    uint16_t w, h;
    bool allowed;
  };
  const Size sizes[] = {{60000, 60000, false}, {16385, 8, false},   {8, 16385, false},
                        {65535, 65535, false}, {8192, 8192, false}, {4000, 3000, false},
                        {6144, 4096, false},  // the fuzzer's cut-short progressive picture
                        {16384, 256, true},    {2048, 2048, true}};
  for (const Size& s : sizes) {
    std::vector<uint8_t> big = file;
    ASSERT_TRUE(SetJpegSize(&big, s.w, s.h));
    DecoderSource source;
    DecoderSourceMemory(&source, big.data(), big.size());
    EXPECT_EQ(JPEG_DECODER.check(&source) != 0, s.allowed) << s.w << " x " << s.h;
    if (s.allowed) {
      EXPECT_EQ(source.width, s.w);
    }
    JPEG_DECODER.release(&source);
    EXPECT_EQ(source.state, nullptr);
  }
}

TEST(JpegDecoder, ProgressivePicturesWithTooManyScansFail) {
  JpegPicture p = Blocks(2, 2);
  p.manyScans = true;
  std::vector<uint8_t> many = MakeJpeg(p);
  ASSERT_FALSE(many.empty());
  EXPECT_FALSE(DecodeWith(JPEG_DECODER, many).ok);
  // The same picture in the usual ten scans decodes.
  p.manyScans = false;
  p.progressive = true;
  ExpectBlocks(p, DecodeWith(JPEG_DECODER, MakeJpeg(p)), 3);
}

TEST(JpegDecoder, ManyFailuresInARowLeaveLaterDecodesSound) {
  JpegPicture p = Blocks(3, 3);
  std::vector<uint8_t> good = MakeJpeg(p);
  for (int i = 0; i < 300; ++i) {
    std::vector<uint8_t> bad = good;
    if (i % 3 == 0) bad.resize(static_cast<size_t>(3 + i % 60));
    if (i % 3 == 1) SetJpegSize(&bad, 0, 0);
    if (i % 3 == 2) SetJpegSize(&bad, 60000, 60000);
    EXPECT_FALSE(DecodeWith(JPEG_DECODER, bad).ok) << i;
  }
  ExpectBlocks(p, DecodeWith(JPEG_DECODER, good), 3);
}

using JpegFileTest = ScratchDirTest;

TEST_F(JpegFileTest, DecodesFromAFileAndRefusesTinyOnes) {
  JpegPicture p = Blocks(2, 3);
  std::string path = dir_ + "preview.png";  // the name says nothing; the content counts
  ASSERT_TRUE(WriteFileBytes(path, MakeJpeg(p)));
  DecoderSource source;
  ASSERT_TRUE(DecoderSourceFile(&source, path.c_str()));
  Decoded d = DecodeSource(JPEG_DECODER, &source);
  ASSERT_TRUE(d.checked);
  source.decoder = &JPEG_DECODER;
  DecoderSourceEnd(&source);
  ExpectBlocks(p, d, 3);

  // A file source needs more than the two start bytes.
  ASSERT_TRUE(WriteFileBytes(path, {0xFF, 0xD8}));
  ASSERT_TRUE(DecoderSourceFile(&source, path.c_str()));
  EXPECT_FALSE(JPEG_DECODER.check(&source));
  DecoderSourceEnd(&source);
}

}  // namespace
