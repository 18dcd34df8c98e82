#include "addresses.h"

namespace {

// `text` with every byte for which `escaped` holds written as %XX.
template <typename Predicate>
String PercentEscaped(TextArg text, Predicate escaped) {
  static const char kHex[] = "0123456789ABCDEF";
  String out;
  out.reserve(text.view().size());
  for (char ch : text.view()) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (escaped(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

bool OutsidePrintableAscii(unsigned char c) { return c <= 0x20 || c >= 0x7F; }

}  // namespace

String AsciiAddress(TextArg address) { return PercentEscaped(address, OutsidePrintableAscii); }

String EscapeQueryValue(TextArg value) {
  return PercentEscaped(value, [](unsigned char c) {
    return OutsidePrintableAscii(c) || c == '%' || c == '+' || c == '#' || c == '&';
  });
}

String LoginAddress(TextArg endpoint, TextArg mail, TextArg pass) {
  String a(endpoint.view());
  a += "?act=login&email=";
  a += EscapeQueryValue(mail);
  a += "&pass=";
  a += EscapeQueryValue(pass);
  a += "&expire=&zq%20=";
  return a;
}

String SearchAddress(TextArg base, TextArg text) {
  String a(base.view());
  a += "gsearch.php?section=video&q=";
  a += EscapeQueryValue(text);
  a += "&name=1";
  return a;
}

String SiteDomain(TextArg address) {
  std::string_view a = address.view();
  size_t scheme = a.find("://");
  if (scheme != std::string_view::npos) a.remove_prefix(scheme + 3);
  size_t end = a.find_first_of("/:?#");
  return String(a.substr(0, end));
}
