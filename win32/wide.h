// The one text boundary between the program and Windows.
//
// The program keeps two kinds of byte strings, and Windows sees neither of them: every text
// and every path crosses into the system as UTF-16 through the wide (...W) functions, and
// comes back the same way. Nothing here depends on the system's ANSI code page, so the
// program reads and works alike on a Windows set to any language.
//
//  - Texts (String): Windows-1251 bytes, one byte a character: the program's own Russian
//    texts, the site's pages and everything shown from them. Every byte has a UTF-16 form
//    (0x98, unassigned in the code page, stands for U+0098), so a text survives the round
//    trip to a window and back unchanged.
//  - Paths: UTF-8, which holds every name a Windows folder can have. Paths are never
//    shown through a Windows-1251 text: where one is shown, the display text is built in
//    UTF-16 (WideFromText of the words + WideFromPath of the path).
//
// The module is portable and builds natively as well, where the portable code makes paths
// of names (PathFromText); there a std::wstring holds the same UTF-16 units.
#pragma once

#include <string>
#include <string_view>

#include "text.h"

// Windows-1251 text to UTF-16.
std::wstring WideFromText(std::string_view text);
// UTF-16 to Windows-1251 text. A character the code page lacks becomes '?'; the first one
// met is stored in `*lacking` (when given; 0 when there is none), so that callers can
// refuse a typed text rather than pass it on altered. A surrogate pair counts as one
// character (its code point is stored).
String TextFromWide(std::wstring_view wide, char32_t* lacking = nullptr);

// A UTF-8 path to UTF-16 (malformed bytes become U+FFFD).
std::wstring WideFromPath(std::string_view path);
// UTF-16 to a UTF-8 path (an unpaired surrogate becomes U+FFFD).
std::string PathFromWide(std::wstring_view wide);

// Windows-1251 text to UTF-8, for a name that comes from the program's texts or the site's
// pages and becomes part of a path.
std::string PathFromText(std::string_view text);
// The one character `cp` as UTF-16 (one unit, or a surrogate pair), for naming it to the
// user.
std::wstring WideFromCodePoint(char32_t cp);
