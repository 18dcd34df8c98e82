// Windows-1251 text for the site: conversion from the UTF-8 sources, case folding for
// search, and percent-decoding of request fields.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace site {

// The Windows-1251 byte of a Unicode code point, or -1 when the code page lacks it.
int CodePointToCp1251(char32_t cp);
// The Unicode code point of a Windows-1251 byte (0x98, unassigned, gives U+FFFD).
char32_t Cp1251ToCodePoint(unsigned char byte);

// Decodes UTF-8 into code points; a malformed sequence gives U+FFFD for its first byte
// and decoding goes on with the next byte.
std::vector<char32_t> DecodeUtf8(std::string_view utf8);
// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, char32_t cp);

// UTF-8 to Windows-1251; characters the code page lacks become `missing`.
std::string Utf8ToCp1251(std::string_view utf8, char missing = '?');
// Windows-1251 to UTF-8 (for logs and tests).
std::string Cp1251ToUtf8(std::string_view cp1251);

// True when the bytes are well-formed UTF-8 and hold at least one multi-byte sequence:
// such a text was typed in a UTF-8 browser, not in the program. Windows-1251 Cyrillic
// never passes, since two letters in a row never form a lead and a continuation byte.
bool IsMultibyteUtf8(std::string_view bytes);

// Case folding for search: Latin and Cyrillic letters to lower case, and Ё/ё to е, so
// that "Звезды" finds "Звёзды". One byte in, one byte out.
unsigned char FoldCp1251(unsigned char byte);
std::string FoldCp1251(std::string_view text);

// Decodes %XX escapes (either letter case); a '%' not followed by two hex digits stays as
// it is. With plus_is_blank, '+' becomes a blank, as HTML forms encode blanks.
std::string PercentDecode(std::string_view text, bool plus_is_blank);

}  // namespace site
