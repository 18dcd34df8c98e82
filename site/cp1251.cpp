#include "cp1251.h"

#include <array>

namespace site {
namespace {

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
    i += DecodeUtf8At(utf8, i, &cp);
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
