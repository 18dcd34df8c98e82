// Numbered images and the alpha services (see image.h).
#include "image.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "decoder.h"
#include "startup.h"
#include "wide.h"

namespace {

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

std::unique_ptr<ObjectTable<ImageRecord>> images;
// The one decoder source, zeroed before each use.
DecoderSource source;
HMODULE msimg32 = nullptr;  // loaded only where the system's GDI lacks the blend
AlphaBlendFn alphaBlend = nullptr;

// An icon file read whole to check its entries before the system loads it.
constexpr long kMaxIconFileBytes = 16L << 20;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

ObjectTable<ImageRecord>& Images() {
  ImagesInit();
  return *images;
}

// Stores a made picture; returns what the image operations return.
intptr_t Keep(ObjectNumber number, ImageRecord* record, HANDLE handle, int width, int height,
              int bits) {
  record->handle = reinterpret_cast<intptr_t>(handle);
  record->width = static_cast<uint16_t>(width);
  record->height = static_cast<uint16_t>(height);
  record->bitsPerPixel = static_cast<uint8_t>(bits);
  return number == ANY_NUMBER ? Images().NumberOf(record) : record->handle;
}

// A failed load: an ANY_NUMBER record is dropped; a slot is still zero.
intptr_t Fail(ObjectNumber number, ImageRecord* record) {
  if (number == ANY_NUMBER) Images().Free(Images().NumberOf(record));
  return 0;
}

// A 32-bit section whose alpha bytes are all 0 holds no alpha at all: make it opaque.
void OpaqueWhenAlphaEmpty(HBITMAP bitmap) {
  DIBSECTION section;
  if (GetObjectW(bitmap, sizeof section, &section) != sizeof section ||
      section.dsBm.bmBitsPixel != 32 || !section.dsBm.bmBits)
    return;
  GdiFlush();
  uint8_t* bits = static_cast<uint8_t*>(section.dsBm.bmBits);
  size_t bytes = static_cast<size_t>(section.dsBm.bmWidthBytes) * section.dsBm.bmHeight;
  for (size_t i = 3; i < bytes; i += 4)
    if (bits[i]) return;
  for (size_t i = 3; i < bytes; i += 4) bits[i] = 255;
}

// Decodes the shared source with its chosen decoder into a new section and releases the
// source (closing a file source).
intptr_t DecodeSource(ObjectNumber number, ImageRecord* record) {
  int width = source.width, height = source.height, bits = source.bitsPerPixel;
  void* pixels = nullptr;
  HBITMAP bitmap = ImageCreateSection(width, height, bits, &pixels);
  DIBSECTION section;
  bool ok = bitmap && GetObjectW(bitmap, sizeof section, &section) == sizeof section &&
            source.decoder->decode(&source, static_cast<uint8_t*>(pixels),
                                   section.dsBm.bmWidthBytes, DECODE_BOTTOM_UP);
  DecoderSourceEnd(&source);
  if (!ok) {
    if (bitmap) DeleteObject(bitmap);
    return Fail(number, record);
  }
  return Keep(number, record, bitmap, width, height, bits);
}

// --- BMP --------------------------------------------------------------------------------

// The layout of a BMP file image, checked against the data size before anything is read.
struct BmpLayout {
  int width, height, bits;
  size_t headerEnd;  // end of the header and the colour table or masks
};

bool ParseBmp(const uint8_t* data, size_t size, BmpLayout* layout) {
  if (size < 14 + 40) return false;
  uint32_t headerSize = Le32(data + 14);
  // Core headers (12 bytes) have 16-bit fields; only the Windows headers are taken.
  if (headerSize < 40 || headerSize > size - 14) return false;
  int32_t width = static_cast<int32_t>(Le32(data + 18));
  int32_t height = static_cast<int32_t>(Le32(data + 22));
  int bits = Le16(data + 28);
  uint32_t compression = Le32(data + 30);
  uint32_t sizeImage = Le32(data + 34);
  uint32_t colorsUsed = Le32(data + 46);
  uint32_t pixelOffset = Le32(data + 10);
  if (height == INT32_MIN || !ImageSizeAllowed(width, height < 0 ? -height : height)) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  size_t table = 0;
  if (bits <= 8) {
    uint32_t entries = colorsUsed ? colorsUsed : 1u << bits;
    if (entries > (1u << bits)) return false;
    table = entries * 4;
  } else if (compression == BI_BITFIELDS && headerSize == 40) {
    table = 12;
  }
  size_t headerEnd = 14 + static_cast<size_t>(headerSize) + table;
  if (headerEnd > size || pixelOffset < 14 + headerSize || pixelOffset >= size) return false;
  size_t available = size - pixelOffset;
  size_t rows = static_cast<size_t>(height < 0 ? -height : height);
  if (compression == BI_RGB || compression == BI_BITFIELDS) {
    if (compression == BI_BITFIELDS && bits != 16 && bits != 32) return false;
    size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    if (stride * rows > available) return false;
  } else if ((compression == BI_RLE8 && bits == 8) || (compression == BI_RLE4 && bits == 4)) {
    if (height < 0 || sizeImage == 0 || sizeImage > available) return false;
  } else {
    return false;
  }
  layout->width = width;
  layout->height = height;
  layout->bits = bits;
  layout->headerEnd = headerEnd;
  return true;
}

intptr_t BmpFromMemory(ObjectNumber number, ImageRecord* record, const uint8_t* data, size_t size) {
  BmpLayout layout;
  if (!ParseBmp(data, size, &layout)) return Fail(number, record);
  int rows = layout.height < 0 ? -layout.height : layout.height;
  int bits = layout.bits < 24 ? 24 : layout.bits;
  // Header and pixels copied to aligned memory: in the file they sit at odd offsets.
  std::vector<uint32_t> header((layout.headerEnd - 14 + 3) / 4);
  std::memcpy(header.data(), data + 14, layout.headerEnd - 14);
  size_t pixelOffset = Le32(data + 10);
  std::vector<uint32_t> pixels((size - pixelOffset + 3) / 4);
  std::memcpy(pixels.data(), data + pixelOffset, size - pixelOffset);

  void* sectionBits = nullptr;
  HBITMAP bitmap = ImageCreateSection(layout.width, rows, bits, &sectionBits);
  if (!bitmap) return Fail(number, record);
  HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
  int copied = display ? SetDIBits(display, bitmap, 0, static_cast<UINT>(rows), pixels.data(),
                                   reinterpret_cast<BITMAPINFO*>(header.data()), DIB_RGB_COLORS)
                       : 0;
  if (display) DeleteDC(display);
  if (copied <= 0) {
    DeleteObject(bitmap);
    return Fail(number, record);
  }
  if (bits == 32) OpaqueWhenAlphaEmpty(bitmap);
  return Keep(number, record, bitmap, layout.width, rows, bits);
}

// --- icons ------------------------------------------------------------------------------

bool IsIconFile(const uint8_t* data, size_t size) {
  return size >= 6 && Le16(data) == 0 && Le16(data + 2) == 1;
}

// The width and height an icon image claims: from its bitmap header (whose height counts
// the mask as well) or from the header of a PNG image.
bool IconImageSize(const uint8_t* image, size_t bytes, int* width, int* height) {
  static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
  if (bytes >= 24 && std::memcmp(image, kPng, 8) == 0) {
    *width = static_cast<int>(image[16] << 24 | image[17] << 16 | image[18] << 8 | image[19]);
    *height = static_cast<int>(image[20] << 24 | image[21] << 16 | image[22] << 8 | image[23]);
    return true;
  }
  if (bytes < 40 || Le32(image) < 40) return false;
  *width = static_cast<int32_t>(Le32(image + 4));
  *height = static_cast<int32_t>(Le32(image + 8)) / 2;
  return true;
}

// Checks the directory and every image it names; gives the entry to use: among those of
// the first entry's width and height bytes, the one with the most bits per pixel.
bool ParseIcon(const uint8_t* data, size_t size, size_t* chosen) {
  size_t count = Le16(data + 4);
  if (count == 0 || 6 + 16 * count > size) return false;
  *chosen = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = data + 6 + 16 * i;
    uint32_t bytes = Le32(entry + 8), offset = Le32(entry + 12);
    int width = 0, height = 0;
    if (bytes == 0 || offset > size || bytes > size - offset ||
        !IconImageSize(data + offset, bytes, &width, &height) || !ImageSizeAllowed(width, height))
      return false;
    const uint8_t* best = data + 6 + 16 * *chosen;
    if (entry[0] == data[6] && entry[1] == data[7] && Le16(entry + 6) > Le16(best + 6)) *chosen = i;
  }
  return true;
}

