// Image objects under Wine: decoded pictures become bottom-up DIB sections of the right
// size and depth with the first picture row on top; BMP and icon data go through the
// system; files are recognised by content; failed loads leave their number free; and the
// alpha services compute what they promise.
#include "image.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>

#include "decoder.h"
#include "picture_maker.h"
#include "startup.h"
#include "temp_dir.h"

namespace {

class ImageTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    JpegDecoderRegister();
    PngDecoderRegister();
  }
  void TearDown() override {
    ImagesEnd();
    ScratchDirTest::TearDown();
  }
  std::string File(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = dir_ + name;
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return path;
  }
};

// Picture (x, y) of the test pattern, as red, green, blue, alpha.
uint32_t Pattern(int x, int y) {
  return static_cast<uint32_t>((x * 40 + 10) & 0xFF) |
         static_cast<uint32_t>((y * 60 + 20) & 0xFF) << 8 |
         static_cast<uint32_t>((x * y * 7 + 30) & 0xFF) << 16 |
         static_cast<uint32_t>((x + y) % 3 == 0 ? 0 : 90 + x * 10) << 24;
}

std::vector<uint8_t> PatternPng(int w, int h, bool alpha) {
  PngPicture p;
  p.width = w;
  p.height = h;
  p.colorType = alpha ? 6 : 2;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < (alpha ? 4 : 3); ++c)
        p.samples.push_back((Pattern(x, y) >> (8 * c)) & 0xFF);
  return MakePng(p);
}

std::vector<uint8_t> FlatJpeg(int w, int h, int components, uint8_t r, uint8_t g, uint8_t b) {
  JpegPicture p;
  p.width = w;
  p.height = h;
  p.components = components;
  p.quality = 100;
  for (int i = 0; i < w * h; ++i) {
    if (components == 1) {
      p.samples.push_back(r);
    } else {
      p.samples.push_back(r);
      p.samples.push_back(g);
      p.samples.push_back(b);
    }
  }
  return MakeJpeg(p);
}

// A BMP file image; `pixel` gives the stored value (blue, green, red, alpha for 24 and 32
// bits; the palette index for 8 bits) of picture point (x, y), y = 0 the top row.
std::vector<uint8_t> MakeBmp(int w, int h, int bits, bool topDown,
                             const std::function<uint32_t(int, int)>& pixel) {
  int stride = ((w * bits + 31) / 32) * 4;
  int table = bits == 8 ? 256 * 4 : 0;
  uint32_t offset = 14 + 40 + table;
  std::vector<uint8_t> d(offset + static_cast<size_t>(stride) * h, 0);
  auto put16 = [&](size_t at, uint32_t v) { d[at] = v & 0xFF, d[at + 1] = (v >> 8) & 0xFF; };
  auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
  d[0] = 'B';
  d[1] = 'M';
  put32(2, static_cast<uint32_t>(d.size()));
  put32(10, offset);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(topDown ? -h : h));
  put16(26, 1);
  put16(28, static_cast<uint32_t>(bits));
  for (int i = 0; i < table / 4; ++i)
    put32(54 + 4 * i, static_cast<uint32_t>(i << 16 | (255 - i) << 8 | i / 2));
  for (int y = 0; y < h; ++y) {
    size_t row = offset + static_cast<size_t>(topDown ? y : h - 1 - y) * stride;
    for (int x = 0; x < w; ++x) {
      uint32_t v = pixel(x, y);
      for (int c = 0; c < bits / 8; ++c)
        d[row + static_cast<size_t>(x) * (bits / 8) + c] = (v >> (8 * c)) & 0xFF;
    }
  }
  return d;
}

DIBSECTION Section(intptr_t handle) {
  DIBSECTION section = {};
  EXPECT_EQ(GetObjectA(reinterpret_cast<HBITMAP>(handle), sizeof section, &section),
            static_cast<int>(sizeof section));
  return section;
}

