// Texts from pages that the program shows, kept to sizes the system copes with. A page may
// hold a title of any length (the site's hostile one is 16 MiB): set as a window's title
// under Wine, it goes to the X server whole and the program dies; a label measures and
// draws its text whole at every paint, and its tooltip holds it all again.
#pragma once

#include <string>
#include <string_view>

#include "text.h"
#include "texts.h"

// Window titles: no one reads more than a line of them.
constexpr size_t TITLE_LIMIT = 256;
// A title named inside a message.
constexpr size_t NAMED_TITLE_LIMIT = 100;
// Labels: far more than the description label shows.
constexpr size_t LABEL_LIMIT = 64 * 1024;

// `text` cut to `limit` characters, the last being "…" when it was cut.
inline String CappedText(TextArg text, size_t limit) {
  std::string_view view = text.view();
  if (view.size() <= limit) return String(view);
  return String(view.substr(0, limit - 1)) + TEXT_ELLIPSIS_MARK;
}

inline std::wstring CappedWide(std::wstring_view text, size_t limit) {
  if (text.size() <= limit) return std::wstring(text);
  size_t keep = limit - 1;
  if (text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;  // never half a pair
  return std::wstring(text.substr(0, keep)) + L"\x2026";
}