// Width, height and depth of an icon's colour bitmap (of its mask when it has none).
bool IconSize(HICON icon, int* width, int* height, int* bits) {
  ICONINFO info;
  if (!GetIconInfo(icon, &info)) return false;
  BITMAP shape;
  HBITMAP measured = info.hbmColor ? info.hbmColor : info.hbmMask;
  bool ok = measured && GetObjectW(measured, sizeof shape, &shape) == sizeof shape;
  if (ok) {
    *width = shape.bmWidth;
    *height = info.hbmColor ? shape.bmHeight : shape.bmHeight / 2;
    *bits = shape.bmBitsPixel;
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return ok;
}

intptr_t KeepIcon(ObjectNumber number, ImageRecord* record, HICON icon) {
  int width = 0, height = 0, bits = 0;
  if (!icon || !IconSize(icon, &width, &height, &bits)) {
    if (icon) DestroyIcon(icon);
    return Fail(number, record);
  }
  return Keep(number, record, icon, width, height, bits);
}

intptr_t IconFromMemory(ObjectNumber number, ImageRecord* record, const uint8_t* data,
                        size_t size) {
  size_t chosen;
  if (!ParseIcon(data, size, &chosen)) return Fail(number, record);
  const uint8_t* entry = data + 6 + 16 * chosen;
  uint32_t bytes = Le32(entry + 8);
  std::vector<uint32_t> image((bytes + 3) / 4);  // the system wants it aligned
  std::memcpy(image.data(), data + Le32(entry + 12), bytes);
  PBYTE bits = reinterpret_cast<PBYTE>(image.data());
  int width = 0, height = 0;
  if (Le32(bits) < 40 || !IconImageSize(bits, bytes, &width, &height)) width = height = 0;
  HICON icon = CreateIconFromResourceEx(bits, bytes, TRUE, 0x30000, width, height, 0);
  if (!icon && Le16(entry + 6) != 16) icon = CreateIconFromResource(bits, bytes, TRUE, 0x30000);
  return KeepIcon(number, record, icon);
}

// The first bytes of a file (or all of them, up to `limit`); empty when it cannot be read.
// No sharing: nobody may change the file while it is looked at.
std::vector<uint8_t> ReadFileStart(const std::string& name, size_t limit) {
  std::vector<uint8_t> bytes;
  HANDLE file = CreateFileW(WideFromPath(name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  LARGE_INTEGER fileSize;
  if (GetFileSizeEx(file, &fileSize) && static_cast<unsigned long long>(fileSize.QuadPart) < limit)
    limit = static_cast<size_t>(fileSize.QuadPart);
  bytes.resize(limit);
  DWORD got = 0, total = 0;
  while (total < limit &&
         ReadFile(file, bytes.data() + total, static_cast<DWORD>(limit - total), &got, nullptr) &&
         got > 0)
    total += got;
  CloseHandle(file);
  bytes.resize(total);
  return bytes;
}

// --- alpha ------------------------------------------------------------------------------

// The pixels of a bitmap as 32-bit top-down rows; false when it cannot be read.
bool ReadPixels32(HBITMAP bitmap, int width, int height, std::vector<uint32_t>* pixels) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  pixels->assign(static_cast<size_t>(width) * height, 0);
  HDC screen = GetDC(nullptr);
  int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), pixels->data(), &info,
                       DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  return rows == height;
}

// The taps of one axis of a resampling: for each target position, the source positions
// and their weights (summing to 1).
struct Taps {
  std::vector<int> first;     // per target position: index of its first tap
  std::vector<int> source;    // per tap
  std::vector<float> weight;  // per tap
};

Taps TapsOf(int from, int to) {
  Taps taps;
  double step = static_cast<double>(from) / to;  // source pixels per target pixel
  double radius = step > 1 ? step : 1;
  for (int target = 0; target < to; ++target) {
    taps.first.push_back(static_cast<int>(taps.source.size()));
    double centre = (target + 0.5) * step - 0.5;
    int low = static_cast<int>(centre - radius) - 1, high = static_cast<int>(centre + radius) + 1;
    size_t begin = taps.weight.size();
    double sum = 0;
    for (int i = low; i <= high; ++i) {
      double weight = 1 - (i > centre ? i - centre : centre - i) / radius;
      if (weight <= 0) continue;
      taps.source.push_back(i < 0 ? 0 : i >= from ? from - 1 : i);
      taps.weight.push_back(static_cast<float>(weight));
      sum += weight;
    }
    for (size_t k = begin; k < taps.weight.size(); ++k)
      taps.weight[k] = static_cast<float>(taps.weight[k] / sum);
  }
  taps.first.push_back(static_cast<int>(taps.source.size()));
  return taps;
}

}  // namespace