// Red, green, blue of point (x, y) as the bitmap displays it.
COLORREF Shown(intptr_t handle, int x, int y) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HBITMAP>(handle));
  COLORREF color = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteDC(dc);
  return color;
}

COLORREF PatternColor(int x, int y) { return Pattern(x, y) & 0xFFFFFF; }

bool Deleted(intptr_t handle) { return GetObjectType(reinterpret_cast<HGDIOBJ>(handle)) == 0; }

TEST_F(ImageTest, DecodedPicturesAreBottomUpSectionsWithTheFirstRowOnTop) {
  std::vector<uint8_t> rgb = PatternPng(5, 3, false), rgba = PatternPng(4, 6, true);
  intptr_t plain = ImageFromMemory(1, rgb.data(), rgb.size());
  ASSERT_NE(plain, 0);
  EXPECT_EQ(plain, ImageHandle(1));
  DIBSECTION s = Section(plain);
  EXPECT_EQ(s.dsBm.bmWidth, 5);
  EXPECT_EQ(s.dsBm.bmHeight, 3);
  EXPECT_EQ(s.dsBm.bmBitsPixel, 24);
  EXPECT_GT(s.dsBmih.biHeight, 0);
  EXPECT_EQ(ImageWidth(1), 5);
  EXPECT_EQ(ImageHeight(1), 3);
  EXPECT_EQ(ImageDepth(1), 24);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(Shown(plain, x, y), PatternColor(x, y)) << x << "," << y;

  intptr_t alpha = ImageFromMemory(2, rgba.data(), rgba.size());
  ASSERT_NE(alpha, 0);
  s = Section(alpha);
  EXPECT_EQ(s.dsBm.bmBitsPixel, 32);
  EXPECT_EQ(ImageDepth(2), 32);
  // Straight alpha in the fourth byte; memory row 0 is the last picture row.
  const uint8_t* bits = static_cast<const uint8_t*>(s.dsBm.bmBits);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 4; ++x) {
      const uint8_t* px = bits + (5 - y) * s.dsBm.bmWidthBytes + x * 4;
      uint32_t want = Pattern(x, y);
      EXPECT_EQ(px[0], (want >> 16) & 0xFF);
      EXPECT_EQ(px[2], want & 0xFF);
      EXPECT_EQ(px[3], want >> 24);
    }

  std::vector<uint8_t> colour = FlatJpeg(24, 8, 3, 200, 60, 20), grey = FlatJpeg(9, 9, 1, 77, 0, 0);
  intptr_t jpeg = ImageFromMemory(3, colour.data(), colour.size());
  ASSERT_NE(jpeg, 0);
  EXPECT_EQ(Section(jpeg).dsBm.bmBitsPixel, 24);
  COLORREF c = Shown(jpeg, 0, 0);
  EXPECT_NEAR(GetRValue(c), 200, 3);
  EXPECT_NEAR(GetGValue(c), 60, 3);
  EXPECT_NEAR(GetBValue(c), 20, 3);
  intptr_t greyHandle = ImageFromMemory(4, grey.data(), grey.size());
  ASSERT_NE(greyHandle, 0);
  EXPECT_EQ(Section(greyHandle).dsBm.bmBitsPixel, 24);
  c = Shown(greyHandle, 8, 8);
  EXPECT_TRUE(GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c));
  EXPECT_NEAR(GetRValue(c), 77, 2);
}

