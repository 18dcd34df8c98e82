#include "text.h"

#include <cstring>

size_t FindBytes(std::string_view text, std::string_view pattern, size_t from) {
  const size_t n = text.size(), m = pattern.size();
  if (m == 0 || from > n || n - from < m) return std::string_view::npos;
  const char* base = text.data();
  const char first = pattern[0], last = pattern[m - 1];
  const char* at = base + from;
  const char* stop = base + (n - m) + 1;  // last possible start + 1
  while (at < stop) {
    at = static_cast<const char*>(memchr(at, first, static_cast<size_t>(stop - at)));
    if (!at) break;
    if (at[m - 1] == last && memcmp(at + 1, pattern.data() + 1, m > 1 ? m - 2 : 0) == 0)
      return static_cast<size_t>(at - base);
    ++at;
  }
  return std::string_view::npos;
}

int TextLength(TextArg text) { return static_cast<int>(text.view().size()); }

int TextFind(TextArg text, TextArg pattern, int start) {
  std::string_view t = text.view(), p = pattern.view();
  if (t.empty() || p.empty()) return 0;
  if (start < 1) start = 1;
  if (static_cast<size_t>(start) > t.size()) return 0;
  size_t at = FindBytes(t, p, static_cast<size_t>(start - 1));
  return at == std::string_view::npos ? 0 : static_cast<int>(at + 1);
}

String TextLeft(TextArg text, int count) {
  std::string_view t = text.view();
  if (count <= 0) return String();
  return String(t.substr(0, static_cast<size_t>(count)));
}

String TextRight(TextArg text, int count) {
  std::string_view t = text.view();
  if (count <= 0) return String();
  if (static_cast<size_t>(count) >= t.size()) return String(t);
  return String(t.substr(t.size() - static_cast<size_t>(count)));
}

String TextReplace(TextArg text, TextArg pattern, TextArg replacement) {
  std::string_view t = text.view(), p = pattern.view(), r = replacement.view();
  if (p.empty()) return String(t);
  size_t hit = FindBytes(t, p, 0);
  if (hit == std::string_view::npos) return String(t);
  String out;
  out.reserve(t.size() + (r.size() > p.size() ? 16 * (r.size() - p.size()) : 0));
  size_t from = 0;
  while (hit != std::string_view::npos) {
    out.append(t.data() + from, hit - from);
    out.append(r.data(), r.size());
    from = hit + p.size();
    hit = FindBytes(t, p, from);
  }
  out.append(t.data() + from, t.size() - from);
  return out;
}

int TextEquals(TextArg a, TextArg b) { return a.view() == b.view() ? 1 : 0; }

int32_t ColorValue(int32_t red, int32_t green, int32_t blue) {
  // Unsigned arithmetic: unmasked components may carry into the sign bit.
  return static_cast<int32_t>(static_cast<uint32_t>(red) + static_cast<uint32_t>(green) * 256u +
                              static_cast<uint32_t>(blue) * 65536u);
}

// p1 = position of start; rest = the bytes after it; p2 = position of end in rest; the
// result is the part of rest before p2, or empty when either marker is missing. Works on
// views of the text, so only the result is copied.
String TextBetween(TextArg text, TextArg start, TextArg end) {
  std::string_view t = text.view(), s = start.view();
  int p1 = TextFind(t, s, 1);
  if (p1 == 0) return String();
  std::string_view rest = t.substr(static_cast<size_t>(p1 - 1) + s.size());
  int p2 = TextFind(rest, end, 1);
  return TextLeft(rest, p2 - 1);
}