HBITMAP ImageScaledCopy(HBITMAP bitmap, int width, int height) {
  BITMAP info;
  if (!bitmap || width <= 0 || height <= 0 ||
      GetObjectW(bitmap, sizeof info, &info) < static_cast<int>(sizeof info) || info.bmWidth <= 0 ||
      info.bmHeight <= 0)
    return nullptr;
  const int fromWidth = info.bmWidth, fromHeight = info.bmHeight;
  std::vector<uint32_t> pixels;
  if (!ReadPixels32(bitmap, fromWidth, fromHeight, &pixels)) return nullptr;
  // Rows first (into floats, four channels a pixel), then columns.
  Taps across = TapsOf(fromWidth, width), down = TapsOf(fromHeight, height);
  std::vector<float> rows(static_cast<size_t>(fromHeight) * width * 4);
  for (int y = 0; y < fromHeight; ++y) {
    const uint32_t* in = &pixels[static_cast<size_t>(y) * fromWidth];
    float* out = &rows[static_cast<size_t>(y) * width * 4];
    for (int x = 0; x < width; ++x, out += 4)
      for (int k = across.first[x]; k < across.first[x + 1]; ++k) {
        uint32_t pixel = in[across.source[k]];
        float weight = across.weight[k];
        for (int channel = 0; channel < 4; ++channel)
          out[channel] += weight * static_cast<float>((pixel >> (8 * channel)) & 0xFF);
      }
  }
  void* bits = nullptr;
  HBITMAP scaled = ImageCreateSection(width, height, 32, &bits);
  if (!scaled) return nullptr;
  uint32_t* target = static_cast<uint32_t*>(bits);
  for (int y = 0; y < height; ++y) {
    uint32_t* out = target + static_cast<size_t>(height - 1 - y) * width;  // bottom-up
    for (int x = 0; x < width; ++x) {
      float sum[4] = {0, 0, 0, 0};
      for (int k = down.first[y]; k < down.first[y + 1]; ++k) {
        const float* in = &rows[(static_cast<size_t>(down.source[k]) * width + x) * 4];
        for (int channel = 0; channel < 4; ++channel) sum[channel] += down.weight[k] * in[channel];
      }
      uint32_t pixel = 0;
      for (int channel = 0; channel < 4; ++channel) {
        int value = static_cast<int>(sum[channel] + 0.5f);
        pixel |= static_cast<uint32_t>(value < 0 ? 0 : value > 255 ? 255 : value) << (8 * channel);
      }
      out[x] = pixel;
    }
  }
  return scaled;
}