TEST_F(ImageTest, BmpDataGoesThroughTheSystem) {
  auto colour = [](int x, int y) { return static_cast<uint32_t>(x * 30 << 16 | y * 40 << 8 | 99); };
  for (bool topDown : {false, true}) {
    std::vector<uint8_t> bmp = MakeBmp(6, 4, 24, topDown, colour);
    intptr_t handle = ImageFromMemory(5, bmp.data(), bmp.size());
    ASSERT_NE(handle, 0) << topDown;
    EXPECT_EQ(ImageWidth(5), 6);
    EXPECT_EQ(ImageHeight(5), 4);
    EXPECT_GT(Section(handle).dsBmih.biHeight, 0);
    EXPECT_EQ(Shown(handle, 0, 0), RGB(0, 0, 99));  // the first row on top either way
    EXPECT_EQ(Shown(handle, 5, 3), RGB(150, 120, 99));
  }
  // A palette picture becomes 24-bit colour.
  std::vector<uint8_t> indexed = MakeBmp(5, 2, 8, false, [](int x, int) { return x * 50; });
  ASSERT_NE(ImageFromMemory(6, indexed.data(), indexed.size()), 0);
  EXPECT_EQ(ImageDepth(6), 24);
  EXPECT_EQ(Shown(ImageHandle(6), 2, 1), RGB(100, 155, 50));

  // 32 bits: alpha all 0 means no alpha (opaque); any non-zero alpha byte is kept.
  std::vector<uint8_t> noAlpha = MakeBmp(3, 3, 32, false, [](int, int) { return 0x00102030u; });
  intptr_t opaque = ImageFromMemory(7, noAlpha.data(), noAlpha.size());
  ASSERT_NE(opaque, 0);
  EXPECT_EQ(ImageDepth(7), 32);
  const uint8_t* bits = static_cast<const uint8_t*>(Section(opaque).dsBm.bmBits);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(bits[i * 4 + 3], 255);
  std::vector<uint8_t> someAlpha = MakeBmp(
      3, 3, 32, false, [](int x, int y) { return x == 1 && y == 1 ? 0x40102030u : 0x00102030u; });
  intptr_t kept = ImageFromMemory(8, someAlpha.data(), someAlpha.size());
  ASSERT_NE(kept, 0);
  bits = static_cast<const uint8_t*>(Section(kept).dsBm.bmBits);
  EXPECT_EQ(bits[(1 * 3 + 1) * 4 + 3], 0x40);
  EXPECT_EQ(bits[3], 0);

  // Unsound headers fail: pixel data cut short, a huge size, a tiny file.
  std::vector<uint8_t> cut = MakeBmp(6, 4, 24, false, colour);
  cut.resize(cut.size() - 10);
  EXPECT_EQ(ImageFromMemory(9, cut.data(), cut.size()), 0);
  std::vector<uint8_t> huge = MakeBmp(2, 2, 24, false, colour);
  huge[20] = huge[24] = 0x01;  // 65538 x 65538
  EXPECT_EQ(ImageFromMemory(9, huge.data(), huge.size()), 0);
  EXPECT_EQ(ImageFromMemory(9, "BM", 2), 0);
  EXPECT_EQ(ImageHandle(9), 0);
}

// An icon file image: one entry per (size, bits); 24 and 32-bit images with an AND mask.
std::vector<uint8_t> MakeIcon(const std::vector<std::pair<int, int>>& entries) {
  std::vector<uint8_t> d(6 + 16 * entries.size(), 0);
  d[2] = 1;
  d[4] = static_cast<uint8_t>(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    auto [size, bits] = entries[i];
    size_t stride = ((size * bits + 31) / 32) * 4, maskStride = ((size + 31) / 32) * 4;
    std::vector<uint8_t> image(40 + (stride + maskStride) * size, 0);
    image[0] = 40;
    image[4] = static_cast<uint8_t>(size);
    image[8] = static_cast<uint8_t>(size * 2);
    image[12] = 1;
    image[14] = static_cast<uint8_t>(bits);
    for (size_t p = 40; p < 40 + stride * size; ++p)
      image[p] = static_cast<uint8_t>(bits == 32 ? 0xC0 : 0x50);
    uint8_t* entry = d.data() + 6 + 16 * i;
    entry[0] = entry[1] = static_cast<uint8_t>(size);
    entry[4] = 1;
    entry[6] = static_cast<uint8_t>(bits);
    uint32_t bytes = static_cast<uint32_t>(image.size()), offset = static_cast<uint32_t>(d.size());
    std::memcpy(entry + 8, &bytes, 4);
    std::memcpy(entry + 12, &offset, 4);
    d.insert(d.end(), image.begin(), image.end());
  }
  return d;
}

