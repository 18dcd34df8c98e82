// Windows-1251, the program's text encoding, against Unicode code points, and the UTF-8
// form of code points: what preference files in UTF-8 or UTF-16 and the site's UTF-8
// sources are converted through.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The Windows-1251 byte of a Unicode code point, or -1 when the code page lacks it.
int CodePointToCp1251(char32_t cp);
// The Unicode code point of a Windows-1251 byte (0x98, unassigned, gives U+FFFD).
char32_t Cp1251ToCodePoint(unsigned char byte);

// Decodes the code point that starts at s[i] (i < s.size()); returns its length in bytes.
// A malformed sequence (also an overlong form, a surrogate or a value past U+10FFFF)
// gives U+FFFD and length 1.
size_t DecodeUtf8At(std::string_view s, size_t i, char32_t* out);
// Decodes UTF-8 into code points, a malformed sequence as U+FFFD for its first byte.
std::vector<char32_t> DecodeUtf8(std::string_view utf8);
// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, char32_t cp);
// True when the bytes are well-formed UTF-8 and hold at least one multi-byte sequence.
// Windows-1251 Cyrillic never passes, since two letters in a row never form a lead and a
// continuation byte.
bool IsMultibyteUtf8(std::string_view bytes);
