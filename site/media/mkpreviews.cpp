// Writes one JPEG preview picture per catalogue video into a directory:
//   preview-000.jpg, preview-001.jpg, ...  and the stamp file previews.stamp,
// and one big picture, picture-2000.jpg (2000 x 2000), for a test scenario.
// The pictures are drawn from the video's index alone (a colour gradient, a film strip
// border and the video's number), so every build makes the same bytes.
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "catalogue.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

struct Rgb {
  unsigned char r, g, b;
};

Rgb Hsv(double h, double s, double v) {
  double c = v * s, x = c * (1 - std::fabs(std::fmod(h / 60.0, 2) - 1)), m = v - c;
  double r = 0, g = 0, b = 0;
  if (h < 60)
    r = c, g = x;
  else if (h < 120)
    r = x, g = c;
  else if (h < 180)
    g = c, b = x;
  else if (h < 240)
    g = x, b = c;
  else if (h < 300)
    r = x, b = c;
  else
    r = c, b = x;
  auto byte = [](double t) { return static_cast<unsigned char>(std::lround(t * 255)); };
  return {byte(r + m), byte(g + m), byte(b + m)};
}

// 5 x 7 digits, one row per byte, bit 4 is the leftmost column.
const unsigned char kDigits[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
};

class Canvas {
 public:
  explicit Canvas(int width = kWidth, int height = kHeight)
      : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height) {}
  int width() const { return width_; }
  int height() const { return height_; }
  void Set(int x, int y, Rgb c) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) pixels_[y * width_ + x] = c;
  }
  void Fill(int x0, int y0, int w, int h, Rgb c) {
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) Set(x, y, c);
  }
  void Number(const std::string& digits, int cx, int cy, int scale, Rgb c) {
    int w = static_cast<int>(digits.size()) * 6 * scale - scale;
    int x0 = cx - w / 2, y0 = cy - 7 * scale / 2;
    for (size_t i = 0; i < digits.size(); ++i) {
      const unsigned char* glyph = kDigits[digits[i] - '0'];
      for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
          if (glyph[row] & (0x10 >> col))
            Fill(x0 + static_cast<int>(i) * 6 * scale + col * scale, y0 + row * scale, scale, scale,
                 c);
    }
  }
  const Rgb* Row(int y) const { return &pixels_[static_cast<size_t>(y) * width_]; }

 private:
  int width_, height_;
  std::vector<Rgb> pixels_;
};

// Fills the canvas with a vertical gradient between two colours of the hue.
void Gradient(Canvas& c, double hue) {
  Rgb top = Hsv(hue, 0.55, 0.95), bottom = Hsv(std::fmod(hue + 40, 360.0), 0.8, 0.45);
  for (int y = 0; y < c.height(); ++y) {
    double t = static_cast<double>(y) / (c.height() - 1);
    Rgb row{static_cast<unsigned char>(top.r + (bottom.r - top.r) * t),
            static_cast<unsigned char>(top.g + (bottom.g - top.g) * t),
            static_cast<unsigned char>(top.b + (bottom.b - top.b) * t)};
    c.Fill(0, y, c.width(), 1, row);
  }
}

// The big picture: the gradient, a grid of rings (detail for the encoder to keep) and its
// size in digits.
Canvas DrawBig() {
  const int size = 2000;
  Canvas c(size, size);
  Gradient(c, 200);
  Rgb ring = Hsv(20, 0.5, 1.0);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      int dx = x % 100 - 50, dy = y % 100 - 50, d2 = dx * dx + dy * dy;
      if (d2 > 30 * 30 && d2 < 34 * 34) c.Set(x, y, ring);
    }
  c.Number("2000", size / 2 + 12, size / 2 + 12, 40, Rgb{16, 16, 16});
  c.Number("2000", size / 2, size / 2, 40, Rgb{250, 250, 250});
  return c;
}

Canvas Draw(const site::Video& v) {
  Canvas c;
  double hue = std::fmod(v.index * 47.0, 360.0);
  Gradient(c, hue);
  // Diagonal stripes that differ per clip, so pictures of videos sharing a clip look alike.
  Rgb stripe = Hsv(std::fmod(hue + 180, 360.0), 0.35, 1.0);
  for (int y = 12; y < kHeight - 12; ++y)
    for (int x = 0; x < kWidth; ++x)
      if ((x + y + v.clip * 5) % 24 < 2 + v.clip % 3) c.Set(x, y, stripe);
  // Film strip border.
  const Rgb black{16, 16, 16}, white{235, 235, 235};
  c.Fill(0, 0, kWidth, 12, black);
  c.Fill(0, kHeight - 12, kWidth, 12, black);
  for (int x = 4; x < kWidth; x += 14) {
    c.Fill(x, 3, 7, 6, white);
    c.Fill(x, kHeight - 9, 7, 6, white);
  }
  std::string number = std::to_string(v.index + 1);
  c.Number(number, kWidth / 2 + 3, kHeight / 2 + 3, 7, black);
  c.Number(number, kWidth / 2, kHeight / 2, 7, white);
  return c;
}

bool WriteJpeg(const Canvas& canvas, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, f);
  cinfo.image_width = static_cast<JDIMENSION>(canvas.width());
  cinfo.image_height = static_cast<JDIMENSION>(canvas.height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 85, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(canvas.width()) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const Rgb* src = canvas.Row(static_cast<int>(cinfo.next_scanline));
    for (int x = 0; x < canvas.width(); ++x) {
      row[x * 3] = src[x].r;
      row[x * 3 + 1] = src[x].g;
      row[x * 3 + 2] = src[x].b;
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vs_site_mkpreviews DIR\n");
    return 2;
  }
  std::string dir = argv[1];
  for (const site::Video& v : site::Catalogue()) {
    char name[32];
    std::snprintf(name, sizeof name, "/preview-%03d.jpg", v.index);
    if (!WriteJpeg(Draw(v), dir + name)) {
      std::fprintf(stderr, "vs_site_mkpreviews: cannot write %s%s\n", dir.c_str(), name);
      return 1;
    }
  }
  if (!WriteJpeg(DrawBig(), dir + "/picture-2000.jpg")) {
    std::fprintf(stderr, "vs_site_mkpreviews: cannot write %s/picture-2000.jpg\n", dir.c_str());
    return 1;
  }
  std::FILE* stamp = std::fopen((dir + "/previews.stamp").c_str(), "w");
  if (!stamp) return 1;
  std::fprintf(stamp, "%zu previews\n", site::Catalogue().size());
  return std::fclose(stamp) == 0 ? 0 : 1;
}