TEST_F(ImageTest, IconsTakeTheDeepestImageOfTheFirstSize) {
  // The 32 x 32 entry is deeper but of another size than the first.
  std::vector<uint8_t> icon = MakeIcon({{16, 24}, {32, 32}, {16, 32}});
  intptr_t handle = ImageFromMemory(10, icon.data(), icon.size());
  ASSERT_NE(handle, 0);
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(handle), &info));
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  EXPECT_EQ(ImageWidth(10), 16);
  EXPECT_EQ(ImageHeight(10), 16);
  EXPECT_EQ(ImageDepth(10), 32);

  std::vector<uint8_t> broken = icon;
  broken[6 + 15] = 0x7F;  // first image beyond the data
  EXPECT_EQ(ImageFromMemory(10, broken.data(), broken.size()), 0);
  EXPECT_EQ(ImageHandle(10), 0);
}

TEST_F(ImageTest, FilesAreRecognisedByContentNotByName) {
  std::string png = File("a.jpg", PatternPng(7, 5, true));
  std::string jpeg = File("b.png", FlatJpeg(16, 16, 3, 10, 200, 30));
  std::string bmp = File("c.dat", MakeBmp(4, 4, 24, false, [](int, int) { return 0x112233u; }));
  std::string icon = File("d.bmp", MakeIcon({{16, 32}}));
  std::string text = File("e.png", {'<', 'h', 't', 'm', 'l', '>', 'n', 'o'});

  ASSERT_NE(ImageFromFile(20, png), 0);
  EXPECT_EQ(ImageWidth(20), 7);
  EXPECT_EQ(ImageDepth(20), 32);
  EXPECT_EQ(Shown(ImageHandle(20), 0, 0), PatternColor(0, 0));
  ASSERT_NE(ImageFromFile(21, jpeg), 0);
  EXPECT_EQ(ImageDepth(21), 24);
  EXPECT_NEAR(GetGValue(Shown(ImageHandle(21), 15, 15)), 200, 3);
  ASSERT_NE(ImageFromFile(22, bmp), 0);
  EXPECT_EQ(Shown(ImageHandle(22), 3, 0), RGB(0x11, 0x22, 0x33));
  EXPECT_GT(Section(ImageHandle(22)).dsBmih.biHeight, 0);
  ASSERT_NE(ImageFromFile(23, icon), 0);
  EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(ImageHandle(23))), 0u);  // an icon
  EXPECT_EQ(ImageWidth(23), 16);

  // A failed load frees what the number held.
  intptr_t old = ImageHandle(20);
  EXPECT_EQ(ImageFromFile(20, text), 0);
  EXPECT_EQ(ImageHandle(20), 0);
  EXPECT_TRUE(Deleted(old));
  EXPECT_EQ(ImageFromFile(21, dir_ + "missing.jpg"), 0);
  EXPECT_EQ(ImageHandle(21), 0);
  std::vector<uint8_t> hugePng = PatternPng(4, 4, false);
  SetPngSize(&hugePng, 60000, 60000);
  EXPECT_EQ(ImageFromFile(22, File("huge.jpg", hugePng)), 0);
  std::vector<uint8_t> hugeBmp = MakeBmp(2, 2, 24, false, [](int, int) { return 0u; });
  hugeBmp[21] = hugeBmp[25] = 0x7F;
  EXPECT_EQ(ImageFromFile(22, File("huge.bmp", hugeBmp)), 0);
}