HBITMAP ImageCreateSection(int width, int height, int bits, void** pixels) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // positive: rows bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(bits);
  info.bmiHeader.biCompression = BI_RGB;
  *pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, pixels, nullptr, 0);
  if (bitmap && !*pixels) {
    DeleteObject(bitmap);
    return nullptr;
  }
  return bitmap;
}

void ImagesInit() {
  if (images) return;
  images = std::make_unique<ObjectTable<ImageRecord>>(16, ImageFree);
  // GDI has blended itself since Windows 2000 (msimg32's function passes the call on), so
  // the start need not load a library for it.
  alphaBlend = LibraryEntry<AlphaBlendFn>(GetModuleHandleW(L"gdi32.dll"), "GdiAlphaBlend");
  if (!alphaBlend) {
    msimg32 = LoadLibraryW(L"msimg32.dll");
    alphaBlend = LibraryEntry<AlphaBlendFn>(msimg32, "AlphaBlend");
  }
}

void ImagesEnd() {
  if (!images) return;
  images->ReleaseAll();
  images.reset();
  if (msimg32) FreeLibrary(msimg32);
  msimg32 = nullptr;
  alphaBlend = nullptr;
}

intptr_t ImageFromMemory(ObjectNumber number, const void* data, size_t size) {
  ImageRecord* record = Images().Slot(number);
  if (!record) return 0;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  if (!bytes) size = 0;
  if (size >= 2 && bytes[0] == 'B' && bytes[1] == 'M')
    return BmpFromMemory(number, record, bytes, size);
  if (IsIconFile(bytes, size)) return IconFromMemory(number, record, bytes, size);
  DecoderSourceMemory(&source, bytes, size);
  if (!DecoderFind(&source)) {
    DecoderSourceEnd(&source);
    return Fail(number, record);
  }
  return DecodeSource(number, record);
}

