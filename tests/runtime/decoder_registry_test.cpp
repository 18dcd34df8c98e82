// The decoder registry and the shared source: registration order and idempotence, which
// decoder takes which data (by content), file sources rewound for each decoder.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "decode_util.h"
#include "picture_maker.h"
#include "temp_dir.h"

namespace {

class RegistryTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    JpegDecoderRegister();
    PngDecoderRegister();
  }
};

std::vector<uint8_t> SmallPng() {
  PngPicture p;
  p.width = 3;
  p.height = 2;
  p.colorType = 6;
  p.samples = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
               13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
  return MakePng(p);
}

std::vector<uint8_t> SmallJpeg() {
  JpegPicture p;
  p.width = 8;
  p.height = 8;
  p.samples.assign(8 * 8 * 3, 90);
  return MakeJpeg(p);
}

TEST_F(RegistryTest, JpegComesFirstAndRegisteringAgainAddsNothing) {
  ASSERT_EQ(DecoderCount(), 2);
  EXPECT_EQ(DecoderAt(0), &JPEG_DECODER);
  EXPECT_EQ(DecoderAt(1), &PNG_DECODER);
  EXPECT_EQ(DecoderAt(2), nullptr);
  EXPECT_EQ(DecoderAt(-1), nullptr);
  JpegDecoderRegister();
  PngDecoderRegister();
  DecoderRegister(nullptr);
  EXPECT_EQ(DecoderCount(), 2);
}

TEST_F(RegistryTest, EachFormatFindsItsDecoder) {
  std::vector<uint8_t> png = SmallPng(), jpeg = SmallJpeg();
  DecoderSource source;
  DecoderSourceMemory(&source, png.data(), png.size());
  EXPECT_EQ(DecoderFind(&source), &PNG_DECODER);
  EXPECT_EQ(source.decoder, &PNG_DECODER);
  EXPECT_EQ(source.width, 3);
  EXPECT_EQ(source.bitsPerPixel, 32);
  DecoderSourceEnd(&source);
  EXPECT_EQ(source.state, nullptr);
  EXPECT_EQ(source.decoder, nullptr);

  DecoderSourceMemory(&source, jpeg.data(), jpeg.size());
  EXPECT_EQ(DecoderFind(&source), &JPEG_DECODER);
  EXPECT_EQ(source.bitsPerPixel, 24);
  DecoderSourceEnd(&source);

  const std::vector<uint8_t> foreign[] = {{}, {'B', 'M', 0, 0}, {0, 0, 1, 0, 1, 0}, {0xFF}};
  for (const auto& data : foreign) {
    DecoderSourceMemory(&source, data.data(), data.size());
    EXPECT_EQ(DecoderFind(&source), nullptr);
    EXPECT_EQ(source.state, nullptr);
    DecoderSourceEnd(&source);
  }
}

TEST_F(RegistryTest, FileSourcesAreOfferedToEachDecoderFromTheStart) {
  // The JPEG decoder reads the first bytes of the PNG file and refuses it; the PNG decoder
  // must still see the file from its first byte.
  std::string path = dir_ + "defolt.jpg";
  ASSERT_TRUE(WriteFileBytes(path, SmallPng()));
  DecoderSource source;
  ASSERT_TRUE(DecoderSourceFile(&source, path.c_str()));
  ASSERT_EQ(DecoderFind(&source), &PNG_DECODER);
  std::vector<uint8_t> pixels(static_cast<size_t>(DecoderPitch(3, 32)) * 2);
  ASSERT_TRUE(source.decoder->decode(&source, pixels.data(), DecoderPitch(3, 32), 0));
  DecoderSourceEnd(&source);
  // Top-down: first pixel is red 1, green 2, blue 3, alpha 4, stored blue first.
  EXPECT_EQ(pixels[0], 3);
  EXPECT_EQ(pixels[1], 2);
  EXPECT_EQ(pixels[2], 1);
  EXPECT_EQ(pixels[3], 4);

  ASSERT_TRUE(
      WriteFileBytes(path, {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'}));
  ASSERT_TRUE(DecoderSourceFile(&source, path.c_str()));
  EXPECT_EQ(DecoderFind(&source), nullptr);
  DecoderSourceEnd(&source);
  EXPECT_EQ(source.file, nullptr);
}

TEST_F(RegistryTest, AMemorySourceZeroesItsRecord) {
  DecoderSource source;
  std::memset(&source, 0x5A, sizeof source);
  const uint8_t data[4] = {1, 2, 3, 4};
  DecoderSourceMemory(&source, data, sizeof data);
  EXPECT_EQ(source.data, data);
  EXPECT_EQ(source.size, 4u);
  EXPECT_EQ(source.fromFile, 0);
  EXPECT_EQ(source.file, nullptr);
  EXPECT_EQ(source.state, nullptr);
  EXPECT_EQ(source.decoder, nullptr);
}

}  // namespace
