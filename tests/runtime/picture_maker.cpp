// Encoders for test pictures (see picture_maker.h). Rows are packed here by hand, so the
// pixels a test expects do not come from the library under test.
#include "picture_maker.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
// clang-format on

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>

namespace {

[[noreturn]] void PngFail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngQuiet(png_structp, png_const_charp) {}

void PngAppend(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void PngFlush(png_structp) {}

// One row packed as the PNG format stores it: samples below 8 bits most significant
// first, 16-bit samples big-endian.
std::vector<uint8_t> PackRow(const PngPicture& p, int y) {
  int channels = PngChannels(p.colorType);
  size_t count = static_cast<size_t>(p.width) * channels;
  const uint16_t* in = p.samples.data() + static_cast<size_t>(y) * count;
  std::vector<uint8_t> row((count * p.bitDepth + 7) / 8, 0);
  for (size_t i = 0; i < count; ++i) {
    uint16_t v = in[i];
    if (p.bitDepth == 16) {
      row[2 * i] = static_cast<uint8_t>(v >> 8);
      row[2 * i + 1] = static_cast<uint8_t>(v);
    } else if (p.bitDepth == 8) {
      row[i] = static_cast<uint8_t>(v);
    } else {
      size_t bit = i * p.bitDepth;
      int shift = 8 - p.bitDepth - static_cast<int>(bit % 8);
      row[bit / 8] |= static_cast<uint8_t>(v << shift);
    }
  }
  return row;
}

struct JpegFailure {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

[[noreturn]] void JpegFail(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegFailure*>(cinfo->err)->jump, 1);
}
void JpegQuiet(j_common_ptr) {}

}  // namespace

int PngChannels(int colorType) {
  switch (colorType) {
    case 2:
      return 3;
    case 4:
      return 2;
    case 6:
      return 4;
    default:
      return 1;
  }
}

std::vector<uint8_t> MakePng(const PngPicture& p) {
  std::vector<uint8_t> out;
  std::vector<std::vector<uint8_t>> rows;
  for (int y = 0; y < p.height; ++y) rows.push_back(PackRow(p, y));
  std::vector<png_bytep> pointers;
  for (auto& row : rows) pointers.push_back(row.data());
  std::vector<png_color> palette;
  for (size_t i = 0; i + 2 < p.palette.size(); i += 3)
    palette.push_back({p.palette[i], p.palette[i + 1], p.palette[i + 2]});
  std::vector<png_byte> alphas;
  png_color_16 key = {};
  if (p.colorType == 3) {
    for (uint16_t a : p.transparent) alphas.push_back(static_cast<png_byte>(a));
  } else if (p.colorType == 0 && p.transparent.size() == 1) {
    key.gray = p.transparent[0];
  } else if (p.colorType == 2 && p.transparent.size() == 3) {
    key.red = p.transparent[0];
    key.green = p.transparent[1];
    key.blue = p.transparent[2];
  }

  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngQuiet);
  if (!png) return {};
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return {};
  }
  png_set_write_fn(png, &out, PngAppend, PngFlush);
  png_set_compression_level(png, p.compression);
  png_set_IHDR(png, info, static_cast<png_uint_32>(p.width), static_cast<png_uint_32>(p.height),
               p.bitDepth, p.colorType, p.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (p.colorType == 3) {
    png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (!alphas.empty())
      png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), nullptr);
  } else if (!p.transparent.empty()) {
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
  png_write_info(png, info);
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<uint8_t> MakeJpeg(const JpegPicture& p) {
  jpeg_compress_struct cinfo;
  JpegFailure failure;
  static jpeg_scan_info scans[1 + 3 * 3 * 63];
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  cinfo.err = jpeg_std_error(&failure.mgr);
  failure.mgr.error_exit = JpegFail;
  failure.mgr.output_message = JpegQuiet;
  if (setjmp(failure.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return {};
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(p.width);
  cinfo.image_height = static_cast<JDIMENSION>(p.height);
  cinfo.input_components = p.components;
  cinfo.in_color_space = p.components == 1 ? JCS_GRAYSCALE : p.components == 4 ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, p.quality, TRUE);
  if (p.components == 3) {
    int factor = p.subsample ? 2 : 1;
    cinfo.comp_info[0].h_samp_factor = factor;
    cinfo.comp_info[0].v_samp_factor = factor;
    for (int c = 1; c < 3; ++c)
      cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
  }
  if (p.progressive) jpeg_simple_progression(&cinfo);
  if (p.manyScans && p.components == 3) {
    // DC of all components first, then every AC coefficient of every component on its own,
    // each in three successive-approximation steps.
    scans[0] = {3, {0, 1, 2, 0}, 0, 0, 0, 0};
    int n = 1;
    for (int step = 0; step < 3; ++step)
      for (int c = 0; c < 3; ++c)
        for (int k = 1; k < 64; ++k)
          scans[n++] = {1, {c, 0, 0, 0}, k, k, step == 0 ? 0 : 3 - step, 2 - step};
    cinfo.scan_info = scans;
    cinfo.num_scans = n;
    cinfo.progressive_mode = TRUE;
  }
  jpeg_start_compress(&cinfo, TRUE);
  const size_t rowBytes = static_cast<size_t>(p.width) * p.components;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(p.samples.data() + cinfo.next_scanline * rowBytes);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

uint32_t ReadBig32(const std::vector<uint8_t>& d, size_t o) {
  return static_cast<uint32_t>(d[o]) << 24 | static_cast<uint32_t>(d[o + 1]) << 16 |
         static_cast<uint32_t>(d[o + 2]) << 8 | d[o + 3];
}

void WriteBig32(std::vector<uint8_t>* d, size_t o, uint32_t v) {
  (*d)[o] = static_cast<uint8_t>(v >> 24);
  (*d)[o + 1] = static_cast<uint8_t>(v >> 16);
  (*d)[o + 2] = static_cast<uint8_t>(v >> 8);
  (*d)[o + 3] = static_cast<uint8_t>(v);
}

void SetPngSize(std::vector<uint8_t>* png, uint32_t width, uint32_t height) {
  // Signature (8), IHDR length (4), "IHDR" (4), width, height, 5 more bytes, checksum.
  WriteBig32(png, 16, width);
  WriteBig32(png, 20, height);
  uLong crc = crc32(0, png->data() + 12, 17);
  WriteBig32(png, 29, static_cast<uint32_t>(crc));
}

bool SetJpegSize(std::vector<uint8_t>* jpeg, uint16_t width, uint16_t height) {
  std::vector<uint8_t>& d = *jpeg;
  for (size_t i = 2; i + 9 < d.size();) {
    if (d[i] != 0xFF) return false;
    uint8_t marker = d[i + 1];
    size_t length = static_cast<size_t>(d[i + 2]) << 8 | d[i + 3];
    if (marker >= 0xC0 && marker <= 0xC2) {
      d[i + 5] = static_cast<uint8_t>(height >> 8);
      d[i + 6] = static_cast<uint8_t>(height);
      d[i + 7] = static_cast<uint8_t>(width >> 8);
      d[i + 8] = static_cast<uint8_t>(width);
      return true;
    }
    i += 2 + length;
  }
  return false;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), file) == data.size();
  return std::fclose(file) == 0 && ok;
}
