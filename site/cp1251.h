// Windows-1251 text for the site: conversion from the UTF-8 sources, case folding for
// search, and percent-decoding of request fields.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codepage.h"

namespace site {

// The code page and UTF-8 conversions of the runtime, under the site's names.
using ::AppendUtf8;
using ::CodePointToCp1251;
using ::Cp1251ToCodePoint;
using ::DecodeUtf8;
using ::IsMultibyteUtf8;

// UTF-8 to Windows-1251; characters the code page lacks become `missing`.
std::string Utf8ToCp1251(std::string_view utf8, char missing = '?');
// Windows-1251 to UTF-8 (for logs and tests).
std::string Cp1251ToUtf8(std::string_view cp1251);

// Case folding for search: Latin and Cyrillic letters to lower case, and Ё/ё to е, so
// that "Звезды" finds "Звёзды". One byte in, one byte out.
unsigned char FoldCp1251(unsigned char byte);
std::string FoldCp1251(std::string_view text);

// Decodes %XX escapes (either letter case); a '%' not followed by two hex digits stays as
// it is. With plus_is_blank, '+' becomes a blank, as HTML forms encode blanks.
std::string PercentDecode(std::string_view text, bool plus_is_blank);

}  // namespace site
