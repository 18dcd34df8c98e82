#include "addresses.h"

String LoginAddress(TextArg endpoint, TextArg mail, TextArg pass) {
  String a(endpoint.view());
  a += "?act=login&email=";
  a += mail.view();
  a += "&pass=";
  a += pass.view();
  a += "&expire=&zq =";
  return a;
}

String SearchAddress(TextArg base, TextArg text) {
  String a(base.view());
  a += "gsearch.php?section=video&q=";
  a += text.view();
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