intptr_t ImageFromFile(ObjectNumber number, TextArg nameText) {
  ImageRecord* record = Images().Slot(number);
  if (!record) return 0;
  std::string name(nameText.view());
  std::vector<uint8_t> start = ReadFileStart(name, 54);
  if (start.empty()) return Fail(number, record);
  if (start.size() >= 2 && start[0] == 'B' && start[1] == 'M') {
    // The system reads the file itself; the size it promises is checked first.
    if (start.size() < 26 ||
        !ImageSizeAllowed(static_cast<int32_t>(Le32(&start[18])),
                          std::abs(static_cast<long long>(static_cast<int32_t>(Le32(&start[22]))))))
      return Fail(number, record);
    HBITMAP bitmap =
        static_cast<HBITMAP>(LoadImageW(nullptr, WideFromPath(name).c_str(), IMAGE_BITMAP, 0, 0,
                                        LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    BITMAP info;
    if (!bitmap || GetObjectW(bitmap, sizeof info, &info) < static_cast<int>(sizeof info)) {
      if (bitmap) DeleteObject(bitmap);
      return Fail(number, record);
    }
    if (info.bmBitsPixel == 32) OpaqueWhenAlphaEmpty(bitmap);
    return Keep(number, record, bitmap, info.bmWidth, info.bmHeight, info.bmBitsPixel);
  }
  if (IsIconFile(start.data(), start.size())) {
    std::vector<uint8_t> whole = ReadFileStart(name, kMaxIconFileBytes + 1);
    size_t chosen;
    if (whole.size() > static_cast<size_t>(kMaxIconFileBytes) ||
        !ParseIcon(whole.data(), whole.size(), &chosen))
      return Fail(number, record);
    HICON icon = static_cast<HICON>(
        LoadImageW(nullptr, WideFromPath(name).c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE));
    if (icon) return KeepIcon(number, record, icon);
  }
  if (!DecoderSourceFile(&source, name.c_str()) || !DecoderFind(&source)) {
    DecoderSourceEnd(&source);
    return Fail(number, record);
  }
  return DecodeSource(number, record);
}

intptr_t ImageHandle(ObjectNumber number) {
  ImageRecord* record = Images().Lookup(number);
  return record ? record->handle : 0;
}

int ImageWidth(ObjectNumber number) {
  ImageRecord* record = Images().Lookup(number);
  return record ? record->width : 0;
}

int ImageHeight(ObjectNumber number) {
  ImageRecord* record = Images().Lookup(number);
  return record ? record->height : 0;
}

int ImageDepth(ObjectNumber number) {
  ImageRecord* record = Images().Lookup(number);
  return record ? record->bitsPerPixel : 0;
}

void ImageFree(ObjectNumber number) {
  if (!images) return;
  ImageRecord* record = images->Lookup(number);
  if (!record) return;
  HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(record->handle);
  if (GetObjectType(handle) == OBJ_BITMAP)
    DeleteObject(handle);
  else
    DestroyIcon(static_cast<HICON>(handle));
  images->Free(number);
}

int ImageNeedsAlpha(HBITMAP bitmap) {
  ImagesInit();
  if (!bitmap || !alphaBlend) return 0;
  DIBSECTION section;
  int size = GetObjectW(bitmap, sizeof section, &section);
  if (size == sizeof section) return section.dsBm.bmBitsPixel == 32 ? 1 : 0;
  if (size < static_cast<int>(sizeof(BITMAP)) || section.dsBm.bmBitsPixel != 32) return 0;
  std::vector<uint32_t> pixels;
  if (!ReadPixels32(bitmap, section.dsBm.bmWidth, section.dsBm.bmHeight, &pixels)) return 0;
  for (uint32_t pixel : pixels)
    if (pixel >> 24) return 1;
  return 0;
}

HBITMAP ImagePremultipliedCopy(HBITMAP bitmap) {
  BITMAP info;
  if (!bitmap || GetObjectW(bitmap, sizeof info, &info) < static_cast<int>(sizeof info) ||
      info.bmWidth <= 0 || info.bmHeight <= 0)
    return nullptr;
  void* bits = nullptr;
  HBITMAP copy = ImageCreateSection(info.bmWidth, info.bmHeight, 32, &bits);
  if (!copy) return nullptr;
  BITMAPINFO header = {};
  header.bmiHeader.biSize = sizeof header.bmiHeader;
  header.bmiHeader.biWidth = info.bmWidth;
  header.bmiHeader.biHeight = info.bmHeight;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 32;
  header.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  int rows =
      GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), bits, &header, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != info.bmHeight) {
    DeleteObject(copy);
    return nullptr;
  }
  GdiFlush();
  uint8_t* pixel = static_cast<uint8_t*>(bits);
  size_t count = static_cast<size_t>(info.bmWidth) * info.bmHeight;
  for (size_t i = 0; i < count; ++i, pixel += 4) {
    unsigned alpha = pixel[3];
    if (alpha == 255) continue;
    pixel[0] = static_cast<uint8_t>((pixel[0] * alpha) >> 8);
    pixel[1] = static_cast<uint8_t>((pixel[1] * alpha) >> 8);
    pixel[2] = static_cast<uint8_t>((pixel[2] * alpha) >> 8);
  }
  return copy;
}

