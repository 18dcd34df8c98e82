// The text boundary (see wide.h). The code page table is the runtime's own, so the result
// never depends on which code pages the system has installed.
#include "wide.h"

#include "codepage.h"

namespace {

// The code point a Windows-1251 byte stands for at the boundary: the runtime's table, but
// the one unassigned byte keeps a code point of its own so that it comes back as itself.
char32_t BoundaryCodePoint(unsigned char byte) {
  return byte == 0x98 ? char32_t{0x98} : Cp1251ToCodePoint(byte);
}

void AppendWide(std::wstring& out, char32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out += static_cast<wchar_t>(0xD800 + (cp >> 10));
    out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
  } else {
    out += static_cast<wchar_t>(cp);
  }
}

// The code point that starts at wide[i]; `i` moves past it. An unpaired surrogate gives
// U+FFFD.
char32_t NextCodePoint(std::wstring_view wide, size_t& i) {
  char32_t unit = static_cast<char16_t>(wide[i++]);
  if (unit >= 0xD800 && unit <= 0xDBFF && i < wide.size()) {
    char32_t low = static_cast<char16_t>(wide[i]);
    if (low >= 0xDC00 && low <= 0xDFFF) {
      ++i;
      return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
  }
  if (unit >= 0xD800 && unit <= 0xDFFF) return 0xFFFD;
  return unit;
}

}  // namespace

std::wstring WideFromText(std::string_view text) {
  std::wstring wide;
  wide.reserve(text.size());
  for (char byte : text)
    wide += static_cast<wchar_t>(BoundaryCodePoint(static_cast<unsigned char>(byte)));
  return wide;
}

String TextFromWide(std::wstring_view wide, char32_t* lacking) {
  String text;
  text.reserve(wide.size());
  if (lacking) *lacking = 0;
  for (size_t i = 0; i < wide.size();) {
    char32_t cp = NextCodePoint(wide, i);
    int byte = cp == 0x98 ? 0x98 : CodePointToCp1251(cp);
    if (byte < 0) {
      if (lacking && !*lacking) *lacking = cp;
      byte = '?';
    }
    text += static_cast<char>(byte);
  }
  return text;
}

std::wstring WideFromPath(std::string_view path) {
  std::wstring wide;
  wide.reserve(path.size());
  for (size_t i = 0; i < path.size();) {
    char32_t cp;
    i += DecodeUtf8At(path, i, &cp);
    AppendWide(wide, cp);
  }
  return wide;
}

std::string PathFromWide(std::wstring_view wide) {
  std::string path;
  path.reserve(wide.size());
  for (size_t i = 0; i < wide.size();) AppendUtf8(path, NextCodePoint(wide, i));
  return path;
}

std::string PathFromText(std::string_view text) {
  std::string path;
  path.reserve(text.size());
  for (char byte : text) AppendUtf8(path, BoundaryCodePoint(static_cast<unsigned char>(byte)));
  return path;
}

std::wstring WideFromCodePoint(char32_t cp) {
  std::wstring wide;
  AppendWide(wide, cp);
  return wide;
}
