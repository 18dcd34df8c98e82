// The http and https addresses the download service requests: their parts, the address a
// redirect leads to, and whether a host is one of the site's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct HttpAddress {
  bool secure = false;  // https
  std::string host;     // lower case; an IPv6 literal keeps its brackets
  uint16_t port = 80;
  std::string target;  // the path and query, starting with "/"; the fragment dropped
};

// Parses "http://host[:port][/path][?query][#fragment]" (or https). False for any other
// scheme, an empty or malformed host, user information ("user@host"), a bad port, or bytes
// that have no place in an address (controls, blanks, backslashes, bytes above 0x7F).
bool ParseHttpAddress(std::string_view address, HttpAddress& out);

// "http://host" or "http://host:port" when the port is not the scheme's own.
std::string AddressOrigin(const HttpAddress& address);

// The address a redirect's Location leads to, read against the address that answered:
// absolute, "//host/...", "/path", "?query" or a path relative to the answering one. Bytes
// above 0x7F and blanks in it are percent-escaped. False when it is not an http or https
// address.
bool RedirectAddress(std::string_view from, std::string_view location, std::string& to);

// Whether `host` is `domain` or one of its subdomains (letter case and a final dot ignored).
bool IsSiteHost(std::string_view host, std::string_view domain);
