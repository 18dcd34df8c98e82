// Makes PNG and JPEG pictures in memory with the libraries' encoders, from samples the
// caller chose, so that decoding tests know every pixel independently of the decoders.
// Shared by the native and the Windows image tests and by the benchmark.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PngPicture {
  int width = 0;
  int height = 0;
  int bitDepth = 8;
  int colorType = 2;  // PNG_COLOR_TYPE_*: 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
  bool interlaced = false;
  // Samples at the picture's own depth, channels interleaved, row after row
  // (width * channels per row); packed by the maker.
  std::vector<uint16_t> samples;
  // Palette as red, green, blue triples (colour type 3).
  std::vector<uint8_t> palette;
  // tRNS: alpha per palette entry (type 3), or one grey (type 0, 1 value) or RGB
  // (type 2, 3 values) sample value that is transparent.
  std::vector<uint16_t> transparent;
  int compression = 6;  // zlib level
};

int PngChannels(int colorType);
// The PNG file's bytes; empty on failure.
std::vector<uint8_t> MakePng(const PngPicture& picture);

struct JpegPicture {
  int width = 0;
  int height = 0;
  int components = 3;            // 3: RGB samples, 1: grey, 4: CMYK
  std::vector<uint8_t> samples;  // width * components per row
  int quality = 95;
  bool progressive = false;
  bool subsample = false;  // 4:2:0 chroma instead of 4:4:4
  // Progressive with one scan per coefficient, component and approximation step (568
  // scans) instead of the usual script of ten.
  bool manyScans = false;
};

std::vector<uint8_t> MakeJpeg(const JpegPicture& picture);

// The 32-bit big-endian value at `offset`, and writing one (PNG header fields).
uint32_t ReadBig32(const std::vector<uint8_t>& data, size_t offset);
void WriteBig32(std::vector<uint8_t>* data, size_t offset, uint32_t value);
// Rewrites a PNG's width and height in its header chunk, with a correct checksum.
void SetPngSize(std::vector<uint8_t>* png, uint32_t width, uint32_t height);
// Rewrites the size in a JPEG's start-of-frame marker; false when there is none.
bool SetJpegSize(std::vector<uint8_t>* jpeg, uint16_t width, uint16_t height);

// Writes bytes to a file; false on failure.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data);