TEST_F(ImageTest, NumbersAreFreedOnReuseFailureAndAtTheEnd) {
  std::vector<uint8_t> png = PatternPng(3, 3, false);
  intptr_t first = ImageFromMemory(108, png.data(), png.size());
  ASSERT_NE(first, 0);
  intptr_t second = ImageFromMemory(108, png.data(), png.size());
  ASSERT_NE(second, 0);
  EXPECT_TRUE(Deleted(first));
  const uint8_t junk[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(ImageFromMemory(108, junk, sizeof junk), 0);
  EXPECT_EQ(ImageHandle(108), 0);
  EXPECT_EQ(ImageWidth(108), 0);
  EXPECT_TRUE(Deleted(second));
  EXPECT_EQ(ImageFromMemory(108, nullptr, 100), 0);

  intptr_t a = ImageFromMemory(ANY_NUMBER, png.data(), png.size());
  intptr_t b = ImageFromMemory(ANY_NUMBER, png.data(), png.size());
  ASSERT_NE(a, 0);
  ASSERT_NE(b, 0);
  EXPECT_NE(a, b);
  EXPECT_GT(a, 1 << 16);
  intptr_t bHandle = ImageHandle(b);
  EXPECT_NE(bHandle, 0);
  EXPECT_NE(bHandle, b);
  EXPECT_EQ(ImageFromMemory(ANY_NUMBER, junk, sizeof junk), 0);
  ImageFree(a);
  EXPECT_EQ(ImageHandle(a), 0);
  EXPECT_EQ(ImageFromMemory(-5, png.data(), png.size()), 0);

  intptr_t kept = ImageFromMemory(40, png.data(), png.size());
  ImagesEnd();
  EXPECT_TRUE(Deleted(kept));
  EXPECT_TRUE(Deleted(bHandle));
  EXPECT_EQ(ImageHandle(40), 0);
}

TEST_F(ImageTest, ManyFailedLoadsLeaveLaterLoadsSound) {
  std::vector<uint8_t> png = PatternPng(6, 4, true), jpeg = FlatJpeg(8, 8, 3, 1, 2, 3);
  std::vector<uint8_t> cutPng(png.begin(), png.begin() + static_cast<long>(png.size() / 2));
  std::vector<uint8_t> hugeJpeg = jpeg;
  ASSERT_TRUE(SetJpegSize(&hugeJpeg, 60000, 60000));
  const std::vector<uint8_t>* bad[] = {&cutPng, &hugeJpeg};
  for (int i = 0; i < 100; ++i)
    EXPECT_EQ(ImageFromMemory(i % 7, bad[i % 2]->data(), bad[i % 2]->size()), 0) << i;
  ASSERT_NE(ImageFromMemory(1, png.data(), png.size()), 0);
  EXPECT_EQ(Shown(ImageHandle(1), 5, 3), PatternColor(5, 3));
  ASSERT_NE(ImageFromMemory(2, jpeg.data(), jpeg.size()), 0);
}

// ---------------------------------------------------------------------------------------
// Alpha services

HBITMAP Bitmap32(int w, int h, const std::function<uint32_t(int, int)>& bgra, bool section) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) pixels.push_back(bgra(x, y));
  if (!section) return CreateBitmap(w, h, 1, 32, pixels.data());
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::memcpy(bits, pixels.data(), pixels.size() * 4);
  return bitmap;
}

