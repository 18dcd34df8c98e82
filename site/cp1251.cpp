#include "cp1251.h"

#include <array>

namespace site {
namespace {

// Code points of the bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr char32_t kHighHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

// Lower-case partner of each byte 0x80..0xBF that is an upper-case letter, else itself.
constexpr std::array<unsigned char, 256> MakeFoldTable() {
  std::array<unsigned char, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(i);
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = static_cast<unsigned char>(c + 32);
  for (int c = 0xC0; c <= 0xDF; ++c) t[c] = static_cast<unsigned char>(c + 32);
  const unsigned char pairs[][2] = {{0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C},
                                    {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA1, 0xA2},
                                    {0xA3, 0xBC}, {0xA5, 0xB4}, {0xAA, 0xBA}, {0xAF, 0xBF},
                                    {0xB2, 0xB3}, {0xBD, 0xBE}};
  for (const auto& p : pairs) t[p[0]] = p[1];
  t[0xA8] = 0xE5;  // Ё -> е
  t[0xB8] = 0xE5;  // ё -> е
  return t;
}
constexpr std::array<unsigned char, 256> kFold = MakeFoldTable();

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

int CodePointToCp1251(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(cp - 0x0410 + 0xC0);
  for (int i = 0; i < 64; ++i) {
    if (kHighHalf[i] == cp && cp != 0xFFFD) return 0x80 + i;
  }
  return -1;
}

char32_t Cp1251ToCodePoint(unsigned char byte) {
  if (byte < 0x80) return byte;
  if (byte >= 0xC0) return 0x0410 + (byte - 0xC0);
  return kHighHalf[byte - 0x80];
}

namespace {

// Decodes the code point at s[i]; returns its length in bytes (a malformed sequence
// gives U+FFFD and length 1).
size_t DecodeOne(std::string_view s, size_t i, char32_t* out) {
  unsigned char b = static_cast<unsigned char>(s[i]);
  size_t len = 0;
  char32_t cp = 0;
  if (b < 0x80) {
    *out = b;
    return 1;
  } else if (b >= 0xC2 && b <= 0xDF) {
    len = 2, cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3, cp = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4, cp = b & 0x07;
  }
  bool ok = len > 0 && i + len <= s.size();
  for (size_t k = 1; ok && k < len; ++k) {
    unsigned char c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) ok = false;
    cp = (cp << 6) | (c & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are malformed too.
  if (ok && ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
             (cp >= 0xD800 && cp <= 0xDFFF))) {
    ok = false;
  }
  if (!ok) {
    *out = 0xFFFD;
    return 1;
  }
  *out = cp;
  return len;
}

}  // namespace

std::vector<char32_t> DecodeUtf8(std::string_view s) {
  std::vector<char32_t> out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char32_t cp;
    i += DecodeOne(s, i, &cp);
    out.push_back(cp);
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Utf8ToCp1251(std::string_view utf8, char missing) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {  // pages are mostly ASCII markup
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    char32_t cp;
    i += DecodeOne(utf8, i, &cp);
    int byte = CodePointToCp1251(cp);
    out += byte < 0 ? missing : static_cast<char>(byte);
  }
  return out;
}

std::string Cp1251ToUtf8(std::string_view cp1251) {
  std::string out;
  out.reserve(cp1251.size() * 2);
  for (char c : cp1251) AppendUtf8(out, Cp1251ToCodePoint(static_cast<unsigned char>(c)));
  return out;
}

bool IsMultibyteUtf8(std::string_view bytes) {
  bool multibyte = false;
  for (char32_t cp : DecodeUtf8(bytes)) {
    if (cp == 0xFFFD) return false;
    if (cp >= 0x80) multibyte = true;
  }
  return multibyte;
}

unsigned char FoldCp1251(unsigned char byte) { return kFold[byte]; }

std::string FoldCp1251(std::string_view text) {
  std::string out(text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    out[i] = static_cast<char>(kFold[static_cast<unsigned char>(text[i])]);
  }
  return out;
}

std::string PercentDecode(std::string_view text, bool plus_is_blank) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%' && i + 2 < text.size()) {
      int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += (plus_is_blank && c == '+') ? ' ' : c;
  }
  return out;
}

}  // namespace site