int ImageAlphaDraw(HDC target, int x, int y, int width, int height, HBITMAP bitmap,
                   int constantAlpha) {
  ImagesInit();
  BITMAP info;
  if (!alphaBlend || !target || !bitmap ||
      GetObjectW(bitmap, sizeof info, &info) < static_cast<int>(sizeof info))
    return 0;
  if (width == 0) width = info.bmWidth;
  if (height == 0) height = info.bmHeight;
  HDC memory = CreateCompatibleDC(target);
  if (!memory) return 0;
  HGDIOBJ old = SelectObject(memory, bitmap);
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, static_cast<BYTE>(constantAlpha), AC_SRC_ALPHA};
  BOOL ok =
      alphaBlend(target, x, y, width, height, memory, 0, 0, info.bmWidth, info.bmHeight, blend);
  SelectObject(memory, old);
  DeleteDC(memory);
  return ok ? 1 : 0;
}

HBITMAP ImageMask(HBITMAP bitmap) {
  ImagesInit();
  BITMAP info;
  if (!bitmap || GetObjectW(bitmap, sizeof info, &info) < static_cast<int>(sizeof info) ||
      info.bmWidth <= 0 || info.bmHeight <= 0)
    return nullptr;
  const int width = info.bmWidth, height = info.bmHeight;
  // 1-bit rows padded to 4 bytes; bit 0 is black, 1 white; top-down.
  const size_t stride = ((static_cast<size_t>(width) + 31) / 32) * 4;
  std::vector<uint8_t> maskBits(stride * height, 0);
  std::vector<uint32_t> pixels;
  if (!SystemThemedLook() && info.bmBitsPixel == 32 &&
      ReadPixels32(bitmap, width, height, &pixels)) {
    bool anyAlpha = false;
    for (uint32_t pixel : pixels) anyAlpha = anyAlpha || (pixel >> 24);
    if (anyAlpha)
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
          if (!(pixels[static_cast<size_t>(y) * width + x] >> 24))
            maskBits[y * stride + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  }
  HBITMAP mask = CreateBitmap(width, height, 1, 1, nullptr);
  if (!mask) return nullptr;
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[2];
  } monochrome = {};
  monochrome.header.biSize = sizeof monochrome.header;
  monochrome.header.biWidth = width;
  monochrome.header.biHeight = -height;
  monochrome.header.biPlanes = 1;
  monochrome.header.biBitCount = 1;
  monochrome.header.biCompression = BI_RGB;
  monochrome.colors[1] = {255, 255, 255, 0};
  HDC screen = GetDC(nullptr);
  int rows = SetDIBits(screen, mask, 0, static_cast<UINT>(height), maskBits.data(),
                       reinterpret_cast<BITMAPINFO*>(&monochrome), DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != height) {
    DeleteObject(mask);
    return nullptr;
  }
  return mask;
}