uint32_t PixelOf(HBITMAP bitmap, int x, int y) {
  BITMAP info;
  GetObjectA(bitmap, sizeof info, &info);
  std::vector<uint32_t> pixels(static_cast<size_t>(info.bmWidth) * info.bmHeight);
  BITMAPINFO header = {};
  header.bmiHeader = {
      sizeof(BITMAPINFOHEADER), info.bmWidth, -info.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, bitmap, 0, static_cast<UINT>(info.bmHeight), pixels.data(), &header,
            DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  return pixels[static_cast<size_t>(y) * info.bmWidth + x];
}

TEST_F(ImageTest, NeedsAlphaForSectionsOf32BitsAndBitmapsWithAlpha) {
  HBITMAP section = Bitmap32(
      2, 2, [](int, int) { return 0u; }, true);
  HBITMAP ddbClear = Bitmap32(
      2, 2, [](int, int) { return 0x00FFFFFFu; }, false);
  HBITMAP ddbAlpha = Bitmap32(
      2, 2, [](int x, int) { return x ? 0x01000000u : 0u; }, false);
  std::vector<uint8_t> rgb = PatternPng(2, 2, false);
  ASSERT_NE(ImageFromMemory(1, rgb.data(), rgb.size()), 0);
  EXPECT_EQ(ImageNeedsAlpha(section), 1);
  EXPECT_EQ(ImageNeedsAlpha(ddbClear), 0);
  EXPECT_EQ(ImageNeedsAlpha(ddbAlpha), 1);
  EXPECT_EQ(ImageNeedsAlpha(reinterpret_cast<HBITMAP>(ImageHandle(1))), 0);
  EXPECT_EQ(ImageNeedsAlpha(nullptr), 0);
  DeleteObject(section);
  DeleteObject(ddbClear);
  DeleteObject(ddbAlpha);
}

TEST_F(ImageTest, PremultipliedCopyShiftsByEight) {
  // Pixels: alpha 128, 254, 1, 0 and 255.
  const uint32_t in[] = {0x80C86432u, 0xFEFFFFFFu, 0x01FFFFFFu, 0x00FFFFFFu, 0xFF123456u};
  HBITMAP source = Bitmap32(
      5, 1, [&](int x, int) { return in[x]; }, true);
  HBITMAP copy = ImagePremultipliedCopy(source);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, source);
  DIBSECTION s;
  ASSERT_EQ(GetObjectA(copy, sizeof s, &s), static_cast<int>(sizeof s));
  EXPECT_EQ(s.dsBm.bmBitsPixel, 32);
  EXPECT_EQ(PixelOf(copy, 0, 0), 0x80643219u);  // 200*128>>8 = 100, 100 -> 50, 50 -> 25
  EXPECT_EQ(PixelOf(copy, 1, 0), 0xFEFDFDFDu);  // 255*254>>8 = 253, not 254
  EXPECT_EQ(PixelOf(copy, 2, 0), 0x01000000u);  // 255*1>>8 = 0, not 1
  EXPECT_EQ(PixelOf(copy, 3, 0), 0x00000000u);
  EXPECT_EQ(PixelOf(copy, 4, 0), 0xFF123456u);
  EXPECT_EQ(ImagePremultipliedCopy(nullptr), nullptr);
  DeleteObject(copy);
  DeleteObject(source);
}

