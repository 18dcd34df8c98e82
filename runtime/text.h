// String values and the text functions that page scraping is built on.
// A string value is a byte string (Windows-1251 text, one byte per character) with value
// semantics: std::string. Functions take TextArg, which accepts std::string, string views
// and C strings; a null C string counts as the empty string everywhere.
// Positions are 1-based byte positions; 0 means "not found".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

using String = std::string;

class TextArg {
 public:
  TextArg(const char* text) : view_(text ? text : "") {}  // NOLINT: implicit by design
  TextArg(const std::string& text) : view_(text) {}       // NOLINT
  TextArg(std::string_view text) : view_(text) {}         // NOLINT
  std::string_view view() const { return view_; }

 private:
  std::string_view view_;
};

// Offset of the first occurrence of pattern in text at or after offset `from`, or npos.
// The fast search under TextFind and the replacement scans: memchr for the first byte, the
// last byte checked before the rest is compared.
size_t FindBytes(std::string_view text, std::string_view pattern, size_t from);

// Number of bytes.
int TextLength(TextArg text);
// Position of the first occurrence of pattern at or after start (start < 1 counts as 1);
// 0 when there is none or when text or pattern is empty.
int TextFind(TextArg text, TextArg pattern, int start);
// The first / last `count` bytes; the whole text when count reaches its length; empty when
// count is 0 or negative.
String TextLeft(TextArg text, int count);
String TextRight(TextArg text, int count);
// Every non-overlapping occurrence of pattern, scanned left to right, replaced; the
// replacement is never scanned again. An empty pattern never matches.
String TextReplace(TextArg text, TextArg pattern, TextArg replacement);
// The part of text between the first occurrence of start and the first occurrence of end
// after it; empty when either marker is missing (or empty).
String TextBetween(TextArg text, TextArg start, TextArg end);
// 1 when the two values are byte-for-byte equal, else 0.
int TextEquals(TextArg a, TextArg b);
// red + green * 256 + blue * 65536 (0x00BBGGRR); the components are not masked.
int32_t ColorValue(int32_t red, int32_t green, int32_t blue);