TEST_F(ImageTest, ScaledCopyAveragesWhenReducingAndBlendsWhenEnlarging) {
  // Reduced, alternating black and white pixels become grey; alpha is filtered alike.
  HBITMAP stripes = Bitmap32(
      8, 2, [](int x, int) { return x % 2 ? 0xFFFFFFFFu : 0xFF000000u; }, true);
  HBITMAP reduced = ImageScaledCopy(stripes, 2, 1);
  ASSERT_NE(reduced, nullptr);
  EXPECT_NEAR(static_cast<int>(PixelOf(reduced, 1, 0) & 0xFF), 128, 40);
  EXPECT_EQ(PixelOf(reduced, 1, 0) >> 24, 0xFFu);
  // Enlarged, black beside white becomes a ramp whose ends keep their colours.
  HBITMAP pair = Bitmap32(
      2, 1, [](int x, int) { return x ? 0xFFFFFFFFu : 0xFF000000u; }, true);
  HBITMAP enlarged = ImageScaledCopy(pair, 8, 1);
  ASSERT_NE(enlarged, nullptr);
  for (int x = 1; x < 8; ++x)
    EXPECT_GE(PixelOf(enlarged, x, 0) & 0xFF, PixelOf(enlarged, x - 1, 0) & 0xFF) << x;
  EXPECT_EQ(PixelOf(enlarged, 0, 0) & 0xFFFFFF, 0u);
  EXPECT_EQ(PixelOf(enlarged, 7, 0) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_NEAR(static_cast<int>(PixelOf(enlarged, 4, 0) & 0xFF), 160, 64);
  for (HBITMAP bitmap : {stripes, reduced, pair, enlarged}) DeleteObject(bitmap);
}

TEST_F(ImageTest, AlphaDrawBlendsPerPixelAndTakesTheBitmapSize) {
  HBITMAP target = Bitmap32(
      6, 4, [](int, int) { return 0x00FFFFFFu; }, true);
  // Half-transparent red, premultiplied: red 255 * 128 >> 8 = 128.
  HBITMAP picture = Bitmap32(
      3, 2, [](int x, int) { return x == 2 ? 0u : 0x80800000u; }, true);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, target);
  ASSERT_EQ(ImageAlphaDraw(dc, 1, 1, 0, 0, picture, 255), 1);
  GdiFlush();
  COLORREF blended = GetPixel(dc, 1, 1);
  EXPECT_NEAR(GetRValue(blended), 255, 2);  // 128 + 255 * 127 / 255
  EXPECT_NEAR(GetGValue(blended), 127, 2);
  EXPECT_EQ(GetPixel(dc, 3, 1), RGB(255, 255, 255));  // alpha 0: unchanged
  EXPECT_EQ(GetPixel(dc, 4, 1), RGB(255, 255, 255));  // outside the bitmap's own size
  EXPECT_EQ(GetPixel(dc, 1, 3), RGB(255, 255, 255));
  EXPECT_EQ(ImageAlphaDraw(dc, 0, 0, 0, 0, nullptr, 255), 0);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(target);
  DeleteObject(picture);
}

TEST_F(ImageTest, MaskIsBlackWhereThereIsAlpha) {
  // Without version 6 common controls (no manifest here) there is no themed alpha.
  ASSERT_FALSE(SystemThemedLook());
  auto maskPixel = [](HBITMAP mask, int x, int y) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, mask);
    COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return c;
  };
  HBITMAP half = Bitmap32(
      40, 3, [](int x, int) { return x < 33 ? 0x20000000u : 0x00FFFFFFu; }, true);
  HBITMAP mask = ImageMask(half);
  ASSERT_NE(mask, nullptr);
  BITMAP info;
  GetObjectA(mask, sizeof info, &info);
  EXPECT_EQ(info.bmBitsPixel, 1);
  EXPECT_EQ(info.bmWidth, 40);
  EXPECT_EQ(info.bmHeight, 3);
  EXPECT_EQ(maskPixel(mask, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(maskPixel(mask, 32, 2), RGB(0, 0, 0));
  EXPECT_EQ(maskPixel(mask, 33, 0), RGB(255, 255, 255));
  EXPECT_EQ(maskPixel(mask, 39, 2), RGB(255, 255, 255));
  DeleteObject(mask);

  // No alpha at all, or not 32 bits: all black.
  HBITMAP clear = Bitmap32(
      4, 4, [](int, int) { return 0x00FFFFFFu; }, true);
  std::vector<uint8_t> rgb = PatternPng(4, 4, false);
  ASSERT_NE(ImageFromMemory(1, rgb.data(), rgb.size()), 0);
  for (HBITMAP bitmap : {clear, reinterpret_cast<HBITMAP>(ImageHandle(1))}) {
    mask = ImageMask(bitmap);
    ASSERT_NE(mask, nullptr);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(maskPixel(mask, x, y), RGB(0, 0, 0));
    DeleteObject(mask);
  }
  DeleteObject(half);
  DeleteObject(clear);
}

}  // namespace
